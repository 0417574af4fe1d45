// Preset files as the editor reads them: the file's bytes through the
// reader, the words into a parameter model. A word is taken only from a
// line of exactly eight hex digits, assigned rows keep theirs, and what the
// editor writes reads back as the same words.

#include "FuzzCheck.h"

#include "parameters/ParameterModel.h"
#include "presets/PresetFiles.h"

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

bool is_word_line(const QString &line)
{
    if (line.size() != 8)
        return false;
    for (QChar c : line) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = write_input_file(QStringLiteral("preset.txt"), bytes);
    const PresetFiles::ReadResult read = PresetFiles::read_preset_from(path);
    FUZZ_CHECK(read.outcome == PresetFiles::ReadResult::read);

    const PresetWords preset = parse_preset_text(read.text);
    FUZZ_CHECK(preset.present >= 0 && preset.present <= parameter_count);
    FUZZ_CHECK(preset.valid() <= preset.present && preset.rejected() >= 0);
    const QStringList lines = preset_lines(read.text);
    for (int i = 0; i < parameter_count; ++i) {
        const auto &word = preset.words[std::size_t(i)];
        FUZZ_CHECK(word.has_value() == (i < preset.present && is_word_line(lines[i])));
        if (word)
            FUZZ_CHECK(lines[i].toUInt(nullptr, 16) == *word);
    }

    // Applied with two rows assigned to a control slot: those keep their word.
    ParameterModel model;
    for (int i = 0; i < parameter_count; ++i)
        model.set_value(ParameterRow(i), 0x5A5A0000u + std::uint32_t(i));
    model.assignable(ParameterRow::input_level).is_assigned = true;
    model.assignable(ParameterRow::high_notes_cut).is_assigned = true;
    const ParameterModel before = model;
    const std::optional<PresetApplied> applied = apply_preset_text(model, read.text);
    FUZZ_CHECK(applied.has_value() == (preset.valid() > 0));
    for (int i = 0; i < parameter_count; ++i) {
        const auto row = ParameterRow(i);
        const auto &word = preset.words[std::size_t(i)];
        if (word && !before.is_assigned(row))
            FUZZ_CHECK(model.value(row) == *word);
        else
            FUZZ_CHECK(model.value(row) == before.value(row));
    }
    if (applied)
        FUZZ_CHECK(applied->applied + applied->assigned == preset.valid());

    // What the editor writes of this model reads back word for word.
    const PresetWords again = parse_preset_text(preset_text_of(model));
    FUZZ_CHECK(again.present == parameter_count && again.valid() == parameter_count);
    for (int i = 0; i < parameter_count; ++i)
        FUZZ_CHECK(*again.words[std::size_t(i)] == model.value(ParameterRow(i)));
    return 0;
}
