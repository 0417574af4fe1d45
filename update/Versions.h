#pragma once
// Version texts of the editor and the updater: "major.minor" and the
// digits-only comparison the update server's texts are made for.

#include <QString>

#include <optional>

namespace quorvane {

// "major.minor" from a file version "major.minor.patch.build"; empty when the
// text carries no such version.
QString major_minor(const QString &file_version);

// Whether `text` is a version text: digit groups joined by single points
// ("1.14", "2"), nothing else, not even a line end.
bool is_version_text(const QString &text);

// The version's digits with the points removed, read as one whole number
// ("1.14" -> 114, "2.0" -> 20); nothing for a text that is not a version text
// or too long to be a number.
std::optional<quint64> version_number(const QString &text);

// The text without its points ("1.14" -> "114").
QString version_digits(const QString &text);

} // namespace quorvane
