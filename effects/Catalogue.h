#pragma once
// The effect catalogue and the built-in resources it names: how a catalogue
// entry becomes a resource name, and how a resource is loaded as text lines.

#include <QString>
#include <QStringList>

#include <optional>

#include <stdexcept>


namespace quorvane {

class Dialogs;

// Raised when a built-in resource does not exist: "Resource NAME not found".
// It ends the operation that asked and reaches the default error report.
class ResourceError : public std::runtime_error {
public:
    explicit ResourceError(const QString &name);
    QString text() const { return QString::fromStdString(what()); }
};

// The path (":/...") of the built-in resource called `name`, compared without
// regard to case; empty when there is none.
QString find_resource(const QString &name);

// Catalogue entry -> resource name: blanks and '-' become '_', '+' becomes
// "plus", a capital 'X' becomes "mult" ("Quorvane KQ5 0011" -> "Quorvane_KQ5_0011").
QString format_resource_name(const QString &instring);

// A built-in effect image: its resource name and its text (first line).
struct EffectImage {
    QString resource_name;
    QString text;
};

// The built-in image of a catalogue entry ("Quorvane KQ5 0011"); none when
// the editor does not carry it.
std::optional<EffectImage> builtin_effect_image(const QString &entry);

class Catalogue {
public:
    explicit Catalogue(Dialogs &dialogs) : m_dialogs(dialogs) {}

    // Loads the named resource into resource_lines (line ends CR LF or LF; a
    // last line without a line end is a line). Throws ResourceError when
    // there is no such resource; a resource that cannot be read is shown in
    // a message box and resource_lines is left as it was.
    void read_file_from_stream(const QString &resource_name);

    // The lines of the resource loaded last.
    QStringList resource_lines;
    // The catalogue entry whose image was loaded last.
    QString selected_effect_name;

private:
    Dialogs &m_dialogs;
};

} // namespace quorvane
