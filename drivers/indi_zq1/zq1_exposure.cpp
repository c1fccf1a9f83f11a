#include "zq1_exposure.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/clock.h"
#include "app/host.h"
#include "app/state.h"
#include "camera/readout.h"
#include "camera/usb.h"
#include "store/buffers.h"

namespace zq1 {

namespace {
    // What the core's routines would show in a box, kept as text for the
    // driver's log and its failure message.
    class CapturingHost : public NullHost {
    public:
        std::vector<std::string> texts;
        int message_box(const std::string& text, const std::string&, BoxButtons, BoxIcon) override
        {
            std::string t = text;
            while (!t.empty() && (t.back() == '\n' || t.back() == ' '))
                t.pop_back();
            if (!t.empty())
                texts.push_back(t);
            return box_ok;
        }
    };

    // Installs a capturing host for one call and puts the previous one back.
    class HostScope {
    public:
        CapturingHost capture;

        std::string joined() const
        {
            std::string all;
            for (const std::string& t : capture.texts)
                all += (all.empty() ? "" : "; ") + t;
            return all;
        }

    private:
        // After `capture`: it is gone only once the previous host is back.
        ScopedInstall<Host> installed_ { installed_host, &capture };
    };

    constexpr int clear_interval_ms = 10'000; // the vertical registers are cleared this often
    constexpr int abort_slice_ms = 10;

    ExposureResult ended(ExposureResult::Outcome outcome, std::string message)
    {
        ExposureResult r;
        r.outcome = outcome;
        r.message = std::move(message);
        return r;
    }
} // namespace

bool wait_unless_aborted(std::int64_t deadline_ms, const Abort& abort)
{
    Clock& clock = program_clock();
    for (std::int64_t now = clock.now_ms(); now < deadline_ms; now = clock.now_ms()) {
        if (abort.requested())
            return false;
        clock.sleep_ms(static_cast<int>(std::min<std::int64_t>(deadline_ms - now, abort_slice_ms)));
    }
    return !abort.requested();
}

bool find_camera(std::string& message)
{
    if (got_vn != 0)
        return true;
    HostScope scope;
    USBHid::CollectingUSBHidInfo(nullptr);
    // The camera expects a transfer command after power-up, as the program
    // sends one at its first exposure.
    if (got_vn != 0)
        VN_reader();
    if (got_vn != 0)
        return true;
    message = "no camera";
    if (!scope.capture.texts.empty())
        message += " (" + scope.joined() + ")";
    return false;
}

namespace {
    // The exposure itself, after the wipe. Below half a second the camera times
    // it (the read command carries the time); from there on the driver does,
    // clearing the vertical registers every ten seconds and, in the progressive
    // read-out, moving the first field out once it has had time to download.
    bool timed_exposure(int ms, bool progressive, const Abort& abort)
    {
        if (ms < 500)
            return !abort.requested();
        Clock& clock = program_clock();
        const std::int64_t start = clock.now_ms();
        if (!VN_wiper())
            return false;
        const std::int64_t end = start + ms;
        std::int64_t t_clear = start + clear_interval_ms;
        const std::int64_t t_intl = start + download_time + download_time / 50;
        bool first_intl = progressive;
        for (std::int64_t now = clock.now_ms(); now < end; now = clock.now_ms()) {
            std::int64_t next = std::min(end, t_clear);
            if (first_intl)
                next = std::min(next, t_intl + 1);
            if (!wait_unless_aborted(next, abort))
                return false;
            now = clock.now_ms();
            if (first_intl && now > t_intl) {
                first_intl = false;
                if (!VN_reader2() || !VN_clearvert())
                    return false;
            }
            if (now >= t_clear) {
                t_clear = now + clear_interval_ms;
                if (!VN_clearvert())
                    return false;
            }
        }
        return true;
    }

    // A field into the odd rows of the full frame.
    bool read_odd_field()
    {
        interlaced_line = 1;
        const bool ok = VN_first_read();
        interlaced_line = 0;
        return ok;
    }

    enum class Step { ok, aborted, failed };

