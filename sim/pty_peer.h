#pragma once
// The other end of a serial line, for tests and figures: a pseudo-terminal
// whose slave is linked where the program looks for a port, and a recorder
// of the bytes that reach its master side.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

// A raw pseudo-terminal whose slave is linked as `link` (a port such as
// <root>/ports/COM1). The slave is open only through the program's port, so
// the program sees the other end close when the master does.
struct PeerPty {
    int master = -1;
    std::string slave;

    explicit PeerPty(const std::filesystem::path& link)
    {
        int slave_fd = -1;
        char name[256];
        if (openpty(&master, &slave_fd, name, nullptr, nullptr) != 0)
            return;
        termios raw {};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
        close(slave_fd);
        slave = name;
        std::error_code ec;
        std::filesystem::create_directories(link.parent_path(), ec);
        std::filesystem::remove(link, ec);
        std::filesystem::create_symlink(slave, link, ec);
    }
    ~PeerPty() { close_master(); }
    PeerPty(const PeerPty&) = delete;
    PeerPty& operator=(const PeerPty&) = delete;
    void close_master()
    {
        if (master >= 0)
            close(master);
        master = -1;
    }
};

// Stamps every byte that reaches a master side with the time it arrived, read
// on a thread of its own so the sender's timing is left undisturbed.

class ByteArrivals {
public:
    using steady = std::chrono::steady_clock;
    using Arrival = std::pair<unsigned char, steady::time_point>;

    explicit ByteArrivals(int master)
        : reader_([this, master] { read_until_stopped(master); })
    {
    }
    ~ByteArrivals()
    {
        stop_ = true;
        reader_.join();
    }
    ByteArrivals(const ByteArrivals&) = delete;
    ByteArrivals& operator=(const ByteArrivals&) = delete;

    // Waits until `count` bytes have arrived or the deadline has passed, and
    // returns what arrived by then.
    std::vector<Arrival> wait_for(std::size_t count, steady::duration deadline) const
    {
        const auto end = steady::now() + deadline;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (arrivals_.size() >= count || steady::now() > end)
                    return arrivals_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        arrivals_.clear();
    }

private:
    void read_until_stopped(int master)
    {
        while (!stop_) {
            pollfd p { master, POLLIN, 0 };
            if (poll(&p, 1, 2) > 0 && (p.revents & POLLIN)) {
                unsigned char buffer[16];
                const ssize_t n = read(master, buffer, sizeof buffer);
                const auto at = steady::now();
                std::lock_guard lock(mutex_);
                for (ssize_t i = 0; i < n; ++i)
                    arrivals_.emplace_back(buffer[i], at);
            }
        }
    }

    mutable std::mutex mutex_;
    std::vector<Arrival> arrivals_;
    std::atomic<bool> stop_ { false };
    std::thread reader_;   // last: starts once the members it uses exist
};

} // namespace sim
