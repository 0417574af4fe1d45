#pragma once
// Dialogs answered from a script; every text shown is kept for the test.

#include "platform/Dialogs.h"

#include <QQueue>
#include <QStringList>

namespace quorvane::test {

class ScriptedDialogs : public Dialogs {
public:
    struct FileRequest {
        QString title, folder, filter;
        QString defaultExtension; // empty when the dialog was asked for none
    };

    void message(const QString &text) override { messages.append(text); }
    Answer confirm(const QString &text) override
    {
        questions.append(text);
        return answers.isEmpty() ? defaultAnswer : answers.dequeue();
    }
    QString openFile(const QString &title, const QString &folder, const QString &filter) override
    {
        fileRequests.append({title, folder, filter, QString()});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString saveFile(const QString &title, const QString &folder, const QString &filter) override
    {
        fileRequests.append({title, folder, filter, QString()});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString openFileWithDefault(const QString &title, const QString &folder, const QString &filter,
                                const QString &default_extension) override
    {
        fileRequests.append({title, folder, filter, default_extension});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString saveFileWithDefault(const QString &title, const QString &folder, const QString &filter,
                                const QString &default_extension) override
    {
        fileRequests.append({title, folder, filter, default_extension});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }

    void reset()
    {
        messages.clear();
        questions.clear();
        fileRequests.clear();
    }

    QStringList messages;
    QStringList questions;
    QList<FileRequest> fileRequests;
    QQueue<Answer> answers;      // next answers to questions
    Answer defaultAnswer = Answer::Yes;
    QQueue<QString> fileAnswers; // next chosen file names ("" = cancelled)
};

} // namespace quorvane::test
