#pragma once
// Joins the upgrade procedure to the device connection and to the main
// window's controls (found by name through the connection), so the main
// window only forwards its two menu items.

#include "firmware/UpgradeProcedure.h"

namespace quorvane {

class DeviceConnection;

// The connection's flags, for the procedure's constructor.
UpgradeLinkState upgrade_link_state(DeviceConnection &connection);

// Hooks: the "Upgrade Mode" check mark, "Start Firmware Upgrade", "Request"
// and "Upload Selected", the reception tick, the status request; the
// exchange guard; and the bootloader branch of Link.
void wire_upgrade(UpgradeProcedure &procedure, DeviceConnection &connection);

} // namespace quorvane
