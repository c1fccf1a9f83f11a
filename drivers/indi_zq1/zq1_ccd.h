// "ZQ1 CCD": the ZQ1 camera as an INDI CCD. The device's properties live on
// INDI's event loop; exposures run on the camera thread (camera_thread.h)
// through the core's read-out routines (zq1_exposure.h), so an abort or a new
// exposure is answered at once whatever the camera is doing.
#pragma once

#include <indiccd.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "camera_thread.h"
#include "zq1_exposure.h"

class Zq1Ccd : public INDI::CCD {
public:
    Zq1Ccd();
    ~Zq1Ccd() override;

    const char* getDefaultName() override { return "ZQ1 CCD"; }
    bool initProperties() override;
    bool updateProperties() override;
    bool ISNewSwitch(const char* dev, const char* name, ISState* states, char* names[], int n) override;
    bool ISSnoopDevice(XMLEle* root) override;

protected:
    bool Connect() override;
    bool Disconnect() override;
    bool StartExposure(float duration) override;
    bool AbortExposure() override;
    bool UpdateCCDBin(int hor, int ver) override;
    bool UpdateCCDFrame(int x, int y, int w, int h) override;
    void TimerHit() override;
    void addFITSKeywords(INDI::CCDChip* chip) override;
    bool saveConfigItems(FILE* fp) override;

private:
    zq1::Readout readout_for_exposure() const;
    void finished(std::uint64_t job, const zq1::ExposureResult& result);
    void look_for_camera();
    void point_sky_at_mount();
    static void wake(int fd, void* self);

    // The full-resolution read-out the user chose.
    ISwitch ReadoutS[3];
    ISwitchVectorProperty ReadoutSP;
    // Simulation only: the camera's cable, to unplug it mid-exposure.
    ISwitch CableS[2];
    ISwitchVectorProperty CableSP;

    // Declared first, so the camera thread stops before it goes.
    std::unique_ptr<zq1::CableTransport> cable_;
    zq1::CameraThread camera_;
    // The exposure under way: its number, its abort and its read-out.
    std::uint64_t job_ = 0;
    std::shared_ptr<zq1::Abort> abort_;
    zq1::Readout job_readout_ = zq1::Readout::binned;
    std::chrono::steady_clock::time_point exposure_start_;
    double exposure_s_ = 0;
    bool camera_lost_ = false;
    bool looking_ = false;
    int lost_for_ms_ = 0;
    int timer_ = -1;
};
