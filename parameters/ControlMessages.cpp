#include "parameters/ControlMessages.h"

#include "protocol/Codec.h"

namespace quorvane {

namespace {

const QString empty_slot = QStringLiteral("FFFF");

} // namespace

const std::vector<ParameterRow> &slot_rows(int slot)
{
    static const std::vector<ParameterRow> buttons_1_2 = {
        ParameterRow::input_level, ParameterRow::harmonic_pitch, ParameterRow::wave_clip};
    static const std::vector<ParameterRow> buttons_3_4 = {ParameterRow::dominant_notes_cut,
                                                          ParameterRow::high_notes_cut};
    return slot < 2 ? buttons_1_2 : buttons_3_4;
}

QString assign_message(const ParameterModel &model, const std::array<std::optional<ParameterRow>, 4> &buttons,
                       RemoteFunction remote)
{
    QString flags;
    for (int slot = 0; slot < assign_slot_count; ++slot)
        flags += model.slot_assigned[std::size_t(slot)] ? QStringLiteral("01") : QStringLiteral("00");

    // A parameter still on its constructor address (0xFFFF would read as an
    // empty slot) adds nothing.
    QString addresses;
    for (const std::optional<ParameterRow> &row : buttons) {
        if (!row)
            addresses += empty_slot;
        else if (model.has_image_address(*row))
            addresses += hex4(model.address(*row));
    }
    switch (remote) {
    case RemoteFunction::bypass: addresses += hex4(remote_bypass_marker); break;
    case RemoteFunction::change_preset: addresses += hex4(remote_preset_marker); break;
    case RemoteFunction::none: addresses += empty_slot; break;
    }
    return QStringLiteral("04") + flags + addresses;
}

QString footswitch_message(std::optional<bool> short_bypasses, std::optional<bool> long_bypasses)
{
    // The two bytes give 0 and 1 opposite meanings: short 01 changes the
    // preset, long 01 bypasses.
    QString text = QStringLiteral("08");
    if (short_bypasses)
        text += *short_bypasses ? QStringLiteral("00") : QStringLiteral("01");
    if (long_bypasses)
        text += *long_bypasses ? QStringLiteral("01") : QStringLiteral("00");
    return text;
}

QString store_message(const ParameterModel &model)
{
    QString text = QStringLiteral("03");
    for (ParameterRow row : stored_rows)
        text += hex8(model.value(row));
    return text;
}

} // namespace quorvane
