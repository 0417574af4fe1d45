#pragma once
// The user's preferences: one tiny text file per preference in the maker and
// product folders under the user's documents folder.

#include <QString>

#include <optional>

namespace quorvane {

class Dialogs;
class Shell;

inline const QString maker_folder_name = QStringLiteral("Velsk");
inline const QString product_folder_name = QStringLiteral("Quorvane KQ5");
inline const QString show_message_file = QStringLiteral("ShowMessageVersionAtStartup.txt");
inline const QString report_usb_errors_file = QStringLiteral("ReportUSBErrors.txt");
inline const QString instrument_file = QStringLiteral("Instrument.txt");
inline const QString style_file = QStringLiteral("style.txt");
// "Verify after writing" of the firmware upgrade window: "YES" or "NO".
inline const QString verify_after_writing_file = QStringLiteral("VerifyAfterWriting.txt");
// "Confirm Writes" of the Settings menu: "YES" or "NO".
inline const QString confirm_writes_file = QStringLiteral("ConfirmWrites.txt");

// A preference file's bytes as text: a byte-order mark selects the encoding,
// otherwise UTF-8, or Latin-1 when the bytes are not valid UTF-8.
QString decode_preference_text(const QByteArray &bytes);

// The one reader and writer of the tiny preference files; each caller keeps
// its own rule for a missing file (the product folder's files are created
// with their defaults by Preferences::read_preference_file; "style.txt" is
// never created).
//
// The whole file, decoded as above; nothing when the file is missing or
// unreadable.
std::optional<QString> read_preference_text(const QString &path);
// Replaces the whole file with `text` as UTF-8 without byte-order mark and
// without line end, written aside and renamed over the old file. Returns an
// empty text on success, else "Cannot write "<path>": " and the reason.
QString write_preference_text(const QString &path, const QString &text);

class Preferences {
public:
    Preferences(Shell &shell, Dialogs &dialogs) : m_shell(shell), m_dialogs(dialogs) {}

    // The documents folder; empty (the working folder) when there is none.
    QString base_folder() const;
    QString maker_folder() const;   // <documents>/Velsk
    QString product_folder() const; // <documents>/Velsk/Quorvane KQ5
    QString product_file(const QString &file_name) const;
    QString maker_file(const QString &file_name) const;

    // Create the folder (with missing parents) when it does not exist; a
    // failure is shown as "Error creating folder: " / "Error creating
    // subfolder: " followed by the reason. Return whether the folder exists.
    bool create_maker_folder(const QString &maker);
    bool create_product_subfolder(const QString &maker, const QString &product);

    // The whole content of a product-folder file; when the file does not exist
    // the default is written into it and returned.
    QString read_preference_file(const QString &file_name, const QString &default_text);

    // Replaces the file's content with `text` as write_preference_text does;
    // a failure is shown in a message box ("Error writing file: ", the path
    // and the reason). Returns whether written.
    bool write_text_file(const QString &path, const QString &text);
    // Overwrites a product-folder file only when it already exists.
    void write_existing_preference(const QString &file_name, const QString &text);

private:
    Shell &m_shell;
    Dialogs &m_dialogs;
};

} // namespace quorvane
