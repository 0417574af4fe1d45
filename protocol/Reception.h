#pragma once
// The reception tick: while linked, every 50 ms, whatever the pedal sent on
// its own (answers to commands that expect no reply, the memory dump) is read
// and logged. It never takes the reply of a running exchange.

#include <QByteArray>
#include <QDeadlineTimer>

#include <functional>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;
class ExchangeGuard;

constexpr int receive_tick_interval_ms = 50;
// The memory dump: the byte 0xAB, then the whole settings memory.
constexpr int memory_dump_marker = 0xAB;
constexpr int memory_dump_size = 16384;
// How long after its first byte a memory dump may take to arrive.
constexpr int memory_dump_timeout_ms = 3000;
// Failed queue queries in a row, while linked, that mean the bridge is gone.
constexpr int lost_bridge_query_failures = 3;

class Reception {
public:
    Reception(D2XXUnit &link, ConsoleLog &console, ExchangeGuard &exchange)
        : m_link(link), m_console(console), m_exchange(exchange)
    {
    }

    // One tick. Driver failures are not shown while it runs; the report
    // switch gets back the value it had before on every way out.
    void ReceiveTick();

    // Lists a memory dump that is still arriving as far as it came and
    // forgets the failure count; for a link that is closed or newly opened.
    void reset();

    bool dump_pending() const { return m_dump_active; }

    // Whether the editor is linked; the tick unlinks only then.
    std::function<bool()> is_linked;
    // Called when the queue query failed lost_bridge_query_failures times in
    // a row while linked: the bridge has gone away.
    std::function<void()> on_bridge_lost;

    int dump_timeout_ms = memory_dump_timeout_ms;

private:
    void take_reception(QByteArray bytes);
    void list_dump();

    D2XXUnit &m_link;
    ConsoleLog &m_console;
    ExchangeGuard &m_exchange;
    int m_failed_queries = 0;
    bool m_dump_active = false;
    QByteArray m_dump;
    QDeadlineTimer m_dump_deadline;
};

} // namespace quorvane
