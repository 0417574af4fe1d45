#pragma once
// Uploading an effect image into the pedal's DSP: the effect loaded last from
// the catalogue ("Upload Selected") or a ".dat" file from disk ("Load Effect
// From File"). Both mute the pedal, write the whole image in one write, wait
// (bounded) for the pedal's short text answer and show it in lblStatus.
//
// Every way out, the pedal's answer included, puts back UploadCheckTimer
// (off), the reception tick (on while linked) and the error-report switch
// (the user's choice); a way out without the answer leaves "Upload Failed".

#include "protocol/TimeLimits.h"

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

// The pedal's answer to an upload is whole at its line feed.
bool upload_answer_complete(const QByteArray &bytes);
// What the status line shows of an answer: its first 17 bytes as
// single-byte text.
QString upload_answer_text(const QByteArray &answer);

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
    // The bounds of the pedal's answer (upload_answer).
    TimeLimits limits;

signals:
    // The text of the main window's status line: the pedal's answer, or
    // that none came.
    void statusChanged(const QString &text);

private:
    void upload_catalogue_effect();
    void upload_file(const QString &file_name, const QByteArray &bytes);
    // Shows the pedal's answer in the status line; false when none came.
    bool take_answer(const LineReply &reply, bool log_counts);
    void set_status(const QString &text);

    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    DeviceConnection &m_connection;
    QTimer &m_check_timer;
};

} // namespace quorvane
