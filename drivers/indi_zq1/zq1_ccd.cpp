#include "zq1_ccd.h"

#include <cmath>
#include <cstring>
#include <future>

#include "app/state.h"
#include "devices/usb_camera_transport.h"
#include "sim/mount_sky.h"
#include "sim/sim_camera.h"

namespace {
// The sensor: 752 x 580 pixels of 8.6 x 8.3 um; binned 2 x 2 is the
// camera's standard frame.
constexpr int sensor_width = 752;
constexpr int sensor_height = 580;
constexpr double pixel_x_um = 8.6;
constexpr double pixel_y_um = 8.3;
constexpr int look_again_ms = 2000; // while the camera is lost

const char* readout_name(zq1::Readout r)
{
    switch (r) {
    case zq1::Readout::binned:
        return "binned 2x2";
    case zq1::Readout::fast:
        return "fast";
    case zq1::Readout::progressive:
        return "progressive";
    case zq1::Readout::two_exposure:
        return "two exposures";
    }
    return "";
}

double monotonic_seconds()
{
    using namespace std::chrono;
    return duration_cast<duration<double>>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

Zq1Ccd::Zq1Ccd()
{
    setVersion(1, 0);
    // Set here, before any client asks: properties made from them in
    // initProperties() would otherwise miss the capabilities.
    SetCCDCapability(CCD_CAN_ABORT | CCD_CAN_BIN);
}

Zq1Ccd::~Zq1Ccd()
{
    if (abort_)
        abort_->request();
}

void Zq1Ccd::wake(int, void* self)
{
    static_cast<Zq1Ccd*>(self)->camera_.run_main_tasks();
}

bool Zq1Ccd::initProperties()
{
    INDI::CCD::initProperties();

    IUFillSwitch(&ReadoutS[0], "FAST", "Fast (one field)", ISS_ON);
    IUFillSwitch(&ReadoutS[1], "PROGRESSIVE", "Progressive", ISS_OFF);
    IUFillSwitch(&ReadoutS[2], "TWO_EXPOSURE", "Two exposures", ISS_OFF);
    IUFillSwitchVector(&ReadoutSP, ReadoutS, 3, getDeviceName(), "ZQ1_READOUT", "Full-res read-out",
        IMAGE_SETTINGS_TAB, IP_RW, ISR_1OFMANY, 60, IPS_IDLE);

    IUFillSwitch(&CableS[0], "PLUGGED", "Plugged in", ISS_ON);
    IUFillSwitch(&CableS[1], "UNPLUGGED", "Unplugged", ISS_OFF);
    IUFillSwitchVector(&CableSP, CableS, 2, getDeviceName(), "ZQ1_SIM_CABLE", "Camera cable", "Simulation",
        IP_RW, ISR_1OFMANY, 60, IPS_IDLE);

    // The camera times exposures to the millisecond; bins are 1 or 2.
    PrimaryCCD.setMinMaxStep(
        "CCD_EXPOSURE", "CCD_EXPOSURE_VALUE", zq1::min_exposure_s, zq1::max_exposure_s, 1, false);
    PrimaryCCD.setMinMaxStep("CCD_BINNING", "HOR_BIN", 1, 2, 1, false);
    PrimaryCCD.setMinMaxStep("CCD_BINNING", "VER_BIN", 1, 2, 1, false);
    // One 16-bit monochrome format; clients expect the property to list it.
    addCaptureFormat({ "INDI_MONO", "Mono", 16, true });
    addAuxControls();
    setDefaultPollingPeriod(500);

    static bool watching = false;
    if (!watching) {
        IEAddCallback(camera_.wake_fd(), &Zq1Ccd::wake, this);
        watching = true;
    }
    return true;
}

bool Zq1Ccd::updateProperties()
{
    INDI::CCD::updateProperties();
    if (isConnected()) {
        defineProperty(&ReadoutSP);
        if (isSimulation())
            defineProperty(&CableSP);
        SetCCDParams(sensor_width, sensor_height, 16, pixel_x_um, pixel_y_um);
        // The standard frame, unless the saved configuration (loaded after
        // this) says otherwise.
        UpdateCCDBin(2, 2);
        PrimaryCCD.setFrameBufferSize(sensor_width * sensor_height * 2);
        timer_ = SetTimer(getCurrentPollingPeriod());
    } else {
        deleteProperty(ReadoutSP.name);
        deleteProperty(CableSP.name);
        if (timer_ >= 0)
            RemoveTimer(timer_);
        timer_ = -1;
    }
    return true;
}

bool Zq1Ccd::Connect()
{
    const bool simulated = isSimulation();
    if (simulated && !cable_) {
        // The simulated ZQ1 on the sky model, behind a cable the simulation
        // tab can pull out. The sky follows the snooped mount: no drift of
        // its own and no star planted at the target.
        cable_ = std::make_unique<zq1::CableTransport>(sim::simulated_camera());
    }
    if (cable_)
        cable_->set_plugged(true);
    IUResetSwitch(&CableSP);
    CableS[0].s = ISS_ON;

    std::promise<std::string> looked;
    std::future<std::string> answer = looked.get_future();
    zq1::CableTransport* cable = cable_.get();
    camera_.post([simulated, cable, &looked] {
        // The core's state starts here, on the thread that owns it: the
        // device itself is built while the program's globals may still be
        // under construction.
        static bool state_made = false;
        if (!state_made)
            reset_program_state();
        state_made = true;
        got_vn = 0;
        if (simulated) {
            std::lock_guard lock(sim::sky_mutex());
            sim::SkyModel& sky = sim::shared_sky();
            sky.configure(sim::SkySettings {});
            sky.set_seeing_jitter(0.3);
            set_camera_transport(cable);
        } else {
            install_usb_camera_transport();
        }
        std::string why;
        looked.set_value(zq1::find_camera(why) ? std::string() : why);
    });
    // The camera thread may first finish a download the last disconnect
    // aborted; every transfer it makes is bounded, so this wait is too.
    answer.wait();
    const std::string why = answer.get();
    if (!why.empty()) {
        LOGF_ERROR("%s", why.c_str());
        return false;
    }
    if (simulated)
        point_sky_at_mount();
    camera_lost_ = false;
    LOGF_INFO("ZQ1 camera %s.", simulated ? "simulated" : "found on USB");
    return true;
}

bool Zq1Ccd::Disconnect()
{
    if (abort_)
        abort_->request();
    InExposure = false;
    return true;
}

zq1::Readout Zq1Ccd::readout_for_exposure() const
{
    if (PrimaryCCD.getBinX() >= 2)
        return zq1::Readout::binned;
    switch (IUFindOnSwitchIndex(&ReadoutSP)) {
    case 1:
        return zq1::Readout::progressive;
    case 2:
        return zq1::Readout::two_exposure;
    default:
        return zq1::Readout::fast;
    }
}

bool Zq1Ccd::StartExposure(float duration)
{
    // A new exposure replaces the one under way: the camera thread ends that
    // one at its next step and takes this one after it.
    if (abort_)
        abort_->request();
    abort_ = std::make_shared<zq1::Abort>();
    const std::uint64_t job = ++job_;
    const int ms = std::max(1, static_cast<int>(std::lround(duration * 1000.0)));
    job_readout_ = readout_for_exposure();
    exposure_s_ = duration;
    exposure_start_ = std::chrono::steady_clock::now();
    PrimaryCCD.setExposureDuration(duration);
    InExposure = true;

    std::shared_ptr<zq1::Abort> abort = abort_;
    const zq1::Readout readout = job_readout_;
    camera_.post([this, job, ms, readout, abort] {
        zq1::ExposureResult result = zq1::take_exposure(ms, readout, *abort);
        camera_.to_main([this, job, result = std::move(result)] { finished(job, result); });
    });
    LOGF_DEBUG("Exposure of %.3f s, %s read-out.", duration, readout_name(job_readout_));
    return true;
}

bool Zq1Ccd::AbortExposure()
{
    if (abort_)
        abort_->request();
    InExposure = false;
    return true;
}

void Zq1Ccd::finished(std::uint64_t job, const zq1::ExposureResult& result)
{
    // Only the newest exposure, and only while it is still wanted.
    if (job != job_ || !InExposure)
        return;
    InExposure = false;
    using Outcome = zq1::ExposureResult::Outcome;
    if (result.outcome != Outcome::frame) {
        if (result.outcome == Outcome::aborted)
            return;
        LOGF_ERROR("%s", result.message.c_str());
        PrimaryCCD.setExposureFailed();
        if (result.camera_gone) {
            camera_lost_ = true;
            look_for_camera();
        }
        return;
    }
    const std::size_t bytes = result.frame.pixels.size() * sizeof(std::uint16_t);
    // The frame the base class sends is the chip's frame at its binning: both
    // must match what was read, whatever the user changed meanwhile.
    const int bin = job_readout_ == zq1::Readout::binned ? 2 : 1;
    if (PrimaryCCD.getBinX() != bin)
        PrimaryCCD.setBin(bin, bin);
    PrimaryCCD.setFrame(0, 0, sensor_width, sensor_height);
    if (static_cast<std::size_t>(PrimaryCCD.getFrameBufferSize()) < bytes)
        PrimaryCCD.setFrameBufferSize(static_cast<uint32_t>(bytes));
    std::memcpy(PrimaryCCD.getFrameBuffer(), result.frame.pixels.data(), bytes);
    LOGF_DEBUG("Frame ready at monotonic %.6f s.", monotonic_seconds());
    ExposureComplete(&PrimaryCCD);
}

void Zq1Ccd::look_for_camera()
{
    if (looking_ || !isConnected())
        return;
    looking_ = true;
    camera_.post([this] {
        std::string why;
        const bool found = zq1::find_camera(why);
        camera_.to_main([this, found] {
            looking_ = false;
            if (found) {
                camera_lost_ = false;
                LOG_INFO("The camera is back.");
            }
        });
    });
}

void Zq1Ccd::TimerHit()
{
    if (!isConnected())
        return;
    if (InExposure) {
        const double spent
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - exposure_start_).count();
        PrimaryCCD.setExposureLeft(std::max(0.0, exposure_s_ - spent));
    }
    if (camera_lost_ && !InExposure) {
        lost_for_ms_ += static_cast<int>(getCurrentPollingPeriod());
        if (lost_for_ms_ >= look_again_ms) {
            lost_for_ms_ = 0;
            look_for_camera();
        }
    }
    timer_ = SetTimer(getCurrentPollingPeriod());
}

bool Zq1Ccd::UpdateCCDBin(int hor, int ver)
{
    if (hor != ver || (hor != 1 && hor != 2)) {
        LOG_ERROR("The ZQ1 bins 1 x 1 (full resolution) or 2 x 2.");
        return false;
    }
    PrimaryCCD.setBin(hor, ver);
    return UpdateCCDFrame(0, 0, sensor_width, sensor_height);
}

bool Zq1Ccd::UpdateCCDFrame(int, int, int, int)
{
    // The camera reads whole frames only.
    PrimaryCCD.setFrame(0, 0, sensor_width, sensor_height);
    return true;
}

bool Zq1Ccd::ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n)
{
    if (dev != nullptr && std::strcmp(dev, getDeviceName()) == 0) {
        if (std::strcmp(name, ReadoutSP.name) == 0) {
            IUUpdateSwitch(&ReadoutSP, states, names, n);
            ReadoutSP.s = IPS_OK;
            IDSetSwitch(&ReadoutSP, nullptr);
            return true;
        }
        if (std::strcmp(name, CableSP.name) == 0) {
            IUUpdateSwitch(&CableSP, states, names, n);
            const bool plugged = CableS[0].s == ISS_ON;
            if (cable_)
                cable_->set_plugged(plugged);
            CableSP.s = plugged ? IPS_OK : IPS_ALERT;
            IDSetSwitch(&CableSP, plugged ? "Camera cable plugged in." : "Camera cable pulled out.");
            return true;
        }
    }
    return INDI::CCD::ISNewSwitch(dev, name, states, names, n);
}

