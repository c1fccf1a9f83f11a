// An in-process serial port for tests: the bytes the program writes go to a
// simulated mount at once, and a reply becomes readable only once its due
// time on the program clock has passed, so "whatever has arrived" is exact
// on a manual clock. Records every write and line change with its time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/simulated_mount.h"
#include "telescope/serial_port.h"

namespace sim {

class InProcessSerialPort : public SerialPort {
public:
    // Serves one port number (0 is Com 1); the others do not exist.
    explicit InProcessSerialPort(SimulatedMount& mount, int served_port = 0);

    struct Write {
        std::int64_t at_ms;
        std::string bytes;
    };
    std::vector<Write> writes;
    // "DTR S", "RTS C" ... in order, with their times.
    std::vector<Write> line_changes;
    // Every port number reset() was asked to open.
    std::vector<int> open_attempts;
    // The device refuses to open.
    bool refuse_open = false;

    // The device goes away: from now on every operation fails.
    void unplug() { unplugged_ = true; }
    // The device comes back; the program must open it again.
    void plug_in() { unplugged_ = false; }
    // The peer closes the port when it is sent this command (e.g. "#:MS#"):
    // the write fails and the device is gone until plug_in().
    std::string unplug_on;
    bool is_open() const { return open_; }
    int baud_rate() const { return baud_rate_; }
    // All bytes written, in one string.
    std::string sent() const;

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

private:
    // serial_not_open, serial_io_error or 0 for an operation on `port`.
    int check(int port) const;
    int line(int port, const char* name, char cmd);

    SimulatedMount& mount_;
    int served_port_;
    bool open_ = false;
    bool unplugged_ = false;
    int baud_rate_ = 0;
};

} // namespace sim
