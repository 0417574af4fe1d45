#pragma once
// Qt's complaints about style sheets ("Could not parse ..."), collected while
// a test runs, so that a look Qt cannot read fails the test instead of only
// leaving a line in its output.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace quorvane::test {

inline QStringList &sheet_warnings()
{
    static QStringList warnings;
    return warnings;
}

namespace detail {
inline QtMessageHandler &previous_message_handler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

inline void record_sheet_warning(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.contains(QLatin1String("Could not parse"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("stylesheet"), Qt::CaseInsensitive))
        sheet_warnings().append(text);
    if (QtMessageHandler previous = previous_message_handler())
        previous(type, context, text);
}
} // namespace detail

inline void start_recording_sheet_warnings()
{
    detail::previous_message_handler() = qInstallMessageHandler(detail::record_sheet_warning);
}

inline void stop_recording_sheet_warnings()
{
    qInstallMessageHandler(detail::previous_message_handler());
}

} // namespace quorvane::test
