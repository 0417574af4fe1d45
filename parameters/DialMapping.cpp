#include "parameters/DialMapping.h"

#include <algorithm>
#include <array>

namespace quorvane {

int normalize_dial_angle(int degrees)
{
    int a = degrees % 360; // -359 .. 359
    if (a <= -180)
        a += 360;
    else if (a > 180)
        a -= 360;
    return a;
}

int snap_dial_angle(int angle)
{
    if (angle > -135 && angle <= -90)
        return dial_min_angle;
    if (angle > -90 && angle < -45)
        return dial_max_angle;
    return angle;
}

int dial_angle_to_position(int angle)
{
    const int a = snap_dial_angle(normalize_dial_angle(angle));
    if (a >= -179 && a <= -135)
        return -135 - a;
    // 0..180 and -45..-1 share one formula; nothing else is left after the
    // snap and the normalisation.
    return 224 - a;
}

int position_to_level(int position)
{
    if (position < 0)
        position = 0;
    else if (position > dial_max_position)
        position = dial_max_position;
    // p × 4092 / 1076 = p × 1023 / 269; 269 is odd, so the exact quotient is
    // never a half and rounding to nearest is floor(q + 1/2).
    return (position * 2 * 1023 + 269) / (2 * 269);
}

DialWord dial_to_word(int angle)
{
    const int snapped = snap_dial_angle(normalize_dial_angle(angle));
    const int level = position_to_level(dial_angle_to_position(snapped));
    return {snapped, std::uint32_t(level) << dial_word_shift};
}

std::int32_t scale_between(std::int32_t x, std::int32_t x0, std::int32_t x1,
                           std::int32_t y0, std::int32_t y1)
{
    if (x1 == x0)
        return y0;
    // Widened so that no input can overflow; C++ division truncates toward zero.
    const std::int64_t scaled = std::int64_t(x - std::int64_t(x0)) * (std::int64_t(y1) - y0)
                                / (std::int64_t(x1) - x0);
    return std::int32_t(y0 + scaled);
}

namespace {
struct Segment {
    int x0, x1, y0, y1;
};
constexpr std::array<Segment, 6> level_segments = {{
    {0, 169, -135, -179},
    {170, 339, 180, 135},
    {340, 511, 136, 90},
    {512, 680, 89, 45},
    {681, 850, 44, 0},
    {851, 1023, -1, -45},
}};
} // namespace

int level_to_dial_angle(std::uint32_t word, std::uint32_t scale)
{
    std::uint32_t level;
    if (scale == full_scale) {
        level = word >> dial_word_shift;
    } else if (scale == 0) {
        level = 0;
    } else {
        // The product is kept to 32 bits, as the pedal's own arithmetic does;
        // the top step of each stepped parameter lands on 1023 or 1024.
        level = std::uint32_t((8192u / scale) * word) >> 3;
    }
    if (level >= std::uint32_t(dial_max_level))
        level = dial_max_level;
    for (const Segment &s : level_segments) {
        if (int(level) <= s.x1)
            return scale_between(std::int32_t(level), s.x0, s.x1, s.y0, s.y1);
    }
    return dial_max_angle; // not reached: level is at most 1023
}

bool is_stepped_dial_word(std::uint32_t word, std::uint32_t steps)
{
    return word > steps && word <= dial_word_max && (word & ((1u << dial_word_shift) - 1)) == 0;
}

std::uint32_t word_to_step(std::uint32_t word, std::uint32_t steps)
{
    if (word <= steps)
        return word;
    const std::uint32_t level = std::min<std::uint32_t>(word >> dial_word_shift, dial_max_level);
    // Nearest step; level × steps / 1023 is never exactly a half for these counts.
    return (level * steps * 2 + dial_max_level) / (2 * dial_max_level);
}

int stepped_word_to_angle(std::uint32_t word, std::uint32_t steps)
{
    return is_stepped_dial_word(word, steps) ? level_to_dial_angle(word, full_scale)
                                             : level_to_dial_angle(word, steps);
}

std::uint32_t stepped_dial_word(std::uint32_t step, std::uint32_t steps)
{
    return dial_to_word(level_to_dial_angle(step, steps)).word;
}

} // namespace quorvane
