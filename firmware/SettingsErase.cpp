#include "firmware/SettingsErase.h"

#include "common/HintsUnit.h"
#include "common/ConsoleLog.h"
#include "platform/Dialogs.h"
#include "platform/Wait.h"
#include "protocol/Sender.h"
#include "protocol/TimeLimits.h"

#include <QRegularExpression>
#include <QStringList>

namespace quorvane {

QString erase_settings_warning()
{
    return hints::erase_settings_warning;
}

bool SettingsErase::EraseEEPROM(const QString &i2cAddr)
{
    if (m_link.refuses_writers())
        return false;
    static const QRegularExpression two_hex_digits(QStringLiteral("^[0-9A-Fa-f]{2}$"));
    if (!two_hex_digits.match(i2cAddr).hasMatch()) {
        m_dialogs.message(
            QStringLiteral("Erase not sent: \"%1\" is no memory address of two hex digits.").arg(i2cAddr));
        return false;
    }
    const QString text = QStringLiteral("0B") + i2cAddr.toUpper() + QStringLiteral("00") +
                         QStringLiteral("0000");
    m_console.print_to_console(QStringLiteral("erase message: ") + text);
    const LineStatus sent = send_message(m_link, m_console, text, std::uint32_t(text.size() / 2), true);
    pause_ms(pauses::after_command_ms);
    return sent == LineStatus::Ok;
}

bool SettingsErase::menuEraseSettingsClick()
{
    if (m_link.refuses_writers())
        return false;
    if (m_dialogs.confirm(erase_settings_warning()) == Answer::No)
        return false;
    return EraseEEPROM(QStringLiteral("50"));
}

} // namespace quorvane
