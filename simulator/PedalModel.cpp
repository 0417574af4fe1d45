#include "simulator/PedalModel.h"

#include "simulator/PedalData.h"

#include <QElapsedTimer>

#include <memory>

namespace quorvane {

namespace {

PedalModel::Clock orMonotonic(PedalModel::Clock clock)
{
    if (clock)
        return clock;
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->nsecsElapsed() / 1000; };
}

} // namespace

PedalModel::PedalModel(const PedalOptions &options, Clock clock)
    : m_options(options),
      m_clock(orMonotonic(std::move(clock))),
      m_line(m_options, [this](const QString &text) { note(text); }, now()),
      m_firmware(m_options, *this),
      m_bootloader(m_options, *this, options.firmware)
{
    powerCycle(options.bootloader || options.bootloaderSynced);
    if (options.bootloaderSynced) {
        // A host synchronised at the editor's rate and went away.
        m_bootloader.startSynced(115200);
    }
    m_line.settle(now(), side());
}

QByteArray PedalModel::builtInEffectImage(int algorithm)
{
    return pedal::builtInEffectImage(algorithm);
}

QByteArray PedalModel::builtInFirmwareImage(int version)
{
    return pedal::builtInFirmwareImage(version);
}

std::uint16_t PedalModel::toDigits(int number)
{
    return pedal::toDigits(number);
}

void PedalModel::note(const QString &text)
{
    if (m_options.keepLog) {
        // A pedal left running keeps its recent history, not all of it.
        if (m_log.size() >= 20000)
            m_log.remove(0, 10000);
        m_log << text;
    }
    if (onLog)
        onLog(text);
}

qint64 PedalModel::send(const QByteArray &bytes, qint64 at)
{
    return m_line.send(bytes, at, side());
}

PedalLine::PedalSide PedalModel::side() const
{
    if (m_mode == Mode::Firmware)
        return {115200, 0, false};
    return {m_bootloader.baud(), 2, m_bootloader.waitingForSync()};
}

void PedalModel::receive(const QByteArray &bytes)
{
    if (m_line.unplugged())
        return;
    m_line.receive(bytes, now());
    advance();
}

void PedalModel::advance()
{
    const qint64 t = now();
    while (const std::optional<PedalLine::InByte> in = m_line.takeArrived(t))
        process(*in);
    m_line.settle(t, side());
}

void PedalModel::process(const PedalLine::InByte &in)
{
    const QString value = pedal::hex(QByteArray(1, char(in.value)));
    if (m_mode == Mode::Restarting) {
        if (in.at < m_restartDone) {
            ++m_ignored;
            note(QStringLiteral("ignored while restarting: %1").arg(value));
            return;
        }
        m_mode = Mode::Bootloader;
    }
    if (!m_line.fits(in, side())) {
        ++m_lineErrors;
        note(QStringLiteral("line error (host line %1 baud, parity %2): %3").arg(in.baud).arg(in.parity).arg(value));
        if (m_mode == Mode::Firmware)
            m_firmware.lineError();
        return;
    }
    if (m_mode == Mode::Firmware) {
        if (m_firmware.receive(in.value, in.at) == PedalFirmware::Request::UpgradeMode) {
            m_mode = Mode::Restarting;
            m_restartDone = in.at + qint64(m_options.restartMs) * 1000;
            m_bootloader.awaitSync();
            note(QStringLiteral("restarting into the bootloader"));
        }
        return;
    }
    if (const int version = m_bootloader.receive(in.value, in.at, in.baud))
        startFirmware(version, in.at);
}

void PedalModel::startFirmware(int version, qint64 at)
{
    m_mode = Mode::Firmware;
    m_firmware.start(version, at);
}

void PedalModel::startBootloader()
{
    m_mode = Mode::Bootloader;
    m_firmware.dropMessage();
    m_bootloader.start();
}

qint64 PedalModel::bytesAvailable()
{
    advance();
    return m_line.bytesAvailable(now());
}

QByteArray PedalModel::takeOutput(qint64 max)
{
    advance();
    return m_line.takeOutput(max, now());
}

qint64 PedalModel::microsToNextOutput()
{
    advance();
    return m_line.microsToNextOutput(now(), side());
}

void PedalModel::purgeReceive()
{
    advance();
    m_line.purgeReceive(now());
}

void PedalModel::purgeTransmit()
{
    m_line.purgeTransmit(now());
}

void PedalModel::sendUnsolicited(const QByteArray &bytes)
{
    advance();
    m_line.sendUnsolicited(bytes, now(), side());
}

PedalModel::Mode PedalModel::mode()
{
    advance();
    if (m_mode == Mode::Restarting && now() >= m_restartDone)
        m_mode = Mode::Bootloader;
    return m_mode;
}

void PedalModel::powerCycle(bool holdUpgradeMode)
{
    const qint64 t = now();
    m_line.reset(t);
    m_firmware.dropMessage();
    m_bootloader.switchOn();
    const int version = m_bootloader.bootableVersion();
    if (holdUpgradeMode || version == 0)
        startBootloader();
    else
        startFirmware(version, t);
}

} // namespace quorvane
