#pragma once
// The editor's dialogs on a terminal. Messages are kept for the command to
// report (the last one is usually why it stopped); a question is answered
// Yes with --yes, asked on the terminal when stdin is one, and otherwise
// refused: nothing is sent behind a question nobody saw.

#include "platform/Dialogs.h"

#include <QStringList>

namespace quorvane {

class TerminalDialogs : public Dialogs {
public:
    void message(const QString &text) override;
    Answer confirm(const QString &text) override;
    // The file named on the command line stands for the one a dialog would pick.
    QString openFile(const QString &, const QString &, const QString &) override { return open_file; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }

    bool assume_yes = false;
    QString open_file;
    // Whether a question was refused for want of --yes or a terminal.
    bool refused_question = false;
    QStringList messages;
};

} // namespace quorvane
