// A mount that goes to Alert in the middle of a slew or a guide pulse. INDI's
// own simulator never does, so a scripted peer on a socket of the test's own
// speaks just enough of the protocol for one mount: it defines its
// properties when asked, and answers every go-to and every pulse with Busy
// and then Alert.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/clock.h"
#include "indi/indi_client.h"
#include "indi/indi_mount.h"
#include "indi/sky_position.h"
#include "test_env.h"

namespace {

constexpr const char* mount_name = "Fake Mount";

std::string set_numbers(const std::string& property, const char* state, const std::string& elements)
{
    return "<setNumberVector device=\"" + std::string(mount_name) + "\" name=\"" + property + "\" state=\""
        + state + "\" timeout=\"60\">" + elements + "</setNumberVector>\n";
}

const std::string coordinates = "<oneNumber name=\"RA\">5.5</oneNumber><oneNumber name=\"DEC\">10</oneNumber>";
const std::string guide_ns = "<oneNumber name=\"TIMED_GUIDE_N\">0</oneNumber>"
                             "<oneNumber name=\"TIMED_GUIDE_S\">0</oneNumber>";

const std::string definitions = std::string("<defSwitchVector device=\"") + mount_name
    + "\" name=\"CONNECTION\" label=\"Connection\" group=\"Main\" state=\"Ok\" perm=\"rw\" "
      "rule=\"OneOfMany\" timeout=\"60\"><defSwitch name=\"CONNECT\" label=\"Connect\">On</defSwitch>"
      "<defSwitch name=\"DISCONNECT\" label=\"Disconnect\">Off</defSwitch></defSwitchVector>\n"
      "<defNumberVector device=\""
    + mount_name
    + "\" name=\"EQUATORIAL_EOD_COORD\" label=\"Eq\" group=\"Main\" state=\"Idle\" perm=\"rw\" "
      "timeout=\"60\"><defNumber name=\"RA\" label=\"RA\" format=\"%g\" min=\"0\" max=\"24\" step=\"0\">5.5"
      "</defNumber><defNumber name=\"DEC\" label=\"Dec\" format=\"%g\" min=\"-90\" max=\"90\" step=\"0\">10"
      "</defNumber></defNumberVector>\n"
      "<defNumberVector device=\""
    + mount_name
    + "\" name=\"TELESCOPE_TIMED_GUIDE_NS\" label=\"Guide N/S\" group=\"Guide\" state=\"Idle\" "
      "perm=\"rw\" timeout=\"60\"><defNumber name=\"TIMED_GUIDE_N\" label=\"N\" format=\"%g\" min=\"0\" "
      "max=\"60000\" step=\"1\">0</defNumber><defNumber name=\"TIMED_GUIDE_S\" label=\"S\" format=\"%g\" "
      "min=\"0\" max=\"60000\" step=\"1\">0</defNumber></defNumberVector>\n";

class AlertingMount {
public:
    AlertingMount()
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 1) != 0)
            return;
        socklen_t length = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~AlertingMount()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        close(listener_);
    }
    int port() const { return port_; }
    // The guide pulses the mount was sent, as "N S" milliseconds.
    std::vector<std::string> pulses() const
    {
        std::lock_guard lock(mutex_);
        return pulses_;
    }

