#include "firmware/UpgradeWiring.h"

#include "protocol/DeviceConnection.h"

namespace quorvane {

UpgradeLinkState upgrade_link_state(DeviceConnection &connection)
{
    return {connection.is_linked, connection.bootloader_mode, connection.upgrade_mode_pending,
            connection.device_firmware_version};
}

void wire_upgrade(UpgradeProcedure &procedure, DeviceConnection &connection)
{
    DeviceConnection *c = &connection;
    UpgradeHooks &h = procedure.hooks;
    h.reception_tick_active = [c] { return c->Timer_USB_Read.isActive(); };
    h.set_reception_tick = [c](bool on) {
        if (on)
            c->Timer_USB_Read.start();
        else
            c->Timer_USB_Read.stop();
    };
    h.request_status = [c] { c->RequestDeviceStatus(); };
    procedure.client().read_back_limits = connection.limits.bootloader_read_back;
    procedure.setExchangeGuard(&connection.exchange);
    connection.bootloader_handshake = [&procedure] { return procedure.BootloaderLinkHandshake(); };
}

} // namespace quorvane
