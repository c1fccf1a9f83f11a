#include "sim/in_process_port.h"

#include "app/clock.h"

namespace sim {
namespace {
    std::int64_t now()
    {
        return program_clock().now_ms();
    }
} // namespace

InProcessSerialPort::InProcessSerialPort(SimulatedMount& mount, int served_port)
    : mount_(mount)
    , served_port_(served_port)
{
}

std::string InProcessSerialPort::sent() const
{
    std::string all;
    for (const Write& w : writes)
        all += w.bytes;
    return all;
}

int InProcessSerialPort::check(int port) const
{
    if (port != served_port_)
        return serial_no_such_port;
    if (unplugged_)
        return serial_io_error;
    return open_ ? 0 : serial_not_open;
}

int InProcessSerialPort::reset(int port, int rx_queue, int tx_queue)
{
    open_attempts.push_back(port);
    if (port != served_port_ || refuse_open || unplugged_)
        return serial_no_such_port;
    if (rx_queue <= 0 || tx_queue <= 0)
        return serial_bad_argument;
    open_ = true;
    mount_.drop_replies(now());
    return 0;
}

int InProcessSerialPort::baud(int port, int code)
{
    if (const int r = check(port); r < 0)
        return r;
    const int rate = serial_baud_rate(code);
    if (rate < 0)
        return serial_bad_argument;
    baud_rate_ = rate;
    mount_.set_baud(rate);
    return 0;
}

int InProcessSerialPort::parms(int port, int parity, int stop_bits, int data_bits)
{
    if (const int r = check(port); r < 0)
        return r;
    if (parity < 0 || parity > 4 || stop_bits < 0 || stop_bits > 1 || data_bits < 5 || data_bits > 8)
        return serial_bad_argument;
    return 0;
}

int InProcessSerialPort::line(int port, const char* name, char cmd)
{
    if (const int r = check(port); r < 0)
        return r;
    if (cmd != serial_set && cmd != serial_clear)
        return serial_bad_argument;
    line_changes.push_back({ now(), std::string(name) + " " + cmd });
    return 0;
}

int InProcessSerialPort::dtr(int port, char cmd)
{
    return line(port, "DTR", cmd);
}

int InProcessSerialPort::rts(int port, char cmd)
{
    return line(port, "RTS", cmd);
}

int InProcessSerialPort::puts(int port, const char* data, int count)
{
    if (const int r = check(port); r < 0)
        return r;
    if (count < 0)
        return serial_bad_argument;
    if (!unplug_on.empty() && std::string(data, static_cast<std::size_t>(count)) == unplug_on) {
        unplugged_ = true;
        open_ = false;
        return serial_io_error;
    }
    writes.push_back({ now(), std::string(data, static_cast<std::size_t>(count)) });
    mount_.receive(data, count, now());
    return count;
}

int InProcessSerialPort::putc(int port, char byte)
{
    const int r = puts(port, &byte, 1);
    return r < 0 ? r : 0;
}

int InProcessSerialPort::gets(int port, char* buffer, int max_count)
{
    if (const int r = check(port); r < 0)
        return r;
    if (max_count < 0)
        return serial_bad_argument;
    const std::string got = mount_.take_replies(now(), static_cast<std::size_t>(max_count));
    got.copy(buffer, got.size());
    return static_cast<int>(got.size());
}

int InProcessSerialPort::rx_clear(int port)
{
    if (const int r = check(port); r < 0)
        return r;
    mount_.drop_replies(now());
    return 0;
}

int InProcessSerialPort::done(int port)
{
    if (const int r = check(port); r < 0 && r != serial_io_error)
        return r;
    open_ = false;
    return 0;
}

} // namespace sim
