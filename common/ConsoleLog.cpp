#include "common/ConsoleLog.h"

namespace quorvane {

void ConsoleLog::print_to_console(const QString &text)
{
    m_lines.append(text);
    emit lineAppended(text, console_autoscroll);
}

void ConsoleLog::print_without_scroll(const QString &text)
{
    m_lines.append(text);
    emit lineAppended(text, false);
}

void ConsoleLog::clear()
{
    m_lines.clear();
    emit cleared();
}

} // namespace quorvane
