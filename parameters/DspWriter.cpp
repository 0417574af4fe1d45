#include "parameters/DspWriter.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"

namespace quorvane {

DspWriter::DspWriter(const ParameterModel &model, D2XXUnit &link, ConsoleLog &console, QTimer &timer,
                     QObject *throttle_parent)
    : m_model(model), m_link(link), m_console(console),
      m_throttle(new DialSendThrottle(link, console, timer, throttle_parent))
{
}

QString DspWriter::write_text(std::uint16_t address, std::uint32_t word)
{
    return QStringLiteral("01") + hex4(address) + hex8(word);
}

bool DspWriter::addressed(ParameterRow row, std::uint32_t word) const
{
    if (m_model.has_image_address(row))
        return true;
    m_console.print_to_console(
        QStringLiteral("%1 set to %2, not sent: no effect image has given it a DSP address yet")
            .arg(m_model.parameter_name(row), hex8(word)));
    return false;
}

void DspWriter::write_now(ParameterRow row, std::uint32_t word, bool logged)
{
    if (!addressed(row, word))
        return;
    if (logged) {
        write_prefixed(QStringLiteral("01"), m_model.address(row), word);
        return;
    }
    send_message(m_link, m_console, write_text(m_model.address(row), word), 7);
}

void DspWriter::write_throttled(const QObject *dial, ParameterRow row, std::uint32_t word)
{
    if (addressed(row, word))
        m_throttle->queue(dial, write_text(m_model.address(row), word));
}

void DspWriter::write_prefixed(const QString &prefix, std::uint32_t address, std::uint32_t word)
{
    const QString text = prefix + hex4(address & 0xFFFF) + hex8(word);
    m_console.print_to_console(dsp_write_log + text);
    send_message(m_link, m_console, text, std::uint8_t(text.size() / 2));
}

} // namespace quorvane
