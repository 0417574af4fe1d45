#pragma once
// One request-and-reply exchange with the pedal at a time. The reply waits keep
// the user interface alive, so a click may arrive while an exchange waits; the
// commands that would start another exchange ask exchange_busy() first and do
// nothing while it is true. A step that belongs to a running exchange (the
// status request an upload makes as its last step) simply holds the guard
// again: holds nest.

#include <functional>

namespace quorvane {

class ExchangeGuard {
public:
    // Held from construction to destruction; release on every way out.
    class Hold {
    public:
        explicit Hold(ExchangeGuard &guard) : m_guard(&guard) { ++m_guard->m_depth; }
        ~Hold() { release(); }
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
        Hold(Hold &&other) noexcept : m_guard(other.m_guard) { other.m_guard = nullptr; }
        Hold &operator=(Hold &&) = delete;
        void release()
        {
            if (m_guard) {
                --m_guard->m_depth;
                m_guard = nullptr;
            }
        }

    private:
        ExchangeGuard *m_guard;
    };

    bool exchange_busy() const { return m_depth > 0; }
    [[nodiscard]] Hold hold() { return Hold(*this); }

    // Runs `command` holding the guard unless an exchange already waits;
    // returns whether it ran. For the click handlers of commands that start
    // an exchange.
    bool run_exclusive(const std::function<void()> &command)
    {
        if (exchange_busy())
            return false;
        Hold h(*this);
        command();
        return true;
    }

private:
    int m_depth = 0;
};

} // namespace quorvane
