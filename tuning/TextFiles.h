#pragma once
// The tiny one-word preference files this folder reads and writes.

#include <QString>

#include <optional>

namespace quorvane {

// Replaces the whole file with `text` as UTF-8 without byte-order mark and
// without line end. Returns an empty text on success, else the reason.
QString write_preference_text(const QString &path, const QString &text);

// The whole file as text: a byte-order mark picks the encoding, otherwise
// UTF-8, or Latin-1 when the bytes are no valid UTF-8. Nothing when the file
// is missing or unreadable.
std::optional<QString> read_preference_text(const QString &path);

} // namespace quorvane
