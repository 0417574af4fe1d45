#include "parameters/WordLoad.h"

namespace quorvane {

ParameterWords words_of(const ParameterModel &model)
{
    ParameterWords words{};
    for (int i = 0; i < parameter_count; ++i)
        words[std::size_t(i)] = model.value(ParameterRow(i));
    return words;
}

WordsLoaded load_words(ParameterModel &model, const std::array<std::optional<std::uint32_t>, parameter_count> &words)
{
    WordsLoaded result;
    for (int i = 0; i < parameter_count; ++i) {
        const auto &word = words[std::size_t(i)];
        if (!word)
            continue;
        const ParameterRow row(static_cast<ParameterRow>(i));
        // A control slot of the pedal holds it: the window may not write it,
        // so the editor keeps the word the pedal has.
        if (model.is_assigned(row)) {
            ++result.assigned;
            continue;
        }
        ++result.applied;
        if (model.value(row) != *word) {
            result.previous.push_back(model.value(row));
            model.set_value(row, *word);
            result.changed.emplace_back(row, *word);
        }
    }
    return result;
}

WordsLoaded load_words(ParameterModel &model, const ParameterWords &words)
{
    std::array<std::optional<std::uint32_t>, parameter_count> given;
    for (int i = 0; i < parameter_count; ++i)
        given[std::size_t(i)] = words[std::size_t(i)];
    return load_words(model, given);
}

} // namespace quorvane
