#include "camera_thread.h"

#include <fcntl.h>
#include <unistd.h>

namespace zq1 {

CameraThread::CameraThread()
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        pipe_[0] = pipe_[1] = -1;
    thread_ = std::thread([this] { loop(); });
}

CameraThread::~CameraThread()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        camera_tasks_.clear();
    }
    wake_.notify_all();
    thread_.join();
    for (const int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

void CameraThread::post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        camera_tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void CameraThread::to_main(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        main_tasks_.push_back(std::move(task));
    }
    // A full pipe already holds a wake-up: nothing is lost.
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(pipe_[1], &byte, 1);
}

void CameraThread::run_main_tasks()
{
    char drain[64];
    while (::read(pipe_[0], drain, sizeof drain) > 0) { }
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (main_tasks_.empty())
                return;
            task = std::move(main_tasks_.front());
            main_tasks_.pop_front();
        }
        task();
    }
}

void CameraThread::loop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !camera_tasks_.empty(); });
            if (stopping_)
                return;
            task = std::move(camera_tasks_.front());
            camera_tasks_.pop_front();
        }
        task();
    }
}

} // namespace zq1
