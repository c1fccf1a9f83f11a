#include "telescope/guide_log.h"

#include <filesystem>

#include "app/data_root.h"

namespace {
std::string number(double v, int decimals)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string scale_text(const ImageScale& s)
{
    return s.known() ? number(s.x, 4) + "," + number(s.y, 4) : std::string("unknown");
}
} // namespace

std::string guide_log_name(const std::tm& t)
{
    char text[64];
    std::snprintf(text, sizeof text, "guide_%04d-%02d-%02d_%02d-%02d-%02d.csv", t.tm_year + 1900, t.tm_mon + 1,
        t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

GuideLog::~GuideLog()
{
    close();
}

void GuideLog::close()
{
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
}

void GuideLog::guide_run_started(const GuideRunInfo& info)
{
    close();
    start_ms_ = info.start_ms;
    frame_ = 0;
    exposing_ = false;
    const std::string folder = data_path("logs");
    if (!ensure_folder(folder))
        return;
    // Two runs started in one second get their own files.
    const std::string base = guide_log_name(info.start_local);
    std::string name = base;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(folder + "/" + name, ec); ++n)
        name = base.substr(0, base.size() - 4) + "_" + std::to_string(n) + ".csv";
    path_ = folder + "/" + name;
    file_ = std::fopen(path_.c_str(), "w");
    if (file_ == nullptr)
        return;
    const std::tm& t = info.start_local;
    std::fprintf(file_, "# Quillon guide log\n");
    std::fprintf(file_, "# started,%04d-%02d-%02d %02d:%02d:%02d\n", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
        t.tm_hour, t.tm_min, t.tm_sec);
    std::fprintf(file_, "# kind,%s\n", info.kind == GuideRunKind::guiding ? "guiding" : "self-guiding");
    std::fprintf(file_, "# image_scale_arcsec_per_px,%s\n", scale_text(info.scale).c_str());
    std::fprintf(file_, "# training,slewx=%d,slewy=%d,backlashx=%d,backlashy=%d\n", info.slewx, info.slewy,
        info.backlashx, info.backlashy);
    std::fprintf(file_,
        "# settings,telescope=%c,guide_exposure_ms=%d,star_mask=%d,ignore_small=%d,hystx=%d,hysty=%d,"
        "pause_70ms=%d,cloud_wait_s=%d\n",
        info.telescope, info.guide_exposure_ms, info.star_mask, info.ignore_small, info.hystx, info.hysty,
        info.losmandy_pause, info.cloud_wait_s);
    std::fprintf(file_, "# dither,%s,size_px=%s,settle_px=%s,settle_s=%d,settle_frames=%d\n",
        info.dither ? "on" : "off", number(info.dither_px, 2).c_str(), number(info.settle_px, 2).c_str(),
        info.settle_s, info.settle_frames);
    std::fprintf(file_, "time_s,event,frame,dx_px,dy_px,ra_ms,dec_ms,brightness,rms_x_px,rms_y_px,rms_px,file\n");
    std::fflush(file_);
}

void GuideLog::line(std::int64_t time_ms, const char* event, const std::string& rest)
{
    if (file_ == nullptr)
        return;
    std::fprintf(file_, "%s,%s,%s\n", number((time_ms - start_ms_) / 1000.0, 3).c_str(), event, rest.c_str());
    std::fflush(file_);
}

void GuideLog::guide_frame(const GuideRecord& r)
{
    frame_ = r.frame;
    if (exposing_ && r.measured())
        exposure_.add(r.dx, r.dy);
    const char* event = r.paused ? "paused" : r.skipped ? "skipped" : "guide";
    const std::string error = r.paused ? std::string(",") : number(r.dx, 3) + "," + number(r.dy, 3);
    line(r.time_ms, event,
        std::to_string(r.frame) + "," + error + "," + std::to_string(r.ra_ms) + "," + std::to_string(r.dec_ms)
            + "," + std::to_string(r.brightness) + ",,,,");
}

void GuideLog::guide_event(const GuideEvent& e)
{
    const std::string frame = std::to_string(frame_);
    switch (e.kind) {
    case GuideEventKind::dither:
        line(e.time_ms, "dither", frame + "," + number(e.x, 3) + "," + number(e.y, 3) + ",,,,,,,");
        break;
    case GuideEventKind::settled:
        line(e.time_ms, "settled", frame + ",,,,,,,,,");
        break;
    case GuideEventKind::settle_timeout:
        line(e.time_ms, "settle_timeout", frame + ",,,,,,,,,");
        break;
    case GuideEventKind::cloud_pause:
        line(e.time_ms, "cloud_pause", frame + ",,,,,,,,,");
        break;
    case GuideEventKind::cloud_resume:
        line(e.time_ms, "cloud_resume", frame + ",,,,,,,,,");
        break;
    case GuideEventKind::cloud_gave_up:
        line(e.time_ms, "cloud_gave_up", frame + ",,,,,,,,,");
        break;
    case GuideEventKind::exposure_start:
        exposing_ = true;
        exposure_.clear();
        line(e.time_ms, "exposure_start", frame + ",,,,,,,,," + e.file);
        break;
    case GuideEventKind::exposure_end: {
        const GuideFigures f = exposure_.figures();
        exposing_ = false;
        line(e.time_ms, "exposure_end",
            frame + ",,,,,," + number(f.rms_x, 3) + "," + number(f.rms_y, 3) + "," + number(f.rms, 3) + ","
                + e.file);
        break;
    }
    }
}

void GuideLog::guide_run_ended()
{
    close();
}

GuideLog& guide_log()
{
    static GuideLog log;
    return log;
}
