// The guiding options kept in the text settings file (the binary settings
// file has no room for them): dithering between self-guided frames, the
// wait for a star behind a passing cloud, and the guiding graph's choices.
#pragma once

struct DitherSettings {
    bool on = false; // `dither`
    double size_px = 1.5; // `dither_px`: the pattern's step, guide-frame pixels
    double settle_px = 0.3; // `dither_settle_px`: the error to settle under
    int settle_s = 30; // `dither_settle_s`: how long settling may take
    int settle_frames = 3; // `dither_settle_frames`: guide frames in a row under the threshold

    // The stored options, each kept within what makes sense.
    static DitherSettings load();
    // Keeps them in memory; save_text_settings() writes them.
    void store() const;
};

// How long guiding waits for a faded star (`cloud_wait_s`, default 60 s;
// 0 ends guiding at once, as a lost star does).
int cloud_wait_seconds();
void set_cloud_wait_seconds(int seconds);

// Whether guiding and self-guiding open the graph (`guide_graph_auto_open`).
bool guide_graph_opens_itself();
