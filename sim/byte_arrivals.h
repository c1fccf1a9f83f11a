#pragma once
// The other end of a serial line as a recorder: a thread of its own reads
// every byte that reaches a pseudo-terminal's master side and stamps it with
// the time it arrived, so the sender's own timing is left undisturbed.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace sim {

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
