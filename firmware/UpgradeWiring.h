#pragma once
// Joins the upgrade procedure to the device connection. The hooks that show
// its state in the main window's commands are the application's.

#include "firmware/UpgradeProcedure.h"

namespace quorvane {

class DeviceConnection;

// The connection's flags, for the procedure's constructor.
UpgradeLinkState upgrade_link_state(DeviceConnection &connection);

// Hooks: the reception tick, the status request; the read-back's limits
// from the connection's table; the exchange guard; and the bootloader
// branch of Link.
void wire_upgrade(UpgradeProcedure &procedure, DeviceConnection &connection);

} // namespace quorvane
