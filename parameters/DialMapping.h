#pragma once
// How a dial's pointer angle becomes a parameter word, and how a reported word
// is shown again as a pointer angle.
//
// A dial reports whole degrees in (-180, 180], 0 to the right, angles growing
// counter-clockwise, -90 at the bottom. Its usable sweep runs clockwise from
// -135 (minimum) through 180, 90 and 0 to -45 (maximum); the 90-degree sector
// strictly between -135 and -45 is a dead zone. A dial word is a level
// 0..1023 shifted left by 13 bits.

#include <cstdint>

namespace quorvane {

inline constexpr int dial_min_angle = -135;
inline constexpr int dial_max_angle = -45;
inline constexpr int dial_max_position = 269;
inline constexpr int dial_max_level = 1023;
inline constexpr int dial_word_shift = 13;
inline constexpr std::uint32_t dial_word_max = std::uint32_t(dial_max_level) << dial_word_shift; // 0x007FE000

// Scales of the reported words: full-scale words are level × 8192; the filter
// and range words are step numbers.
inline constexpr std::uint32_t full_scale = 0x00800000;
inline constexpr std::uint32_t low_pass_steps = 24;
inline constexpr std::uint32_t high_pass_steps = 16;
inline constexpr std::uint32_t range_steps = 22;

// Any whole number of degrees brought into (-180, 180].
int normalize_dial_angle(int degrees);

// A pointer left in the dead zone jumps to the nearer end of the sweep:
// (-135, -90] goes to -135, (-90, -45) to -45; any other angle stays.
int snap_dial_angle(int angle);

// Position 0..269 along the sweep: -135 is 0, 180 and -179 are both 44, 0 is
// 224, -45 is 269. An angle outside (-180, 180] is first brought into it, and
// one in the dead zone is first snapped, so every whole number has a position.
int dial_angle_to_position(int angle);

// Level 0..1023 of a position: p × 4 × 1023 / 1076 rounded to the nearest
// integer (the quotient is never exactly a half). Positions outside 0..269
// are held to that range.
int position_to_level(int position);

struct DialWord {
    int angle;          // the snapped angle, to be put back on the dial
    std::uint32_t word; // level << 13, 0 .. 0x007FE000
};

// The word a dial at `angle` sends, with the snapped angle.
DialWord dial_to_word(int angle);

// A filter or range word is a step number when the pedal reported it, but
// the dial word its dial sent once the user turned it (a preset keeps
// either): a word above the step count that is a whole level << 13.
bool is_stepped_dial_word(std::uint32_t word, std::uint32_t steps);

// The step 0..steps a stepped parameter's word stands for: a reported step as
// it is, any other word the step nearest to level × steps / 1023 (its level
// held to 1023), which is how the pedal itself reads a dial word.
std::uint32_t word_to_step(std::uint32_t word, std::uint32_t steps);

// The word a stepped dial sends when it stands on `step` of `steps` (the
// dial's stop for that step).
std::uint32_t stepped_dial_word(std::uint32_t step, std::uint32_t steps);

// The pointer angle that shows a stepped parameter's word of either kind.
int stepped_word_to_angle(std::uint32_t word, std::uint32_t steps);

// y0 + (x - x0) × (y1 - y0) / (x1 - x0), the division truncating toward zero.
// A segment of zero width gives y0.
std::int32_t scale_between(std::int32_t x, std::int32_t x0, std::int32_t x1,
                           std::int32_t y0, std::int32_t y1);

// The pointer angle that shows a reported word. `scale` is full_scale for
// full-scale words, or the step count (24, 16, 22) of a stepped parameter.
// Not the exact inverse of dial_to_word: 90 is sent as level 510 and shown
// back as 91. A scale of 0 shows the minimum.
int level_to_dial_angle(std::uint32_t word, std::uint32_t scale);

} // namespace quorvane
