#pragma once
// The faults the virtual pedal shows on request. Each kind is one row of the
// table in PedalFaults.cpp: its name on the command line (NAME or NAME=ARG),
// the shape of its argument and what it means.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <map>
#include <optional>
#include <variant>

namespace quorvane {

enum class PedalFault {
    // The line.
    Silent,       // silent: never sends anything
    UnplugAfter,  // unplug-after=BYTES: the bridge vanishes after this many bytes from the host
    // babble: sends "babble\r\n" over and over, whatever it receives, from the
    // first query after the fault is set (or from the start): at the line's
    // rate, leaving the line to the replies, when paced; else 64 more bytes
    // with every query. The bridge keeps 4096 bytes for the host: unpaced the
    // babble then waits, paced the oldest are lost.
    Babble,
    // The firmware.
    ShortStatus,     // short-status=N: the status reply cut after N values
    HexLetterStatus, // hex-letter-status: the value 10 at index 1 of the status reply
    LateUpload,      // late-upload=MS: the upload answer this much later
    SplitStatus,     // split-status=PIECES:GAP_MS: the status reply in pieces that end at line ends
    SplitUpload,     // split-upload=GAP_MS: the upload answer in two pieces, cut mid-text
    Stray,           // stray=HEX: sent once, 20 ms after each status reply is complete
    DropDspWrite,    // drop-dsp-write=N: the N-th DSP write (from 0) since the firmware started is ignored
    // The bootloader.
    NackAt,        // nack-at=erase|chunk:K|version|go: NACK the first time this step comes
    NackAtWrite,   // nack-at-write=N: NACK the N-th Write Memory (from 0) since power-on
    SilentAtWrite, // silent-at-write=N: hangs at the N-th Write Memory since power-on
    SilentErase,   // silent-erase: erases, then hangs instead of answering
    ExtraAfterAck, // extra-after-ack: every ACK sent alone has a 0x1F right behind it
    AnyWriteLength, // any-write-length: Write Memory takes any length, not only whole words
    CorruptBlock,   // corrupt-block=N: the N-th Write Memory (from 0) is ACKed but stored with one byte changed
    NackRead,       // nack-read: every Read Memory is refused at its command byte (as under read protection)
};

// The bootloader step that nack-at refuses once.
struct NackPoint {
    enum class Step { Erase, Chunk, Version, Go };
    Step step = Step::Erase;
    int chunk = 0; // for Chunk: the chunk written at 0x08000000 + 256*K
    bool operator==(const NackPoint &) const = default;
};

// A reply cut into this many pieces, this far apart.
struct Pieces {
    int count = 0;
    int gapMs = 0;
    bool operator==(const Pieces &) const = default;
};

// A fault's argument: none, a number, pieces, bytes or a bootloader step.
using PedalFaultArgument = std::variant<std::monostate, qint64, Pieces, QByteArray, NackPoint>;

class PedalFaults {
public:
    bool has(PedalFault fault) const { return m_set.count(fault) != 0; }
    // The argument of a fault that is set; `otherwise` (or empty) when it is not.
    qint64 number(PedalFault fault, qint64 otherwise = -1) const;
    Pieces pieces(PedalFault fault) const;
    QByteArray bytes(PedalFault fault) const;
    std::optional<NackPoint> nackPoint() const;

    // Sets a fault with an argument of the shape its row takes.
    void set(PedalFault fault, const PedalFaultArgument &argument = {});
    void clear(PedalFault fault) { m_set.erase(fault); }

    // Parses one fault as written on the command line (see the table). On
    // failure leaves the faults as they were and fills error.
    bool parse(const QString &text, QString *error);
    // Every fault as the usage text shows it, "short-status=N (...)" and so on.
    static QStringList usage();

    bool operator==(const PedalFaults &) const = default;

private:
    std::map<PedalFault, PedalFaultArgument> m_set;
};

} // namespace quorvane
