#include "telescope/serial_port.h"

namespace {
NullSerialPort null_port;
SerialPort* installed = &null_port;
} // namespace

SerialPort& serial_port()
{
    return *installed;
}

void set_serial_port(SerialPort* p)
{
    installed = p != nullptr ? p : &null_port;
}
