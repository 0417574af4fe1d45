#include "protocol/HotPlug.h"

#include "common/ConsoleLog.h"
#include "protocol/DeviceConnection.h"
#include "usb/D2XXUnit.h"

#include <cstring>

namespace quorvane {

HotPlug::HotPlug(D2XXUnit &link, DeviceConnection &connection, ConsoleLog &console, QObject *parent)
    : QObject(parent), m_link(link), m_connection(connection), m_console(console)
{
    m_timer.setObjectName(QStringLiteral("Timer_HotPlug"));
    connect(&m_timer, &QTimer::timeout, this, &HotPlug::poll);
    connect(&m_connection, &DeviceConnection::bridgeLost, this, &HotPlug::on_bridge_lost);
    // A user's own Unlink or Link ends any waiting to link again.
    connect(&m_connection, &DeviceConnection::linkEvent, this, [this](LinkEvent event) {
        if (event == LinkEvent::linked || event == LinkEvent::unlinked)
            m_lost.clear();
        if (event == LinkEvent::report_accepted)
            m_relinking = false;
    });
}

void HotPlug::start(int interval_ms)
{
    if (const auto bridges = list_bridges())
        m_known = *bridges;
    m_timer.start(interval_ms);
}

void HotPlug::stop()
{
    m_timer.stop();
}

void HotPlug::on_bridge_lost(const QString &serial)
{
    // Emitted after the unlinked event, so nothing clears it. A pedal linked
    // again by hot-plug that goes before its status came back is broken
    // rather than replugged: it is not tried again until it has gone.
    m_lost = serial;
    m_may_relink = !m_relinking;
    m_relinking = false;
}

std::optional<QVector<HotPlug::Bridge>> HotPlug::list_bridges()
{
    BridgeDriver &driver = m_link.driver();
    std::uint32_t count = 0;
    if (driver.listDeviceCount(count) != FT_OK)
        return std::nullopt;
    QVector<Bridge> bridges;
    char serial[FT_LIST_TEXT_SIZE];
    char description[FT_LIST_TEXT_SIZE];
    for (std::uint32_t i = 0; i < count; ++i) {
        if (driver.listSerialNumber(i, serial) != FT_OK || driver.listDescription(i, description) != FT_OK)
            return std::nullopt; // half a listing tells nothing
        bridges.append({QString::fromLatin1(serial, qsizetype(strnlen(serial, FT_LIST_TEXT_SIZE))),
                        QString::fromLatin1(description, qsizetype(strnlen(description, FT_LIST_TEXT_SIZE)))});
    }
    return bridges;
}

const HotPlug::Bridge *HotPlug::find(const QVector<Bridge> &bridges, const QString &serial)
{
    for (const Bridge &b : bridges) {
        if (b.serial == serial)
            return &b;
    }
    return nullptr;
}

void HotPlug::poll()
{
    // The upgrade owns the line and the pedal restarts under it; an exchange
    // must not be cut into. A look that would start inside another (a
    // message box of the last one) waits for the next tick.
    if (m_polling || m_connection.exchange_busy())
        return;
    if (m_connection.bootloader_mode) {
        m_lost.clear();
        return;
    }
    const auto listed = list_bridges();
    if (!listed)
        return;
    m_polling = true;
    const QVector<Bridge> known = m_known;
    m_known = *listed;
    const QString shown = m_connection.device_serial_number;

    if (m_connection.is_linked) {
        if (!find(*listed, shown)) {
            m_connection.bridge_lost();
            m_connection.listed_bridge_gone();
        }
        m_polling = false;
        return;
    }

    if (!m_lost.isEmpty()) {
        if (const Bridge *back = find(*listed, m_lost); !back) {
            m_may_relink = true; // gone: when it is listed again, it has come back
        } else if (m_may_relink) {
            const Bridge bridge = *back;
            m_may_relink = false;
            m_console.print_to_console(
                QStringLiteral("The pedal is back (%1): linking again.").arg(bridge.serial));
            m_connection.show_listed_bridge(bridge.serial, bridge.description);
            m_relinking = true; // until its status report is taken
            if (!m_connection.relink())
                m_relinking = false;
        }
    }
    if (!m_connection.is_linked) {
        // A bridge that appeared is shown, as Scan shows the last one it lists.
        const Bridge *appeared = nullptr;
        for (const Bridge &b : *listed) {
            if (!known.contains(b) && b.serial != m_lost)
                appeared = &b;
        }
        if (appeared)
            m_connection.show_listed_bridge(appeared->serial, appeared->description);
        else if (find(known, shown) && !find(*listed, shown))
            m_connection.listed_bridge_gone();
    }
    m_polling = false;
}

} // namespace quorvane
