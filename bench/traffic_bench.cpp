// The traffic capture at its full size: one million records captured as a
// firmware upgrade and live edits make them, decoded, shown in the traffic
// window and scrolled to the end; and what the ring holds in memory.
//
// bench_traffic [records]   (QT_QPA_PLATFORM=offscreen on a machine without display)

#include "console/TformTraffic.h"
#include "console/TrafficModel.h"
#include "protocol/TrafficDecoder.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTableView>

#include <cstdio>
#include <ctime>
#include <vector>

using namespace quorvane;

namespace {

// Resident and peak resident memory of this process, in bytes.
std::pair<std::size_t, std::size_t> resident()
{
    QFile f(QStringLiteral("/proc/self/status"));
    std::size_t rss = 0, hwm = 0;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed().split(' ').first().toULongLong() * 1024;
            else if (line.startsWith("VmHWM:"))
                hwm = line.mid(6).trimmed().split(' ').first().toULongLong() * 1024;
        }
    }
    return {rss, hwm};
}

// CPU time of this thread: what the work costs, whatever else the machine runs.
std::int64_t cpu_ns()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

double mib(std::size_t bytes)
{
    return double(bytes) / double(1 << 20);
}

struct Piece {
    TrafficDirection direction;
    TrafficLine line;
    QByteArray bytes;
    bool new_exchange;
};

