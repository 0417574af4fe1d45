#include "protocol/Connection.h"

#include "usb/D2XXUnit.h"

#include <QAction>
#include <QLabel>

namespace quorvane {

void Connection::ListDevicesAtStartup(QLabel &lblDeviceName, QAction &menuSerialNumber)
{
    m_link.ft_device_count = 0;
    if (m_link.GetFTDeviceCount() != FT_OK)
        return;
    const std::uint32_t count = m_link.ft_device_count;
    for (std::uint32_t index = 0; index < count; ++index) {
        if (m_link.GetFTDeviceSerialNo(index) == FT_OK) {
            menuSerialNumber.setText(menuSerialNumber.text() + m_link.ft_list_text);
            device_serial_number = m_link.ft_list_text;
        }
        if (m_link.GetFTDeviceDescription(index) == FT_OK)
            lblDeviceName.setText(m_link.ft_list_text);
    }
}

} // namespace quorvane
