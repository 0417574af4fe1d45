#pragma once
// The editor's dialogs behind one seam, so tests can answer them and read
// back every text shown.

#include <QString>

namespace quorvane {

enum class Answer { Yes, No, Closed };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A plain modal message box with one OK button.
    virtual void message(const QString &text) = 0;
    // A Yes/No question. Only Answer::No cancels; callers treat Closed as going on.
    virtual Answer confirm(const QString &text) = 0;
    // File dialogs; an empty result means cancelled.
    virtual QString openFile(const QString &title, const QString &folder, const QString &filter) = 0;
    virtual QString saveFile(const QString &title, const QString &folder, const QString &filter) = 0;
    // The same with a default extension (without its dot) that the dialog adds
    // to a name typed without one. The filter may also be given as
    // "description|pattern" pairs, e.g. "Preset files (*.txt)|*.txt".
    virtual QString openFileWithDefault(const QString &title, const QString &folder,
                                        const QString &filter, const QString &default_extension)
    {
        (void)default_extension;
        return openFile(title, folder, filter);
    }
    virtual QString saveFileWithDefault(const QString &title, const QString &folder,
                                        const QString &filter, const QString &default_extension)
    {
        (void)default_extension;
        return saveFile(title, folder, filter);
    }
};

} // namespace quorvane