private:
    void serve()
    {
        int peer = -1;
        while (!stop_ && peer < 0) {
            pollfd p { listener_, POLLIN, 0 };
            if (poll(&p, 1, 20) > 0)
                peer = accept(listener_, nullptr, nullptr);
        }
        std::string in;
        bool defined = false;
        while (!stop_ && peer >= 0) {
            pollfd p { peer, POLLIN, 0 };
            if (poll(&p, 1, 20) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = read(peer, buffer, sizeof buffer);
            if (n <= 0)
                break;
            in.append(buffer, static_cast<std::size_t>(n));
            if (!defined && in.find("<getProperties") != std::string::npos) {
                send(peer, definitions);
                defined = true;
            }
            answer_commands(peer, in);
        }
        if (peer >= 0)
            close(peer);
    }
    void answer_commands(int peer, std::string& in)
    {
        for (;;) {
            const std::size_t at = in.find("<newNumberVector");
            const std::size_t end = in.find("</newNumberVector>", at);
            if (at == std::string::npos || end == std::string::npos)
                return;
            const std::string command = in.substr(at, end - at);
            in.erase(0, end + std::string("</newNumberVector>").size());
            if (command.find("EQUATORIAL_EOD_COORD") != std::string::npos) {
                send(peer, set_numbers("EQUATORIAL_EOD_COORD", "Busy", coordinates));
                send(peer, set_numbers("EQUATORIAL_EOD_COORD", "Alert", coordinates));
            } else if (command.find("TELESCOPE_TIMED_GUIDE_NS") != std::string::npos) {
                {
                    std::lock_guard lock(mutex_);
                    pulses_.push_back(value_of(command, "TIMED_GUIDE_N") + ' ' + value_of(command, "TIMED_GUIDE_S"));
                }
                send(peer, set_numbers("TELESCOPE_TIMED_GUIDE_NS", "Busy", guide_ns));
                send(peer, set_numbers("TELESCOPE_TIMED_GUIDE_NS", "Alert", guide_ns));
            }
        }
    }
    static std::string value_of(const std::string& command, const std::string& element)
    {
        // Clients quote attributes either way.
        std::size_t name = command.find('\'' + element + '\'');
        if (name == std::string::npos)
            name = command.find('"' + element + '"');
        const std::size_t from = command.find('>', name);
        const std::size_t to = command.find('<', from);
        if (name == std::string::npos || from == std::string::npos || to == std::string::npos)
            return "?";
        std::string value = command.substr(from + 1, to - from - 1);
        value.erase(0, value.find_first_not_of(" \n\t"));
        value.erase(value.find_last_not_of(" \n\t") + 1);
        return std::to_string(static_cast<int>(std::stod(value.empty() ? "0" : value)));
    }
    static void send(int peer, const std::string& text)
    {
        std::size_t sent = 0;
        while (sent < text.size()) {
            const ssize_t n = write(peer, text.data() + sent, text.size() - sent);
            if (n <= 0)
                return;
            sent += static_cast<std::size_t>(n);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_ { false };
    mutable std::mutex mutex_;
    std::vector<std::string> pulses_;
    std::thread thread_;
};

} // namespace

TEST(IndiMount, AlertDuringASlewOrAPulseEndsItWithOneClearMessage)
{
    SystemClock clock;
    ScopedInstall<Clock> real_time(installed_clock, &clock);
    struct Case {
        const char* what;
        bool slew;
        const char* message;
    };
    const Case cases[] = {
        { "a slew", true, "The INDI mount \"Fake Mount\" refused the slew to M31" },
        { "a guide pulse", false, "The INDI mount \"Fake Mount\" refused a guide pulse (Alert)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlertingMount peer;
        ASSERT_GT(peer.port(), 0);
        IndiClient client;
        std::string error;
        ASSERT_TRUE(client.connect_to("localhost", peer.port(), 3000, error)) << error;
        IndiMount mount(client, mount_name);
        ASSERT_TRUE(mount.open(5000)) << mount.error();
        const std::int64_t start = clock.now_ms();
        if (c.slew)
            EXPECT_EQ(mount.goto_j2000({ 0.712, 41.27 }, "M31"), GotoOutcome::refused);
        else
            EXPECT_FALSE(mount.pulse('n', 2000));
        // Ended by the Alert, not by the pulse's length or the slew's time.
        EXPECT_LT(clock.now_ms() - start, 1000);
        EXPECT_EQ(mount.error(), c.message);
        if (!c.slew) {
            // The refused pulse is called off: nothing may keep moving the mount.
            const std::vector<std::string> expected = { "2000 0", "0 0" };
            const bool called_off = [&] {
                const std::int64_t until = clock.now_ms() + 3000;
                while (peer.pulses() != expected && clock.now_ms() < until)
                    clock.sleep_ms(5);
                return peer.pulses() == expected;
            }();
            EXPECT_TRUE(called_off) << ::testing::PrintToString(peer.pulses());
        }
        client.disconnect_from();
    }
}
