#pragma once
// The effect window plugged into the connection's status report, linked to
// the recording bridge, which answers every status request with `reply`.

#include "FxFixture.h"

#include "protocol/DeviceConnection.h"
#include "support/WindowByName.h"

#include <QListWidget>
#include <QWidget>

namespace quorvane::test {

inline QByteArray reply_lines(const std::vector<std::uint8_t> &values)
{
    QByteArray text;
    for (std::uint8_t v : values)
        text += QByteArray::number(v) + "\r\n";
    return text;
}

struct ReportFixture : FxFixture {
    QWidget mainWindow;
    DeviceConnection connection{link, console, dialogs};
    std::vector<std::uint8_t> reply = status_values(10);

    ReportFixture()
    {
        auto *effects = new QListWidget(&mainWindow);
        effects->setObjectName(QStringLiteral("lstEffects"));
        effects->addItem(QStringLiteral("Quorvane KQ5 0011"));
        quorvane::test::bind_window(connection, mainWindow);
        connection.latest_algorithm_version = 11;
        connection.latest_firmware_version = 10;
        window.attach(connection);
        driver.onWrite = [this](const QByteArray &bytes) {
            if (bytes == QByteArray("\x02\x00", 2))
                driver.queueReply(reply_lines(reply));
        };
    }

    // Links (which runs the first report) and forgets what that wrote and showed.
    void link_pedal()
    {
        connection.ScanForDevices();
        connection.ConnectOnClick();
        settle();
    }

    void request(const std::vector<std::uint8_t> &values)
    {
        reply = values;
        connection.RequestDeviceStatus();
    }

    void settle()
    {
        driver.writes.clear();
        dialogs.reset();
        console.clear();
    }
};

} // namespace quorvane::test
