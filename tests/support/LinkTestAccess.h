#pragma once
// The link layer's raw write and transmit buffer, which only its gate uses,
// for the tests of the link layer itself and of what reaches the wire.

#include "usb/D2XXUnit.h"

namespace quorvane {

struct LinkTestAccess {
    static std::uint32_t write(D2XXUnit &link, std::uint32_t n) { return link.WriteFTDevice(n); }
    static std::array<std::uint8_t, link_buffer_size> &tx_buffer(D2XXUnit &link) { return link.tx_buffer; }
};

} // namespace quorvane
