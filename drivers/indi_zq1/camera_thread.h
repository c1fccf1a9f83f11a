// The driver's two threads. INDI's event loop owns the device's properties;
// the camera thread owns the core's camera globals and does everything that
// waits on the camera. Work goes to the camera thread through post(); what it
// finds comes back through to_main(), which wakes the event loop through a
// pipe, so a finished frame goes out at once instead of at the next timer.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace zq1 {

class CameraThread {
public:
    CameraThread();
    // Finishes the task under way (an exposure must have been aborted) and
    // drops the rest.
    ~CameraThread();
    CameraThread(const CameraThread&) = delete;
    CameraThread& operator=(const CameraThread&) = delete;

    // Runs `task` on the camera thread after the ones posted before it.
    void post(std::function<void()> task);
    // Runs `task` on the main thread at its next run_main_tasks().
    void to_main(std::function<void()> task);
    // Readable when main tasks are waiting; the event loop watches it.
    int wake_fd() const { return pipe_[0]; }
    // Runs the waiting main tasks (on the main thread).
    void run_main_tasks();

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> camera_tasks_;
    std::deque<std::function<void()>> main_tasks_;
    bool stopping_ = false;
    int pipe_[2] = { -1, -1 };
    std::thread thread_;
};

} // namespace zq1
