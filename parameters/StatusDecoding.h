#pragma once
// Brings the parameter block of the pedal's status reply into the parameter
// model, with the console lines that report it: the footswitch behaviour,
// what each control slot holds, the tuning and semitone variation, the
// bypass state and the fifteen parameter words.
//
// Decoding decides; a view shows. Each step tells the view what to show
// through the hooks below (the effect window fills them); an unset hook
// shows nothing. A reply too short for a field leaves that field, and what
// shows it, as it was.

#include "effects/Catalogue.h" // EffectImage
#include "parameters/ParameterModel.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

class ConsoleLog;
class DeviceConnection;


// What a report asks its view to show.
struct StatusView {
    std::function<void(int mode)> footswitch_mode;        // 0..3
    std::function<void(int slot, int entry)> slot_entry; // a slot list's entry
    std::function<void(int entry)> tuning_entry;
    std::function<void(int entry)> semitone_entry;
    std::function<void(bool on)> bypass;
    std::function<void()> parameters; // every control from the fifteen words
};

class StatusDecoding {
public:
    using Values = std::vector<std::uint8_t>;

    StatusDecoding(ParameterModel &model, ConsoleLog &console) : m_model(model), m_console(console) {}

    StatusView view;

    // Makes these the connection's decoders of the status reply.
    void attach(DeviceConnection &connection);
    // The image of the effect list's entry at a position.
    std::function<std::optional<EffectImage>(int position)> effect_image_at;

    // Each reads the reply's values from its start index on.
    // Loads the parameter addresses from the image of the effect that the
    // reply's effect number names, before the assignments are matched.
    void load_reported_effect_addresses(const Values &values);
    void decode_footswitch_mode(const Values &values, int index);
    void decode_assignments(const Values &values, int index);
    void decode_tuning(const Values &values, int index);
    void getBypassStatus(const Values &values, int buffer_index);
    void decode_parameter_dump(const Values &values, int index);

    int footswitch_mode = 0;
    std::vector<std::uint32_t> parameter_words;

private:
    bool holds(const Values &values, int index, int count, const char *field) const;

    ParameterModel &m_model;
    ConsoleLog &m_console;
};

} // namespace quorvane
