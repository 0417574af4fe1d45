#pragma once
// The effect's fifteen parameters: name, DSP address and last known word of
// each, the control slots in use, and the tuning values. One ParameterModel
// holds all of it; the application creates it once and hands it on.

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace quorvane {

class ConsoleLog;

inline constexpr int standard_parameter_count = 10;
inline constexpr int assignable_parameter_count = 5;
inline constexpr int parameter_count = standard_parameter_count + assignable_parameter_count;
inline constexpr int assign_slot_count = 5; // CTRL I, II, III, IV, remote footswitch
inline constexpr std::uint32_t wave_on_value = 0x00400000;
inline constexpr std::uint32_t wave_off_value = 0x00600000;
inline constexpr std::uint16_t remote_bypass_marker = 0xFFFE;
inline constexpr std::uint16_t remote_preset_marker = 0xFFFD;
inline constexpr int no_tuning_index = 0;

// Addresses the parameters hold until an effect image has given theirs. No
// DSP write may go to either.
inline constexpr std::uint16_t standard_initial_address = 0x0000;
inline constexpr std::uint16_t assignable_initial_address = 0xFFFF;

// Word of "1st Harmonic Pitch" for each entry of the pitch list, index 0 =
// "-12" up to index 24 = "+12"; linear within each octave.
inline constexpr std::array<std::uint32_t, 25> harmonic_pitch_table = {
    0x00200000, 0x0022AAA8, 0x00255558, 0x00280000, 0x002AAAA8, 0x002D5558,
    0x00300000, 0x0032AAA8, 0x00355558, 0x00380000, 0x003AAAA8, 0x003D5558,
    0x00400000, 0x00455558, 0x004AAAA8, 0x00500000, 0x00555558, 0x005AAAA8,
    0x00600000, 0x00655558, 0x006AAAA8, 0x00700000, 0x00755558, 0x007AAAA8,
    0x00800000,
};

// Rows of the parameter table, in the order of the status report, the preset
// file and the window refresh. The first ten are plain, the last five
// assignable to a control slot.
enum class ParameterRow : int {
    dry,
    sub_mix,
    minus_1_oct,
    minus_2_oct,
    wave,
    low_pass,
    high_pass,
    first_harmonic,
    split,
    range,
    input_level,
    harmonic_pitch,
    wave_clip,
    dominant_notes_cut,
    high_notes_cut,
};

inline constexpr bool is_assignable_row(ParameterRow row)
{
    return int(row) >= standard_parameter_count;
}

// A plain parameter.
class standard_parameter {
public:
    standard_parameter(const QString &parameter_name, std::uint16_t address,
                       std::uint8_t num_of_addresses)
        : num_of_addresses(num_of_addresses), parameter_name(parameter_name), address(address) {}

    bool is_assigned = false;          // plain parameters are never assigned
    std::uint8_t num_of_addresses = 1; // 1 for every parameter
    QString parameter_name;
    std::uint8_t parameter_type = 0;
    bool control_type = false;
    std::uint32_t value = 0;           // last known parameter word
    std::uint16_t address = standard_initial_address;
};

// A parameter that a control slot of the pedal can take over; the window
// refuses to edit it while it is assigned.
class assignable_parameter {
public:
    assignable_parameter(const QString &parameter_name, std::uint16_t address, bool is_assigned)
        : address(address), is_assigned(is_assigned), parameter_name(parameter_name) {}

    std::uint16_t address = assignable_initial_address;
    bool is_assigned = false;
    QString parameter_name; // also the text of its entries in the slot lists
    bool control_type = false;
    std::uint32_t value = 0;
};

// Where an effect image carries a parameter's DSP address: four hex digits at
// a 1-based character position of the image's first line.
struct AddressField {
    ParameterRow row;
    int position;
};

// In the order the image holds them. "Range" sits in the field at 43.
inline constexpr std::array<AddressField, parameter_count> parameter_address_fields = {{
    {ParameterRow::dry, 7},
    {ParameterRow::sub_mix, 11},
    {ParameterRow::minus_1_oct, 15},
    {ParameterRow::minus_2_oct, 19},
    {ParameterRow::wave, 23},
    {ParameterRow::low_pass, 27},
    {ParameterRow::high_pass, 31},
    {ParameterRow::first_harmonic, 35},
    {ParameterRow::split, 39},
    {ParameterRow::range, 43},
    {ParameterRow::input_level, 55},
    {ParameterRow::harmonic_pitch, 59},
    {ParameterRow::wave_clip, 63},
    {ParameterRow::dominant_notes_cut, 67},
    {ParameterRow::high_notes_cut, 71},
}};

class ParameterModel {
public:
    ParameterModel() { build_parameter_table(); }

    // Creates the fifteen parameters with their constructor addresses (0 for
    // the plain ones, 0xFFFF for the assignable ones), words 0, nothing
    // assigned. Running it again starts the table afresh.
    void build_parameter_table();

    // The parameter object of a row; standard() needs one of the first ten
    // rows and assignable() one of the last five (std::out_of_range otherwise).
    standard_parameter &standard(ParameterRow row);
    const standard_parameter &standard(ParameterRow row) const;
    assignable_parameter &assignable(ParameterRow row);
    const assignable_parameter &assignable(ParameterRow row) const;

    // The same fields of any row.
    QString parameter_name(ParameterRow row) const;
    std::uint32_t value(ParameterRow row) const;
    void set_value(ParameterRow row, std::uint32_t word);
    std::uint16_t address(ParameterRow row) const;
    void set_address(ParameterRow row, std::uint16_t address);
    bool is_assigned(ParameterRow row) const;

    // False while the row's address is still a constructor default (0 or
    // 0xFFFF), i.e. no effect image has given it: nothing may be written there.
    bool has_image_address(ParameterRow row) const;

    std::array<bool, assign_slot_count> slot_assigned{};
    std::uint8_t current_tuning = 0;
    std::int8_t semitone_variation = 0;
    bool updating_from_pedal = false;

private:
    std::vector<standard_parameter> m_standard;
    std::vector<assignable_parameter> m_assignable;
};

// Takes the parameters' DSP addresses from the first line of an effect image
// (the text up to its first line end). The line is checked first: when it is
// too short or a used field holds anything but four hex digits, no address
// changes, the reason goes to the console when one is given, and the result
// is false.
bool load_parameter_addresses(ParameterModel &model, const QString &image_text,
                              ConsoleLog *console = nullptr);

// The window's show step: logs "resource name: " with the image's resource
// name and "filecontent (first 128 bytes): " with the first 256 characters of
// its first line, then loads the addresses as above.
bool load_parameter_addresses(ParameterModel &model, const QString &resource_name,
                              const QString &image_text, ConsoleLog &console);

} // namespace quorvane
