#pragma once
// Bringing a whole set of parameter words into the model at once: a preset
// file, an A/B slot. The rule is the same for each: a row that a control
// slot of the pedal holds keeps the word the pedal has (the editor may not
// write it), every other row takes the given word. The caller then shows the
// model and sends the changed rows through the effect window's
// send_parameter_word, which never sends "1st Harmonic".

#include "parameters/ParameterModel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

using ParameterWords = std::array<std::uint32_t, parameter_count>;

// The fifteen words the model holds, in table order.
ParameterWords words_of(const ParameterModel &model);

// What bringing words in did.
struct WordsLoaded {
    int applied = 0;  // rows that took the given word
    int assigned = 0; // rows with a word that were skipped: a control slot holds them
    // The rows whose word changed, with their new word.
    std::vector<std::pair<ParameterRow, std::uint32_t>> changed;
    // The word each of those rows had before, in the same order.
    std::vector<std::uint32_t> previous;
};

// Sets the given words (a row without one stays as it was), except for rows
// assigned to a control slot.
WordsLoaded load_words(ParameterModel &model, const std::array<std::optional<std::uint32_t>, parameter_count> &words);
WordsLoaded load_words(ParameterModel &model, const ParameterWords &words);

} // namespace quorvane
