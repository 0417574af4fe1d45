#include "firmware/UpgradeWiring.h"

#include "protocol/DeviceConnection.h"

#include <QAction>

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
    h.set_upgrade_mode_checked = [c](bool on) {
        // Set by the handler, not by the menu item itself.
        if (auto *item = qobject_cast<QAction *>(c->controls.find(QStringLiteral("menuFirmwareUpgradeMode")))) {
            item->setCheckable(true);
            item->setChecked(on);
        }
    };
    h.set_start_upgrade_enabled = [c](bool on) {
        c->controls.setEnabled(QStringLiteral("menuStartFirmwareUpgrade"), on);
    };
    h.set_request_upload_enabled = [c](bool on) { c->controls.setEnabled({"btnRequest", "btnUpload"}, on); };
    h.reception_tick_active = [c] { return c->Timer_USB_Read.isActive(); };
    h.set_reception_tick = [c](bool on) {
        if (on)
            c->Timer_USB_Read.start();
        else
            c->Timer_USB_Read.stop();
    };
    h.request_status = [c] { c->RequestDeviceStatus(); };
    procedure.setExchangeGuard(&connection.exchange);
    connection.bootloader_handshake = [&procedure] { return procedure.BootloaderLinkHandshake(); };
}

} // namespace quorvane
