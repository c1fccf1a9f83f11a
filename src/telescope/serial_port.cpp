#include "telescope/serial_port.h"

namespace {
NullSerialPort null_port;
SerialPort* installed = &null_port;
} // namespace

SerialPort& serial_port()
{
    return *installed;
}

int serial_baud_rate(int code)
{
    constexpr int rates[] = { 110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 };
    if (code < 0 || code >= static_cast<int>(sizeof rates / sizeof rates[0]))
        return -1;
    return rates[code];
}

void set_serial_port(SerialPort* p)
{
    installed = p != nullptr ? p : &null_port;
}
