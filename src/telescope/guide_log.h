// The guide log: one comma-separated file per guiding run under
// <root>/logs/, named by the run's start (guide_YYYY-MM-DD_HH-MM-SS.csv). A
// header of `# key,value...` lines (image scale, training results, the
// settings used), a line of column names, then one line per guide frame and
// per event. Each line is flushed as it is written, so a run that ends
// badly keeps what it logged.
//
// Columns: time_s (since the run's start), event, frame, dx_px, dy_px,
// ra_ms, dec_ms, brightness, rms_x_px, rms_y_px, rms_px, file.
#pragma once

#include <cstdio>
#include <string>

#include "telescope/guide_stats.h"

class GuideLog : public GuideObserver {
public:
    ~GuideLog() override;

    void guide_run_started(const GuideRunInfo& info) override;
    void guide_frame(const GuideRecord& record) override;
    void guide_event(const GuideEvent& event) override;
    void guide_run_ended() override;

    // The file of the open run, or of the last one (empty before any).
    const std::string& path() const { return path_; }

private:
    void line(std::int64_t time_ms, const char* event, const std::string& rest);
    void close();

    std::FILE* file_ = nullptr;
    std::string path_;
    std::int64_t start_ms_ = 0;
    int frame_ = 0;
    // The guide frames of the exposure under way.
    bool exposing_ = false;
    GuideSums exposure_;
};

// The program's guide log: every run is logged unless the text setting
// `guide_log` is 0.
GuideLog& guide_log();

// The name of a run's log for its local start time.
std::string guide_log_name(const std::tm& start);