bool Zq1Ccd::ISSnoopDevice(XMLEle* root)
{
    const bool handled = INDI::CCD::ISSnoopDevice(root);
    if (isSimulation() && cable_)
        point_sky_at_mount();
    return handled;
}

void Zq1Ccd::point_sky_at_mount()
{
    if (std::isnan(RA) || std::isnan(Dec))
        return;
    std::lock_guard lock(sim::sky_mutex());
    sim::SkyModel& sky = sim::shared_sky();
    if (sky.ra_hours() != RA || sky.dec_degrees() != Dec)
        sky.point_at(RA, Dec);
}

void Zq1Ccd::addFITSKeywords(INDI::CCDChip* chip)
{
    INDI::CCD::addFITSKeywords(chip);
    fitsfile* f = *chip->fitsFilePointer();
    if (f == nullptr)
        return;
    int status = 0;
    // The observing time and the exposure under the names the program's own
    // files use, and the pixel size in millimetres as they give it.
    const std::string start = chip->getExposureStartTime();
    const std::size_t t = start.find('T');
    const std::string time_obs = t == std::string::npos ? start : start.substr(t + 1);
    fits_update_key_str(f, "TIME-OBS", time_obs.c_str(), "Start of the exposure (UT)", &status);
    double exposure_s = chip->getExposureDuration();
    fits_update_key_dbl(f, "EXPOSURE", exposure_s, 6, "Exposure time (s)", &status);
    double width_mm = chip->getPixelSizeX() * chip->getBinX() / 1000.0;
    double height_mm = chip->getPixelSizeY() * chip->getBinY() / 1000.0;
    fits_update_key_dbl(f, "PIXWIDTH", width_mm, 6, "Pixel width (mm)", &status);
    fits_update_key_dbl(f, "PIXHEIGH", height_mm, 6, "Pixel height (mm)", &status);
    fits_update_key_str(f, "READOUT", readout_name(job_readout_), "ZQ1 read-out", &status);
}

bool Zq1Ccd::saveConfigItems(FILE* fp)
{
    INDI::CCD::saveConfigItems(fp);
    IUSaveConfigSwitch(fp, &ReadoutSP);
    return true;
}

// libindidriver's main() serves the one device.
static std::unique_ptr<Zq1Ccd> zq1_ccd(new Zq1Ccd());
