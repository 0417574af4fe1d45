#include "simulator/PedalFaults.h"

#include <QRegularExpression>

#include <array>
#include <limits>

namespace quorvane {

namespace {

// How a fault's argument is written.
enum class Shape {
    None,   // NAME
    Number, // NAME=N, 0..most
    Pieces, // NAME=PIECES:GAP_MS, 2..most pieces and 0..3600000 ms
    Hex,    // NAME=HEX, 1..most bytes as hex digits
    Step,   // NAME=erase|chunk:K|version|go
};

constexpr qint64 kHour = 3600000;
constexpr qint64 kAny = std::numeric_limits<qint64>::max();
constexpr int kChunks = 512; // 256-byte chunks in the 128 KiB flash

struct Row {
    PedalFault fault;
    const char *name;
    Shape shape;
    const char *form;  // the argument as the usage shows it
    qint64 most;       // the largest number, pieces or bytes
    const char *needs; // what a wrong argument is told it needs
    const char *help;  // for the usage text, or empty
};

// Every fault the pedal knows; a new fault is a new row (and the code that
// shows it).
constexpr std::array kFaults = {
    Row{PedalFault::Silent, "silent", Shape::None, "", 0, "", ""},
    Row{PedalFault::NackAt, "nack-at", Shape::Step, "erase|chunk:K|version|go", kChunks - 1, "", "once"},
    Row{PedalFault::ShortStatus, "short-status", Shape::Number, "N", 1000, "a count of values", ""},
    Row{PedalFault::HexLetterStatus, "hex-letter-status", Shape::None, "", 0, "", ""},
    Row{PedalFault::LateUpload, "late-upload", Shape::Number, "MS", kHour, "milliseconds", ""},
    Row{PedalFault::UnplugAfter, "unplug-after", Shape::Number, "BYTES", kAny, "a byte count", ""},
    Row{PedalFault::Babble, "babble", Shape::None, "", 0, "", "sends without end"},
    Row{PedalFault::SplitStatus, "split-status", Shape::Pieces, "PIECES:GAP_MS", 1000,
        "2 or more pieces and milliseconds, e.g. 4:60", "e.g. 4:60"},
    Row{PedalFault::SplitUpload, "split-upload", Shape::Number, "GAP_MS", kHour, "milliseconds", ""},
    Row{PedalFault::Stray, "stray", Shape::Hex, "HEX", 256, "1 to 256 bytes as hex digits, e.g. 31320D0A",
        "sent 20 ms after each status reply, e.g. 31320D0A"},
    Row{PedalFault::DropDspWrite, "drop-dsp-write", Shape::Number, "N", kAny, "a count of DSP writes",
        "the N-th DSP write from 0 is lost"},
    Row{PedalFault::NackAtWrite, "nack-at-write", Shape::Number, "N", kAny, "a count of Write Memory commands",
        "the N-th Write Memory from 0"},
    Row{PedalFault::SilentAtWrite, "silent-at-write", Shape::Number, "N", kAny,
        "a count of Write Memory commands", "hangs there"},
    Row{PedalFault::SilentErase, "silent-erase", Shape::None, "", 0, "", "erases, then hangs"},
    Row{PedalFault::ExtraAfterAck, "extra-after-ack", Shape::None, "", 0, "", "1F behind every lone ACK"},
    Row{PedalFault::AnyWriteLength, "any-write-length", Shape::None, "", 0, "", "not only whole words"},
    Row{PedalFault::CorruptBlock, "corrupt-block", Shape::Number, "N", kAny, "a count of Write Memory commands",
        "the N-th Write Memory from 0 stored with one byte changed"},
    Row{PedalFault::NackRead, "nack-read", Shape::None, "", 0, "", "Read Memory refused"},
};

const Row *rowOf(PedalFault fault)
{
    for (const Row &row : kFaults)
        if (row.fault == fault)
            return &row;
    return nullptr;
}

const Row *rowNamed(const QString &name)
{
    for (const Row &row : kFaults)
        if (name == QLatin1String(row.name))
            return &row;
    return nullptr;
}

Shape shapeOf(const PedalFaultArgument &argument)
{
    switch (argument.index()) {
    case 1: return Shape::Number;
    case 2: return Shape::Pieces;
    case 3: return Shape::Hex;
    case 4: return Shape::Step;
    default: return Shape::None;
    }
}

bool parseNumber(const QString &text, qint64 most, qint64 &out)
{
    bool ok = false;
    out = text.toLongLong(&ok);
    return ok && out >= 0 && out <= most;
}

// The argument of `row` from its text, or an error.
std::variant<PedalFaultArgument, QString> parseArgument(const Row &row, const QString &arg)
{
    const QString name = QLatin1String(row.name);
    const QString needs = QStringLiteral("%1=%2 needs %3").arg(name, QLatin1String(row.form), QLatin1String(row.needs));
    switch (row.shape) {
    case Shape::None:
        return PedalFaultArgument{};
    case Shape::Number: {
        qint64 n = 0;
        if (!parseNumber(arg, row.most, n))
            return needs;
        return PedalFaultArgument{n};
    }
    case Shape::Pieces: {
        const QStringList parts = arg.split(':');
        qint64 pieces = 0, gap = 0;
        if (parts.size() != 2 || !parseNumber(parts[0], row.most, pieces) || pieces < 2
            || !parseNumber(parts[1], kHour, gap))
            return needs;
        return PedalFaultArgument{Pieces{int(pieces), int(gap)}};
    }
    case Shape::Hex: {
        static const QRegularExpression hexBytes(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
        if (!hexBytes.match(arg).hasMatch() || arg.size() / 2 > row.most)
            return needs;
        return PedalFaultArgument{QByteArray::fromHex(arg.toLatin1())};
    }
    case Shape::Step: {
        using Step = NackPoint::Step;
        if (arg == QLatin1String("erase"))
            return PedalFaultArgument{NackPoint{Step::Erase}};
        if (arg == QLatin1String("version"))
            return PedalFaultArgument{NackPoint{Step::Version}};
        if (arg == QLatin1String("go"))
            return PedalFaultArgument{NackPoint{Step::Go}};
        if (arg.startsWith(QLatin1String("chunk:"))) {
            qint64 k = 0;
            if (!parseNumber(arg.mid(6), row.most, k))
                return QStringLiteral("%1=chunk:K needs a chunk number 0..%2").arg(name).arg(row.most);
            return PedalFaultArgument{NackPoint{Step::Chunk, int(k)}};
        }
        return QStringLiteral("%1 takes erase, chunk:K, version or go").arg(name);
    }
    }
    return needs;
}

} // namespace

qint64 PedalFaults::number(PedalFault fault, qint64 otherwise) const
{
    const auto it = m_set.find(fault);
    const qint64 *n = it == m_set.end() ? nullptr : std::get_if<qint64>(&it->second);
    return n ? *n : otherwise;
}

Pieces PedalFaults::pieces(PedalFault fault) const
{
    const auto it = m_set.find(fault);
    const Pieces *p = it == m_set.end() ? nullptr : std::get_if<Pieces>(&it->second);
    return p ? *p : Pieces{};
}

QByteArray PedalFaults::bytes(PedalFault fault) const
{
    const auto it = m_set.find(fault);
    const QByteArray *b = it == m_set.end() ? nullptr : std::get_if<QByteArray>(&it->second);
    return b ? *b : QByteArray();
}

std::optional<NackPoint> PedalFaults::nackPoint() const
{
    const auto it = m_set.find(PedalFault::NackAt);
    const NackPoint *p = it == m_set.end() ? nullptr : std::get_if<NackPoint>(&it->second);
    return p ? std::optional<NackPoint>(*p) : std::nullopt;
}

void PedalFaults::set(PedalFault fault, const PedalFaultArgument &argument)
{
    const Row *row = rowOf(fault);
    Q_ASSERT_X(row && row->shape == shapeOf(argument), "PedalFaults::set", "argument of the wrong shape");
    if (row && row->shape == shapeOf(argument))
        m_set[fault] = argument;
}

bool PedalFaults::parse(const QString &text, QString *error)
{
    const int eq = int(text.indexOf('='));
    const QString name = eq < 0 ? text : text.left(eq);
    const QString arg = eq < 0 ? QString() : text.mid(eq + 1);
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const Row *row = rowNamed(name);
    if (!row)
        return fail(QStringLiteral("unknown fault: %1").arg(name));
    const bool wantsArg = row->shape != Shape::None;
    if (wantsArg && arg.isEmpty())
        return fail(QStringLiteral("fault %1 needs a value (%1=...)").arg(name));
    if (!wantsArg && eq >= 0)
        return fail(QStringLiteral("fault %1 takes no value").arg(name));
    const auto parsed = parseArgument(*row, arg);
    if (const QString *why = std::get_if<QString>(&parsed))
        return fail(*why);
    m_set[row->fault] = std::get<PedalFaultArgument>(parsed);
    return true;
}

QStringList PedalFaults::usage()
{
    QStringList out;
    for (const Row &row : kFaults) {
        QString text = QLatin1String(row.name);
        if (row.shape != Shape::None)
            text += QLatin1Char('=') + QLatin1String(row.form);
        if (*row.help)
            text += QStringLiteral(" (%1)").arg(QLatin1String(row.help));
        out << text;
    }
    return out;
}

} // namespace quorvane
