#include "effects/EffectUpload.h"

#include "common/ConsoleLog.h"
#include "platform/Dialogs.h"
#include "platform/Wait.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "protocol/Sender.h"
#include "protocol/TimeLimits.h"
#include "usb/D2XXUnit.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace quorvane {

namespace {

const QString kConfirm = QStringLiteral("Upload the selected algorithm?");
const QString kFailed = QStringLiteral("Upload Failed");
constexpr int kAnswerChars = 17;
constexpr int kHeaderBytes = 3;

// Puts the editor back on every way out of an upload, the pedal's answer
// included: UploadCheckTimer off, the reception tick on while linked, the
// error-report switch at the user's choice. An upload that did not end with
// the pedal's answer also leaves "Upload Failed".
class UploadRestore {
public:
    UploadRestore(D2XXUnit &link, DeviceConnection &connection, QTimer &check,
                  const std::function<void(const QString &)> &status)
        : m_link(link), m_connection(connection), m_check(check), m_status(status),
          m_report(link.report_usb_errors)
    {
    }
    ~UploadRestore()
    {
        m_check.stop();
        if (!m_answered)
            m_status(kFailed);
        if (m_connection.is_linked)
            m_connection.Timer_USB_Read.start();
        m_link.report_usb_errors = m_report;
    }
    void answered() { m_answered = true; }

private:
    D2XXUnit &m_link;
    DeviceConnection &m_connection;
    QTimer &m_check;
    std::function<void(const QString &)> m_status;
    bool m_report;
    bool m_answered = false;
};

} // namespace

bool upload_answer_complete(const QByteArray &bytes)
{
    return bytes.contains('\n');
}

QString upload_answer_text(const QByteArray &answer)
{
    const QByteArray shown = answer.left(kAnswerChars);
    return QString::fromLatin1(Hex2String(
        encode_hex_text(reinterpret_cast<const std::uint8_t *>(shown.constData()), std::uint32_t(shown.size()))));
}

QString check_effect_file(const QByteArray &bytes, qint64 size)
{
    if (size > qint64(link_buffer_size))
        return QStringLiteral("the file has %1 bytes, more than %2").arg(size).arg(link_buffer_size);
    if (size < kHeaderBytes || bytes.size() < kHeaderBytes)
        return QStringLiteral("the file has %1 bytes, fewer than its %2-byte header")
            .arg(std::min<qint64>(size, bytes.size()))
            .arg(kHeaderBytes);
    if (std::uint8_t(bytes[0]) != 0x00)
        return QStringLiteral("its first byte is 0x%1, not 0x00")
            .arg(QString::number(std::uint8_t(bytes[0]), 16).rightJustified(2, QChar('0')).toUpper());
    const int header = (std::uint8_t(bytes[1]) << 8) | std::uint8_t(bytes[2]);
    if (header != size || bytes.size() != size)
        return QStringLiteral("its header gives %1 bytes but the file has %2").arg(header).arg(size);
    return {};
}

EffectUpload::EffectUpload(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs,
                           DeviceConnection &connection, QTimer &UploadCheckTimer,
                           QObject *parent)
    : QObject(parent), m_link(link), m_console(console), m_dialogs(dialogs),
      m_connection(connection), m_check_timer(UploadCheckTimer)
{
    connect(&m_check_timer, &QTimer::timeout, this, &EffectUpload::UploadCheckTimerTimer);
}

void EffectUpload::set_status(const QString &text)
{
    emit statusChanged(text);
}

void EffectUpload::UploadCheckTimerTimer()
{
    set_status(kFailed);
}

void EffectUpload::btnUploadClick()
{
    const QString name = selected_effect_name ? selected_effect_name() : QString();
    if (name.isEmpty()) {
        m_dialogs.message(QStringLiteral("Select an effect in the list first."));
        return;
    }
    if (m_link.refuses_writers())
        return;
    m_connection.exchange.run_exclusive([this] { upload_catalogue_effect(); });
}

