#pragma once
// The pedal connection: which bridge Link opens, and the connection flags.

#include <QString>

class QAction;
class QLabel;

namespace quorvane {

class D2XXUnit;

class Connection {
public:
    explicit Connection(D2XXUnit &link) : m_link(link) {}

    // Start-up listing: every bridge the driver lists is taken, the last one
    // wins. Appends each serial number to the "Device Serial: " item, remembers
    // it in device_serial_number and shows the bridge's description in the
    // label. Logs nothing and shows nothing (driver failures go through the
    // link layer's report).
    void ListDevicesAtStartup(QLabel &lblDeviceName, QAction &menuSerialNumber);

    // Serial number of the bridge Link opens; empty until one is listed.
    QString device_serial_number;
    // True between a successful Link and Unlink.
    bool is_linked = false;
    // The link is meant for the pedal's bootloader (firmware upgrade mode).
    bool bootloader_mode = false;
    // The user chose upgrade mode: Link skips its status request.
    bool upgrade_mode_pending = false;

private:
    D2XXUnit &m_link;
};

} // namespace quorvane
