#pragma once
// The firmware images the editor carries, by version number.

#include <array>
#include <cstdint>

namespace quorvane {

// Versions of the built-in images FIRMWARE_5 .. FIRMWARE_10, oldest first; the
// last entry is the newest firmware the editor can install.
inline constexpr std::array<std::int32_t, 6> firmware_versions{5, 6, 7, 8, 9, 10};

} // namespace quorvane