    Step expose_and_read(int ms, Readout readout, const Abort& abort)
    {
        const auto check = [&](bool ok) {
            return !ok ? Step::failed : abort.requested() ? Step::aborted : Step::ok;
        };
        exposure = ms;
        interlaced_line = 0;
        charimageptr = reinterpret_cast<unsigned char*>(image_int);
        intimageptr = imageptr = image_int;
        const bool progressive = readout == Readout::progressive;
        if (!(VN_clearvert() && VN_clearvert() && VN_wiper() && VN_clearvert()))
            return Step::failed;
        if (!timed_exposure(ms, progressive, abort))
            return abort.requested() ? Step::aborted : Step::failed;
        if (ms > 199 && !VN_clearvert())
            return Step::failed;
        if (abort.requested())
            return Step::aborted;
        if (!(progressive ? VN_reader3() : VN_reader()))
            return Step::failed;
        if (const Step s = check(readout == Readout::binned ? VN_binned_read() : VN_first_read());
            s != Step::ok)
            return s;
        switch (readout) {
        case Readout::binned:
            break;
        case Readout::fast:
            fill_binned(image_int);
            break;
        case Readout::progressive:
            return check(VN_clearvert() && VN_clearvert() && VN_reader2() && read_odd_field());
        case Readout::two_exposure:
            if (!(VN_reader() && VN_clearvert() && VN_wiper()))
                return Step::failed;
            if (ms >= 500 && !wait_unless_aborted(program_clock().now_ms() + ms, abort))
                return Step::aborted;
            if (ms > 199 && !VN_clearvert())
                return Step::failed;
            if (abort.requested())
                return Step::aborted;
            return check(VN_clearvert() && VN_reader3() && VN_reader2() && read_odd_field());
        }
        return Step::ok;
    }
} // namespace

ExposureResult take_exposure(int ms, Readout readout, const Abort& abort)
{
    ms = std::max(ms, 1);
    std::string why;
    if (!find_camera(why)) {
        ExposureResult r = ended(ExposureResult::Outcome::no_camera, why);
        r.camera_gone = true;
        return r;
    }
    if (abort.requested())
        return ended(ExposureResult::Outcome::aborted, "");
    // A progressive frame needs one field's download inside the exposure;
    // shorter ones take the two-exposure read-out.
    if (readout == Readout::progressive && ms < download_time)
        readout = Readout::two_exposure;

    HostScope scope;
    const Step step = expose_and_read(ms, readout, abort);
    if (step == Step::aborted)
        return ended(ExposureResult::Outcome::aborted, "");
    if (step == Step::failed) {
        std::string message
            = usb_camera_lost ? "The camera went away during the exposure" : "The exposure failed";
        if (!scope.capture.texts.empty())
            message += ": " + scope.joined();
        ExposureResult r = ended(ExposureResult::Outcome::failed, message);
        r.camera_gone = usb_camera_lost != 0 || got_vn == 0;
        return r;
    }
    ExposureResult r;
    r.outcome = ExposureResult::Outcome::frame;
    r.read_out_ms = program_clock().now_ms();
    const bool small = readout == Readout::binned;
    r.frame.width = small ? binned_width : full_width;
    r.frame.height = small ? binned_height : full_height;
    r.frame.pixels.assign(image_int, image_int + std::size_t(r.frame.width) * r.frame.height);
    return r;
}

CameraDiscovery CableTransport::discover()
{
    if (!plugged())
        return {};
    return inner_.discover();
}

TransferResult CableTransport::write_report(const unsigned char* report, std::size_t length)
{
    if (!plugged())
        return { 0, ENODEV, true };
    return inner_.write_report(report, length);
}

TransferResult CableTransport::read_report(unsigned char* buffer, std::size_t length)
{
    if (!plugged())
        return { 0, ENODEV, true };
    return inner_.read_report(buffer, length);
}

TransferResult CableTransport::read_block(unsigned char* buffer, std::size_t length)
{
    if (on_block_read)
        on_block_read();
    if (!plugged())
        return { 0, ENODEV, true };
    return inner_.read_block(buffer, length);
}

} // namespace zq1