void EffectUpload::upload_catalogue_effect()
{
    m_connection.Timer_USB_Read.stop();
    if (m_dialogs.confirm(kConfirm) == Answer::No) {
        if (m_connection.is_linked)
            m_connection.Timer_USB_Read.start();
        return;
    }
    UploadRestore restore(m_link, m_connection, m_check_timer,
                          [this](const QString &t) { set_status(t); });
    if (send_bypass(m_link, m_console, true) != LineStatus::Ok)
        return;
    pause_ms(pauses::upload_bypass_ms);
    m_link.report_usb_errors = true;
    m_check_timer.start();

    const QString resource_name = format_resource_name(selected_effect_name());
    m_console.print_to_console(QStringLiteral("resource name: ") + resource_name);
    const QString text = load_image(resource_name);

    const qsizetype whole = text.size() / 2;
    m_console.print_to_console(QStringLiteral("size: %1").arg(whole));
    m_console.print_to_console(QStringLiteral("filecontent (first 128 bytes): ") + text.left(256));
    if (whole > qsizetype(link_buffer_size)) {
        m_console.print_to_console(QStringLiteral("image larger than the transmit buffer, not sent"));
        return;
    }
    const auto n = std::uint32_t(whole);
    QByteArray image(qsizetype(n), '\0');
    const std::uint32_t decoded = decode_hex_text(text, reinterpret_cast<std::uint8_t *>(image.data()), n);
    m_console.print_to_console(QStringLiteral("num of bytes: %1").arg(decoded));
    if (n == 0 || decoded != n) {
        // A partly decoded image must never reach the pedal.
        m_console.print_to_console(QStringLiteral("image is not clean hex text, not sent"));
        return;
    }
    if (m_link.send_request(image) != LineStatus::Ok)
        return;
    m_console.print_to_console(QStringLiteral("write to device"));
    set_status(QStringLiteral("Uploading..."));
    if (!take_answer(m_link.read_reply(limits.upload_answer, upload_answer_complete), false))
        return;
    restore.answered();
    m_connection.RequestDeviceStatus();
}

void EffectUpload::menuLoadAlgorithmFromFileClick()
{
    if (m_connection.exchange_busy() || m_link.refuses_writers())
        return;
    const QString file_name = m_dialogs.openFile(QStringLiteral("Load Effect From File"), dat_folder,
                                                 QStringLiteral("Dat files (*.dat)"));
    if (file_name.isEmpty())
        return;

    QFile file(file_name);
    QByteArray bytes;
    QString refusal;
    if (!file.open(QIODevice::ReadOnly)) {
        refusal = QStringLiteral("Cannot read file: ") + file.errorString();
    } else {
        // One byte more than fits tells an oversized file from a full one.
        bytes = file.read(qint64(link_buffer_size) + 1);
        if (file.error() != QFileDevice::NoError)
            refusal = QStringLiteral("Cannot read file: ") + file.errorString();
        else if (const QString reason = check_effect_file(bytes, file.size()); !reason.isEmpty())
            refusal = QStringLiteral("Not an effect file: ") + reason;
    }
    if (!refusal.isEmpty()) {
        m_check_timer.stop();
        set_status(kFailed);
        m_dialogs.message(refusal);
        return;
    }
    m_connection.exchange.run_exclusive([&] { upload_file(file_name, bytes); });
}

void EffectUpload::upload_file(const QString &file_name, const QByteArray &bytes)
{
    if (m_dialogs.confirm(kConfirm) == Answer::No)
        return;
    UploadRestore restore(m_link, m_connection, m_check_timer,
                          [this](const QString &t) { set_status(t); });
    // The reception tick must not take the answer from the queue.
    m_connection.Timer_USB_Read.stop();
    if (send_bypass(m_link, m_console, true) != LineStatus::Ok)
        return;
    pause_ms(pauses::file_upload_bypass_ms);
    m_link.report_usb_errors = true;
    m_check_timer.start();

    dat_folder = QFileInfo(file_name).absolutePath();
    m_console.print_to_console(QStringLiteral("Opening - ") + file_name);
    const LineStatus written = m_link.send_request(bytes);
    if (written == LineStatus::Refused)
        return;
    m_console.print_to_console(
        QStringLiteral("%1 Bytes Sent ...").arg(written == LineStatus::Ok ? bytes.size() : 0));
    if (written != LineStatus::Ok || !take_answer(m_link.read_reply(limits.upload_answer, upload_answer_complete), true))
        return;
    restore.answered();
}

bool EffectUpload::take_answer(const LineReply &reply, bool log_counts)
{
    if (log_counts)
        m_console.print_to_console(
            QStringLiteral("num of bytes received from device: %1").arg(reply.bytes.size()));
    switch (reply.status) {
    case LineStatus::Ok:
        break;
    case LineStatus::TimedOut:
        if (!reply.bytes.isEmpty())
            break; // an answer without its line end is still the pedal's answer
        m_console.print_to_console(QStringLiteral("no answer from the pedal after %1 s")
                                       .arg(limits.upload_answer.first_byte_ms / 1000.0));
        return false;
    case LineStatus::Overflow:
        m_console.print_to_console(QStringLiteral("Upload answer refused: ") + too_much_text);
        m_dialogs.message(too_much_text);
        m_link.PurgeFTReceive();
        return false;
    case LineStatus::IoFailed:
    case LineStatus::Nack:
    case LineStatus::Refused:
        return false;
    }
    const QString answer = upload_answer_text(reply.bytes);
    m_console.print_to_console(QStringLiteral("received: ") + answer);
    set_status(answer);
    return true;
}

} // namespace quorvane