// What one chunk of a firmware upgrade puts on the line, and a DSP write
// with a status request and its reply, as the gate captures them.
std::vector<Piece> traffic_pattern()
{
    const auto out = TrafficDirection::Out, in = TrafficDirection::In;
    const auto boot = TrafficLine::Bootloader, fw = TrafficLine::Firmware;
    const QByteArray ack(1, char(0x79));
    QByteArray chunk(256, '\0');
    std::uint8_t sum = 0xFF;
    for (int i = 0; i < 256; ++i) {
        chunk[i] = char(i * 7);
        sum ^= std::uint8_t(i * 7);
    }
    QByteArray status;
    for (int i = 0; i < 83; ++i)
        status += QByteArray::number(i % 200) + "\r\n";
    return {
        {out, boot, QByteArray::fromHex("31"), true},
        {out, boot, QByteArray::fromHex("CE"), false},
        {in, boot, ack, false},
        {out, boot, QByteArray::fromHex("0800010009"), false},
        {in, boot, ack, false},
        {out, boot, QByteArray::fromHex("FF"), false},
        {out, boot, chunk, false},
        {out, boot, QByteArray(1, char(sum)), false},
        {in, boot, ack, false},
        {out, fw, QByteArray::fromHex("010012003FC000"), true},
        {out, fw, QByteArray::fromHex("0200"), true},
        {in, fw, status.left(120), false},
        {in, fw, status.mid(120), false},
    };
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const std::size_t count = argc > 1 ? std::size_t(QByteArray(argv[1]).toULongLong()) : 1'000'000;
    const std::vector<Piece> pattern = traffic_pattern();

    const auto before = resident();
    TrafficLog log(count);
    std::printf("ring: %zu records of at most %.0f MiB of bytes; %.1f MiB reserved, resident only as used\n",
                log.max_records(), mib(log.byte_budget()), mib(log.reserved_bytes()));

    // Capture: what the gate does for every write and read. The first lap
    // fills the ring (its pages are touched for the first time); the second
    // runs as the ring does from then on, each record letting an old one go.
    std::uint32_t exchange = 0;
    const auto capture_lap = [&] {
        for (std::size_t i = 0; i < count; ++i) {
            const Piece &p = pattern[i % pattern.size()];
            if (p.new_exchange)
                ++exchange;
            log.append(p.direction, p.line, exchange, p.bytes.constData(), std::size_t(p.bytes.size()));
        }
    };
    QElapsedTimer clock;
    clock.start();
    std::int64_t cpu = cpu_ns();
    capture_lap();
    const double fill_ns = double(clock.nsecsElapsed()) / double(count);
    const double fill_cpu_ns = double(cpu_ns() - cpu) / double(count);
    const auto filled = resident();
    clock.restart();
    cpu = cpu_ns();
    capture_lap();
    const double capture_ns = double(clock.nsecsElapsed()) / double(count);
    const double capture_cpu_ns = double(cpu_ns() - cpu) / double(count);

    // Decoding every record in order, as an export does.
    TrafficDecoder decoder(log);
    decoder.parameter_at = [](std::uint16_t) { return DspParameterName{QStringLiteral("Dry"), true}; };
    clock.restart();
    cpu = cpu_ns();
    std::size_t text_chars = 0;
    for (std::uint64_t n = log.first(); n < log.end(); ++n)
        text_chars += std::size_t(decoder.decode(n).text.size());
    const double decode_ns = double(clock.nsecsElapsed()) / double(count);
    const double decode_cpu_ns = double(cpu_ns() - cpu) / double(count);
    std::printf("capture, ring filling: %.0f ns a record (CPU %.0f ns; first touch of its pages)\n", fill_ns,
                fill_cpu_ns);
    std::printf("capture %.0f ns a record (CPU %.0f ns), decode %.0f ns a record (CPU %.0f ns): "
                "%.3f us a record captured and decoded, CPU %.3f us (goal < 1 us) [%zu records, %zu characters]\n",
                capture_ns, capture_cpu_ns, decode_ns, decode_cpu_ns, (capture_ns + decode_ns) / 1000.0,
                (capture_cpu_ns + decode_cpu_ns) / 1000.0, log.count(), text_chars);
    std::size_t pattern_bytes = 0;
    for (const Piece &p : pattern)
        pattern_bytes += std::size_t(p.bytes.size());
    std::printf("ring memory with this traffic (%.0f B a record on average): %.1f MiB resident "
                "(peak of the process %.1f MiB, %.1f MiB before the ring)\n",
                double(pattern_bytes) / double(pattern.size()), mib(filled.first - before.first), mib(filled.second),
                mib(before.second));

    // The window over the full ring, scrolled to its end.
    test::ScriptedDialogs dialogs; // every question answered yes, no file chosen
    TformTraffic window(log, dialogs);
    window.resize(1100, 640);
    clock.restart();
    window.show();
    app.processEvents();
    const double open_ms = double(clock.nsecsElapsed()) / 1e6;
    window.grdTraffic->scrollToTop();
    window.grdTraffic->viewport()->repaint();
    clock.restart();
    window.grdTraffic->scrollToBottom();
    window.grdTraffic->viewport()->repaint();
    const double scroll_ms = double(clock.nsecsElapsed()) / 1e6;
    const bool at_end = window.grdTraffic->verticalScrollBar()->value() == window.grdTraffic->verticalScrollBar()->maximum();
    std::printf("traffic window: %d rows; opened in %.1f ms; scrolled to the end and painted in %.2f ms "
                "(goal < 50 ms)%s\n",
                window.model().rowCount(), open_ms, scroll_ms, at_end ? "" : " [NOT AT THE END]");

    // Paging through the end of the table, as a user holding Page Up does.
    clock.restart();
    QScrollBar *bar = window.grdTraffic->verticalScrollBar();
    for (int page = 0; page < 50; ++page) {
        bar->setValue(bar->value() - bar->pageStep());
        window.grdTraffic->viewport()->repaint();
    }
    std::printf("50 pages up, each painted: %.2f ms a page\n", double(clock.nsecsElapsed()) / 1e6 / 50);

    // A filter over every record (each decoded once).
    clock.restart();
    window.cmbKind->setCurrentText(QStringLiteral("Write Memory"));
    std::printf("filter by kind over %zu records: %.0f ms, %d rows shown\n", log.count(),
                double(clock.nsecsElapsed()) / 1e6, window.model().rowCount());

    // The worst case for memory: every record large, so the byte budget fills too.
    const QByteArray big(4096, 'x');
    for (std::size_t i = 0; i < count; ++i)
        log.append(TrafficDirection::In, TrafficLine::Firmware, 1, big.constData(), std::size_t(big.size()));
    const auto full = resident();
    std::printf("ring filled to both bounds (%zu records held, bytes at the %.0f MiB budget): process peak %.1f MiB, "
                "of which the ring at most %.1f MiB (goal < 200 MiB)\n",
                log.count(), mib(log.byte_budget()), mib(full.second), mib(log.reserved_bytes()));
    std::fflush(stdout);
    return 0;
}
