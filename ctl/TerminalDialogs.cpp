#include "ctl/TerminalDialogs.h"

#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace quorvane {

void TerminalDialogs::message(const QString &text)
{
    messages.append(text);
}

Answer TerminalDialogs::confirm(const QString &text)
{
    if (assume_yes)
        return Answer::Yes;
    if (!::isatty(STDIN_FILENO)) {
        refused_question = true;
        messages.append(QStringLiteral("%1 (not asked: stdin is no terminal; give --yes)").arg(text));
        return Answer::No;
    }
    std::fprintf(stderr, "%s [y/N] ", qPrintable(text));
    std::fflush(stderr);
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    if (answer == QLatin1String("y") || answer == QLatin1String("yes"))
        return Answer::Yes;
    refused_question = true;
    return Answer::No;
}

} // namespace quorvane
