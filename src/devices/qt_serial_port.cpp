#include "devices/qt_serial_port.h"

#include <QSerialPort>
#include <QtGlobal>

namespace {

bool known_port(int port)
{
    return port >= 0 && port < QtSerialPort::port_count;
}

// A device that went away (the other end of a pseudo-terminal closed, a USB
// adapter pulled) keeps reporting errors while claiming to be open.
bool device_gone(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError
        || error == QSerialPort::ResourceError;
}

} // namespace

QtSerialPort::QtSerialPort() = default;
QtSerialPort::~QtSerialPort() = default;

QSerialPort* QtSerialPort::open_port(int port, int& result)
{
    if (!known_port(port)) {
        result = serial_no_such_port;
        return nullptr;
    }
    QSerialPort* device = ports_[port].get();
    if (failed_[port]) {
        failed_[port] = false;
        result = serial_io_error;
        return nullptr;
    }
    if (device == nullptr || !device->isOpen()) {
        result = serial_not_open;
        return nullptr;
    }
    result = 0;
    return device;
}

int QtSerialPort::checked(int port, int result)
{
    if (failed_[port]) {
        failed_[port] = false;
        return serial_io_error;
    }
    QSerialPort* device = ports_[port].get();
    if (device != nullptr && device->isOpen() && device_gone(device->error()))
        return fail(port, "read or write");
    return result;
}

int QtSerialPort::fail(int port, const char* what)
{
    QSerialPort* device = ports_[port].get();
    if (device->isOpen()) {
        qWarning("Com %d: %s failed (%s); port closed", port + 1, what, qPrintable(device->errorString()));
        device->clearError();
        device->close();
    }
    return serial_io_error;
}

int QtSerialPort::reset(int port, int rx_queue, int tx_queue)
{
    if (!known_port(port))
        return serial_no_such_port;
    if (rx_queue <= 0 || tx_queue <= 0)
        return serial_bad_argument;
    // Opening again starts afresh, as the library's reset does.
    ports_[port] = std::make_unique<QSerialPort>();
    failed_[port] = false;
    QSerialPort& device = *ports_[port];
    // The event loop (idle, or a wait that repaints) sees the failure first:
    // close at once, or the port reports it thousands of times a second.
    QObject::connect(
        &device, &QSerialPort::errorOccurred, &device, [this, port](QSerialPort::SerialPortError error) {
            QSerialPort* failed = ports_[port].get();
            if (failed == nullptr || !failed->isOpen() || !device_gone(error))
                return;
            fail(port, "read or write");
            failed_[port] = true;
        });
    device.setPortName(QString::fromStdString(serial_device_path(port)));
    // Qt queues writes without limit; the receive side keeps what the
    // library's queue would.
    device.setReadBufferSize(rx_queue);
    if (!device.open(QIODevice::ReadWrite)) {
        qWarning("Com %d: cannot open %s (%s)", port + 1, qPrintable(device.portName()),
            qPrintable(device.errorString()));
        ports_[port].reset();
        return serial_no_such_port;
    }
    device.setBaudRate(QSerialPort::Baud9600);
    device.setDataBits(QSerialPort::Data8);
    device.setParity(QSerialPort::NoParity);
    device.setStopBits(QSerialPort::OneStop);
    device.setFlowControl(QSerialPort::NoFlowControl);
    return 0;
}

int QtSerialPort::baud(int port, int code)
{
    int result;
    QSerialPort* device = open_port(port, result);
    if (device == nullptr)
        return result;
    const int rate = serial_baud_rate(code);
    if (rate < 0)
        return serial_bad_argument;
    if (!device->setBaudRate(rate))
        return serial_io_error;
    return 0;
}

int QtSerialPort::parms(int port, int parity, int stop_bits, int data_bits)
{
    int result;
    QSerialPort* device = open_port(port, result);
    if (device == nullptr)
        return result;
    // The library's codes: parity 0 none, 1 odd, 2 even, 3 mark, 4 space;
    // stop bits 0 one, 1 two.
    static const QSerialPort::Parity parities[] = { QSerialPort::NoParity, QSerialPort::OddParity,
        QSerialPort::EvenParity, QSerialPort::MarkParity, QSerialPort::SpaceParity };
    if (parity < 0 || parity > 4 || stop_bits < 0 || stop_bits > 1 || data_bits < 5 || data_bits > 8)
        return serial_bad_argument;
    const bool ok = device->setParity(parities[parity])
        && device->setStopBits(stop_bits == 0 ? QSerialPort::OneStop : QSerialPort::TwoStop)
        && device->setDataBits(static_cast<QSerialPort::DataBits>(data_bits));
    return ok ? 0 : serial_io_error;
}

int QtSerialPort::line(int port, char cmd, bool dtr)
{
    int result;
    QSerialPort* device = open_port(port, result);
    if (device == nullptr)
        return result;
    if (cmd != serial_set && cmd != serial_clear)
        return serial_bad_argument;
    const bool on = cmd == serial_set;
    if (dtr ? device->setDataTerminalReady(on) : device->setRequestToSend(on))
        return 0;
    // A pseudo-terminal has no modem lines: nothing to set is not a failure,
    // or the simulated telescope could never be reached.
    if (device->error() == QSerialPort::UnsupportedOperationError) {
        device->clearError();
        return 0;
    }
    return serial_io_error;
}

int QtSerialPort::dtr(int port, char cmd)
{
    return line(port, cmd, true);
}

int QtSerialPort::rts(int port, char cmd)
{
    return line(port, cmd, false);
}

int QtSerialPort::puts(int port, const char* data, int count)
{
    int result;
    QSerialPort* device = open_port(port, result);
    if (device == nullptr)
        return result;
    if (count < 0)
        return serial_bad_argument;
    if (device->write(data, count) != count)
        return checked(port, fail(port, "write"));
    // The program's timed waits may run no event loop: hand the bytes to the
    // device now so the pulse timing holds.
    device->flush();
    return checked(port, count);
}

int QtSerialPort::putc(int port, char byte)
{
    const int result = puts(port, &byte, 1);
    return result < 0 ? result : 0;
}

int QtSerialPort::gets(int port, char* buffer, int max_count)
{
    int result;
    QSerialPort* device = open_port(port, result);
    if (device == nullptr)
        return result;
    if (max_count < 0)
        return serial_bad_argument;
    // Takes in what the device has received, without waiting.
    device->waitForReadyRead(0);
    if (const int r = checked(port, 0); r < 0)
        return r;
    const qint64 got = device->read(buffer, max_count);
    if (got < 0)
        return checked(port, fail(port, "read"));
    return static_cast<int>(got);
}

int QtSerialPort::rx_clear(int port)
{
    int result;
    QSerialPort* device = open_port(port, result);
    if (device == nullptr)
        return result;
    device->waitForReadyRead(0);
    if (const int r = checked(port, 0); r < 0)
        return r;
    device->clear(QSerialPort::Input);
    device->readAll();
    return 0;
}

int QtSerialPort::done(int port)
{
    if (!known_port(port))
        return serial_no_such_port;
    failed_[port] = false;
    if (!ports_[port])
        return serial_not_open;
    ports_[port]->close();
    ports_[port].reset();
    return 0;
}

bool QtSerialPort::is_open(int port) const
{
    return known_port(port) && ports_[port] && ports_[port]->isOpen();
}
