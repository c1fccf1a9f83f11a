// How long a full 752 x 580 frame takes from the driver to a client on this
// machine: indi_zq1_ccd in simulation under its own indiserver, a libindi
// client asking for camera-timed exposures. The driver logs (at debug level)
// the monotonic time at which it hands the read frame to INDI; the client
// notes the monotonic time at which the whole BLOB has arrived. Both clocks
// are the system's one monotonic clock.
//   indi_zq1_latency [frames]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "indi_harness.h"

using namespace std::chrono_literals;

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    indi_test::IndiServer server({ ZQ1_DRIVER_PATH });
    if (!server.ok()) {
        std::fprintf(stderr, "%s\n", server.error().c_str());
        return 1;
    }
    const std::string ccd = "ZQ1 CCD";
    indi_test::RecordingClient client;
    if (!client.connect_to(server.port(), ccd)) {
        std::fprintf(stderr, "no driver\n");
        return 1;
    }
    std::mutex mutex;
    double ready_at = 0;
    std::vector<double> ms;
    client.on_message = [&](const std::string& text, std::chrono::steady_clock::time_point) {
        const std::size_t at = text.find("Frame ready at monotonic ");
        if (at != std::string::npos) {
            std::lock_guard lock(mutex);
            ready_at = std::atof(text.c_str() + at + 25);
        }
    };
    client.on_blob = [&](const indi_test::Blob& blob) {
        const double arrived = std::chrono::duration<double>(blob.arrived.time_since_epoch()).count();
        std::lock_guard lock(mutex);
        if (ready_at > 0)
            ms.push_back((arrived - ready_at) * 1000.0);
        ready_at = 0;
    };
    client.switch_on(ccd, "DEBUG", "ENABLE");
    client.switch_on(ccd, "DEBUG_LEVEL", "DBG_DEBUG", false);
    client.switch_on(ccd, "SIMULATION", "ENABLE");
    client.switch_on(ccd, "CONNECTION", "CONNECT");
    if (!client.wait_state(ccd + ".CONNECTION", IPS_OK, 10s)) {
        std::fprintf(stderr, "the driver does not connect\n");
        return 1;
    }
    client.numbers(ccd, "CCD_BINNING", { { "HOR_BIN", 1 }, { "VER_BIN", 1 } });
    client.wait_state(ccd + ".CCD_BINNING", IPS_OK, 5s);
    for (int i = 1; i <= frames; ++i) {
        client.numbers(ccd, "CCD_EXPOSURE", { { "CCD_EXPOSURE_VALUE", 0.001 } });
        if (!client.wait_blobs(static_cast<std::size_t>(i), 20s)) {
            std::fprintf(stderr, "frame %d did not arrive\n", i);
            return 1;
        }
        client.wait_state(ccd + ".CCD_EXPOSURE", IPS_OK, 5s);
    }
    std::lock_guard lock(mutex);
    if (ms.empty()) {
        std::fprintf(stderr, "the driver's debug messages did not arrive\n");
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%zu frames of 752 x 580 (%zu bytes of FITS): read-out to client median %.1f ms, min %.1f, "
                "max %.1f\n",
        ms.size(), client.blobs().back().bytes.size(), ms[ms.size() / 2], ms.front(), ms.back());
    return 0;
}
