// The real serial layer: the SerialPort operations on QSerialPort, one
// device per port number (0 is "Com 1", see serial_device_path()). Used on
// the program's one thread; every operation returns at once.
#pragma once

#include <memory>

#include "telescope/serial_port.h"

class QSerialPort;

class QtSerialPort : public SerialPort {
public:
    static constexpr int port_count = 5;

    QtSerialPort();
    ~QtSerialPort() override;

    int reset(int port, int rx_queue, int tx_queue) override;
    int baud(int port, int code) override;
    int parms(int port, int parity, int stop_bits, int data_bits) override;
    int dtr(int port, char cmd) override;
    int rts(int port, char cmd) override;
    int puts(int port, const char* data, int count) override;
    int putc(int port, char byte) override;
    int gets(int port, char* buffer, int max_count) override;
    int rx_clear(int port) override;
    int done(int port) override;

    // The device of `port` is open (a failed one closes itself).
    bool is_open(int port) const;

private:
    // The open device of `port`, or nullptr with `result` set negative.
    QSerialPort* open_port(int port, int& result);
    // Closes a port whose device failed; later calls find it closed.
    int fail(int port, const char* what);
    // The result of an operation that got `result`, unless the device
    // failed meanwhile (then serial_io_error, once).
    int checked(int port, int result);
    int line(int port, char cmd, bool dtr);

    std::unique_ptr<QSerialPort> ports_[port_count];
    // The device failed and was closed while the program's event loop ran;
    // the next operation reports it.
    bool failed_[port_count] = {};
};
