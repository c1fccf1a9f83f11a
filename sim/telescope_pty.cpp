#include "sim/telescope_pty.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "app/clock.h"
#include "app/data_root.h"
#include "sim/sky_model.h"
#include "sim/sky_model_sky.h"

namespace sim {

namespace fs = std::filesystem;

struct TelescopePty::State {
    int master = -1;
    int slave = -1; // kept open so the master never sees a hang-up
    int wake[2] = { -1, -1 };
    std::string slave_name;
    SystemClock own_clock;
    Clock* clock = &own_clock;
    std::thread thread;
};

namespace {

    void close_fd(int& fd)
    {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }

    // The line speed the program set on the slave; 0 when it is neither of the
    // two the mount and the box speak (then both are heard).
    int line_speed(int master)
    {
        termios t {};
        if (tcgetattr(master, &t) != 0)
            return 0;
        const speed_t speed = cfgetospeed(&t);
        return speed == B300 ? 300 : speed == B9600 ? 9600 : 0;
    }

    void write_all(int fd, const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p { fd, POLLOUT, 0 };
                poll(&p, 1, 100);
            } else {
                return;
            }
        }
    }

    void serve(int master, int wake, SimulatedMount& mount, Clock& clock)
    {
        char buffer[512];
        for (;;) {
            int timeout = -1;
            if (const auto due = mount.next_reply_due())
                timeout = static_cast<int>(std::max<std::int64_t>(0, *due - clock.now_ms()));
            pollfd fds[2] = { { master, POLLIN, 0 }, { wake, POLLIN, 0 } };
            if (poll(fds, 2, timeout) < 0 && errno != EINTR)
                return;
            if (fds[1].revents != 0)
                return;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0) {
                    mount.set_baud(line_speed(master));
                    mount.receive(buffer, static_cast<int>(n), clock.now_ms());
                }
            } else if (fds[0].revents & (POLLHUP | POLLERR)) {
                // Should not happen while the slave is held open; never spin on it.
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            const std::string replies = mount.take_replies(clock.now_ms(), sizeof buffer);
            if (!replies.empty())
                write_all(master, replies);
        }
    }

    bool parse_pair(const char* name, double& x, double& y)
    {
        const char* text = std::getenv(name);
        return text != nullptr && std::sscanf(text, "%lf,%lf", &x, &y) == 2;
    }

} // namespace

TelescopePty::TelescopePty(SimulatedMount& mount)
    : state_(new State)
    , mount_(mount)
{
}

TelescopePty::TelescopePty(SimulatedMount& mount, Clock& clock)
    : TelescopePty(mount)
{
    state_->clock = &clock;
}

TelescopePty::~TelescopePty()
{
    stop();
    delete state_;
}

bool TelescopePty::running() const
{
    return state_->thread.joinable();
}

bool TelescopePty::start(int com)
{
    if (running())
        return true;
    error_.clear();
    link_ = data_path("ports/COM" + std::to_string(com));
    std::error_code ec;
    const fs::file_status entry = fs::symlink_status(link_, ec);
    if (fs::exists(entry)) {
        // Only our own link of an earlier run (to a pseudo-terminal) is
        // replaced. A user's link stays as it is even when its device is
        // unplugged: it is their choice of port, and plugging the adapter
        // back in must find it.
        const std::string target = fs::is_symlink(entry) ? fs::read_symlink(link_, ec).string() : "";
        if (target.rfind("/dev/pts/", 0) != 0) {
            error_ = target.empty() ? link_ + " is not a link the simulator made"
                                    : link_ + " is your link to " + target;
            return false;
        }
        fs::remove(link_, ec);
    }
    if (!ensure_folder(data_path("ports"))) {
        error_ = "cannot create " + data_path("ports");
        return false;
    }
    char name[256];
    if (openpty(&state_->master, &state_->slave, name, nullptr, nullptr) != 0) {
        error_ = std::string("no pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    state_->slave_name = name;
    termios raw {};
    tcgetattr(state_->slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(state_->slave, TCSANOW, &raw);
    fcntl(state_->master, F_SETFL, fcntl(state_->master, F_GETFL) | O_NONBLOCK);
    fs::create_symlink(state_->slave_name, link_, ec);
    if (ec || pipe(state_->wake) != 0) {
        error_ = "cannot link " + link_ + ": " + ec.message();
        stop();
        return false;
    }
    state_->thread
        = std::thread(serve, state_->master, state_->wake[0], std::ref(mount_), std::ref(*state_->clock));
    return true;
}

void TelescopePty::stop()
{
    if (state_->thread.joinable()) {
        const char bye = 1;
        if (write(state_->wake[1], &bye, 1) < 0) {
            // The pipe cannot fail to take one byte; nothing else would wake it.
        }
        state_->thread.join();
    }
    std::error_code ec;
    if (!state_->slave_name.empty() && fs::read_symlink(link_, ec) == state_->slave_name)
        fs::remove(link_, ec);
    close_fd(state_->master);
    close_fd(state_->slave);
    close_fd(state_->wake[0]);
    close_fd(state_->wake[1]);
    state_->slave_name.clear();
}

SimulatedMount& simulated_mount()
{
    static SkyModelSky sky(shared_sky());
    // The pseudo-terminal's thread works out the horizon: on a clock of its
    // own, as the program clock is swapped back at exit.
    static SystemClock wall_clock;
    static SimulatedMount mount(sky, &wall_clock);
    return mount;
}

int serve_first_free_com(TelescopePty& pty, std::string& notice)
{
    notice.clear();
    std::string com1_reason;
    for (int com = 1; com <= 5; ++com) {
        if (pty.start(com)) {
            if (com != 1)
                notice = "The simulated telescope is on Com " + std::to_string(com) + ", not Com 1: "
                    + com1_reason + ", which the simulator leaves as it is.\n\nTo use the simulated telescope, "
                    + "choose Com " + std::to_string(com) + " in Set Program Defaults (a new data root "
                    + "starts with it chosen), or remove that link and start the program again.";
            return com;
        }
        if (com == 1)
            com1_reason = pty.error();
    }
    notice = "The simulated telescope is not available: " + pty.error();
    return 0;
}

namespace {
// The pseudo-terminal start_simulated_telescope_pty() serves, once started.
TelescopePty* serving_pty = nullptr;
} // namespace

int start_simulated_telescope_pty(std::string& notice)
{
    SimulatedMount& mount = simulated_mount();
    // Some play in the focuser, as autofocus meets in real ones.
    mount.set_focuser_backlash(15);
    double x = 0, y = 0;
    if (parse_pair("QUILLON_SIM_MOUNT_RATE", x, y))
        mount.set_guide_rate(x, y);
    if (parse_pair("QUILLON_SIM_BACKLASH", x, y))
        mount.set_backlash(x, y);
    if (const char* latitude = std::getenv("QUILLON_SIM_LATITUDE"))
        mount.set_site(std::atof(latitude), 0.0);
    static TelescopePty pty(mount);
    serving_pty = &pty;
    const int com = serve_first_free_com(pty, notice);
    if (!notice.empty())
        std::fprintf(stderr, "%s\n", notice.c_str());
    return com;
}

void stop_simulated_telescope_pty()
{
    if (serving_pty != nullptr)
        serving_pty->stop();
}

} // namespace sim
