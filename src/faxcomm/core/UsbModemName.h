#pragma once

#include <string>

namespace qpcomm {

// The maker and model a USB serial device's /dev/serial/by-id name carries, in words:
// "usb-USRobotics_USB_Modem_0000001-if00" gives "USRobotics USB Modem". The bus prefix,
// the interface and port suffixes and a trailing serial number (hexadecimal digits) are
// left out; udev's "\xNN" escapes are decoded. Empty when nothing is left.
std::string UsbModemName(const std::string& byIdName);

} // namespace qpcomm
