#pragma once
// The one helper for waits: every wait that keeps the user interface alive
// goes through here, so bounds and cancels live in one place.

#include <functional>

namespace quorvane {

// Processes events until `done` returns true or `timeout_ms` has passed;
// returns whether `done` became true.
bool wait_until(const std::function<bool()> &done, int timeout_ms);

// Processes events for `ms` milliseconds.
void wait_ms(int ms);

// A short fixed pause that blocks the thread.
void pause_ms(int ms);

} // namespace quorvane
