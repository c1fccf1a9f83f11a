// What the INDI tests share: an indiserver of their own (free port, own
// socket, temporary HOME, killed at the end) and a client that records what
// the server sends and waits for it with deadlines.
#pragma once

#include <baseclient.h>
#include <basedevice.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace indi_test {

// The indiserver program, or empty when it is not installed.
std::string find_indiserver();

class IndiServer {
public:
    // Starts indiserver with `drivers` (paths or names on PATH) and the
    // extra environment `env` ("NAME=value"). ok() says whether it listens.
    explicit IndiServer(const std::vector<std::string>& drivers, const std::vector<std::string>& env = {});
    ~IndiServer();
    IndiServer(const IndiServer&) = delete;
    IndiServer& operator=(const IndiServer&) = delete;

    bool ok() const { return port_ > 0 && pid_ > 0; }
    int port() const { return port_; }
    const std::string& home() const { return home_; }
    const std::string& error() const { return error_; }

private:
    int port_ = 0;
    int pid_ = -1;
    std::string home_;
    std::string error_;
};

struct Blob {
    std::vector<unsigned char> bytes;
    std::string format;
    std::chrono::steady_clock::time_point arrived;
};

class RecordingClient : public INDI::BaseClient {
public:
    RecordingClient() = default;
    ~RecordingClient() override;

    // Connects to localhost:`port` and waits until `device` has defined
    // `property`.
    bool connect_to(int port, const std::string& device, const std::string& property = "CONNECTION");

    // Sends a freshly built property: one switch of `property` on (the
    // others off when `exclusive`), or numbers by element name.
    void switch_on(const std::string& device, const std::string& property, const std::string& element,
        bool exclusive = true);
    void numbers(const std::string& device, const std::string& property,
        const std::vector<std::pair<std::string, double>>& values);
    void text(const std::string& device, const std::string& property, const std::string& element,
        const std::string& value);

    // Waits up to `timeout` for `done` (checked under the client's lock).
    bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Shortcuts over the recorded state (all under the lock).
    bool wait_state(const std::string& property, IPState state, std::chrono::milliseconds timeout);
    bool wait_message(const std::string& part, std::chrono::milliseconds timeout);
    bool wait_blobs(std::size_t count, std::chrono::milliseconds timeout);
    bool wait_number(const std::string& property, const std::string& element,
        const std::function<bool(double)>& ok, std::chrono::milliseconds timeout);

    // Copies of what arrived (take the lock through these only).
    IPState state(const std::string& property);
    double number(const std::string& property, const std::string& element);
    std::vector<Blob> blobs();
    std::vector<std::string> messages();
    // Called on the listener thread for every message, with its arrival.
    std::function<void(const std::string&, std::chrono::steady_clock::time_point)> on_message;
    // Called on the listener thread for every BLOB.
    std::function<void(const Blob&)> on_blob;

protected:
    void newProperty(INDI::Property property) override;
    void updateProperty(INDI::Property property) override;
    void newMessage(INDI::BaseDevice device, int id) override;

private:
    void record(INDI::Property property);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, IPState> states_;
    std::map<std::string, double> numbers_; // "PROPERTY.ELEMENT"
    std::vector<Blob> blobs_;
    std::vector<std::string> messages_;
};

// A 16-bit image read from a FITS file in memory with cfitsio, and the
// header cards asked for.
struct FitsImage {
    int width = 0;
    int height = 0;
    std::vector<double> pixels;
    std::map<std::string, std::string> cards; // keyword -> value as written
    std::string error;
};
FitsImage read_fits(const std::vector<unsigned char>& bytes, const std::vector<std::string>& keywords);

// Stars: local maxima that stand `sigmas` noise levels above the median
// with light in their neighbours (a hot pixel has none), as (x, y).
std::vector<std::pair<int, int>> bright_peaks(const FitsImage& image, double sigmas);

} // namespace indi_test
