#pragma once
// Uploading an effect image into the pedal's DSP: the effect loaded last from
// the catalogue ("Upload Selected") or a ".dat" file from disk ("Load Effect
// From File"). Both mute the pedal, write the whole image in one write, wait
// (bounded) for the pedal's short text answer and show it in lblStatus.
//
// Every way out that does not end with the pedal's answer leaves the editor
// as it was: UploadCheckTimer off, "Upload Failed" shown, the reception tick
// on and the error-report switch back at its old value.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace quorvane {

class D2XXUnit;
class ConsoleLog;
class Dialogs;
class DeviceConnection;

// Checks a ".dat" effect image of `size` bytes whose first bytes (all of
// them when it fits the transmit buffer) are `bytes`; returns an empty text
// when it can be sent, else the reason it cannot.
QString check_effect_file(const QByteArray &bytes, qint64 size);

class EffectUpload : public QObject {
    Q_OBJECT
public:
    // `UploadCheckTimer` is the main window's 5-second failure marker; its
    // ticks run UploadCheckTimerTimer.
    EffectUpload(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs,
                 DeviceConnection &connection, QTimer &UploadCheckTimer,
                 QObject *parent = nullptr);

    void btnUploadClick();
    void menuLoadAlgorithmFromFileClick();
    void UploadCheckTimerTimer();

    // The catalogue behind the upload, filled in by the composition root:
    // the entry loaded last, its resource name, and line 0 of the named
    // resource (which may throw for a missing resource).
    std::function<QString()> selected_effect_name;
    std::function<QString(const QString &)> format_resource_name;
    std::function<QString(const QString &)> load_image;

    // The folder the file dialog opens in; follows the last chosen file.
    QString dat_folder;
    // How long an upload waits for the pedal's answer.
    int answer_timeout_ms = 30000;

private:
    enum class Wait { Answer, Failed };
    void upload_catalogue_effect();
    void upload_file(const QString &file_name, const QByteArray &bytes);
    Wait wait_for_answer();
    // Reads the answer until the queue is empty; shows it in lblStatus.
    void read_answer(bool log_counts);
    void set_status(const QString &text);

    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    DeviceConnection &m_connection;
    QTimer &m_check_timer;
};

} // namespace quorvane
