// The SerialPort seam: the serial operations the telescope links use, in the
// shape of the classic serial library (port numbers from 0 for Com 1,
// negative results for errors). The real port runs on QSerialPort; tests and
// the simulator install an in-process port that hands bytes to the simulated
// mount.
#pragma once

#include <string>

#include "app/installed.h"

// Negative results.
constexpr int serial_no_such_port = -1; // no device for this port number
constexpr int serial_not_open = -2; // the port is not open
constexpr int serial_bad_argument = -3; // a code or size the port cannot take
constexpr int serial_io_error = -4; // the device failed or went away

// The baud codes of baud(): the classic serial library's table, 0 = 110,
// 1 = 300, 2 = 1200, 3 = 2400, 4 = 4800, 5 = 9600, 6 = 19200, 7 = 38400,
// 8 = 57600, 9 = 115200. Returns the rate in bits per second, or -1 for a
// code outside the table.
int serial_baud_rate(int code);

// The device of port `port` (0 is "Com 1"): <data root>/ports/COM<n> when
// that entry exists (a link to /dev/ttyUSB0, or the simulator's
// pseudo-terminal), else /dev/ttyS<n-1>.
std::string serial_device_path(int port);

// Line control characters of dtr() and rts().
constexpr char serial_set = 'S';
constexpr char serial_clear = 'C';

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the port with the given queue sizes.
    virtual int reset(int port, int rx_queue, int tx_queue) = 0;
    // Baud codes: 1 = 300, 5 = 9600 (the library's table).
    virtual int baud(int port, int code) = 0;
    // Parity 0 none; stop-bit code 0 one stop bit; data bits 5..8.
    virtual int parms(int port, int parity, int stop_bits, int data_bits) = 0;
    virtual int dtr(int port, char cmd) = 0;
    virtual int rts(int port, char cmd) = 0;
    // Queues `count` bytes for sending without waiting for a reply.
    virtual int puts(int port, const char* data, int count) = 0;
    virtual int putc(int port, char byte) = 0;
    // Returns at once with whatever has been received, up to `max_count`.
    virtual int gets(int port, char* buffer, int max_count) = 0;
    // Discards everything received so far.
    virtual int rx_clear(int port) = 0;
    // Releases the port.
    virtual int done(int port) = 0;
};

// No serial ports at all: every operation answers serial_no_such_port.
class NullSerialPort : public SerialPort {
public:
    int reset(int, int, int) override { return serial_no_such_port; }
    int baud(int, int) override { return serial_no_such_port; }
    int parms(int, int, int, int) override { return serial_no_such_port; }
    int dtr(int, char) override { return serial_no_such_port; }
    int rts(int, char) override { return serial_no_such_port; }
    int puts(int, const char*, int) override { return serial_no_such_port; }
    int putc(int, char) override { return serial_no_such_port; }
    int gets(int, char*, int) override { return serial_no_such_port; }
    int rx_clear(int) override { return serial_no_such_port; }
    int done(int) override { return serial_no_such_port; }
};

// The installed port layer; the null one until another is installed.
extern Installed<SerialPort> installed_serial_port;
inline SerialPort& serial_port()
{
    return installed_serial_port.current();
}
// Installs `p` (not owned); nullptr restores the null port layer.
inline void set_serial_port(SerialPort* p)
{
    installed_serial_port.install(p);
}
