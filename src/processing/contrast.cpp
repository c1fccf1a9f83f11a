#include "processing/contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/host.h"
#include "app/state.h"
#include "store/buffers.h"

namespace {
constexpr int table_size = 32768;
constexpr unsigned short table_max = 32767;

unsigned short clamp_entry(double v)
{
    return v > table_max ? table_max : static_cast<unsigned short>(v);
}

// Sends the table to the main window and records the step.
void apply_and_record(const char* history)
{
    host().send_command(888);
    append_history(history);
}
} // namespace

void fill_invert_table()
{
    for (int i = 0; i < table_size; ++i)
        stretch_table[i] = static_cast<unsigned short>(table_max - i);
}

void fill_log_table()
{
    for (int i = 0; i < table_size; ++i)
        stretch_table[i] = static_cast<unsigned short>(3151.0 * std::log(i + 1.0));
}

void fill_antilog_table()
{
    // The exponent's step is held in extended precision; the base is the
    // five-digit e. The top entries would pass 32767 and are limited.
    const long double step = 1.0L / 3151.0L;
    for (int i = 0; i < table_size; ++i) {
        const double exponent = static_cast<double>(i * step);
        stretch_table[i] = clamp_entry(std::trunc(std::pow(2.71828, exponent) - 1.0));
    }
}

void fill_sine_table()
{
    for (int i = 0; i < table_size; ++i)
        stretch_table[i] = static_cast<unsigned short>((std::sin((i - 16384) / 10432.0) + 1.0) * 16383.0);
}

void fill_power_table(double power)
{
    const double k = 1.0 / std::pow(32768.0, power - 1.0);
    for (int i = 0; i < table_size; ++i) {
        const double v = std::pow(static_cast<double>(i), power) * k;
        stretch_table[i] = v > 32767.0 ? table_max : static_cast<unsigned short>(v);
    }
}

void fill_varnel_table(unsigned power)
{
    const double w = std::max(power, 1u);
    for (int i = 0; i < table_size; ++i) {
        const double x = i / 32768.0;
        stretch_table[i] = clamp_entry(32768.0 * w * x / (1.0 + (w - 1.0) * x));
    }
}

void fill_normal_table(unsigned black_point, unsigned white_point)
{
    // The dialog keeps black below white; a table from an equal pair would
    // divide by zero, so the white point is kept one above.
    white_point = std::max(white_point, black_point + 1);
    const long b0 = 128L * black_point;
    const long w0 = std::min(128L * white_point, static_cast<long>(table_size));
    const double scale = 255.0 / (white_point - black_point);
    for (long i = 0; i < table_size; ++i) {
        if (i < b0)
            stretch_table[i] = 0;
        else if (i < w0)
            stretch_table[i] = clamp_entry(std::trunc((i - b0) * scale));
        else
            stretch_table[i] = table_max;
    }
}

void fill_background_table(int level)
{
    const long b0 = (level - 2) * 128L;
    const double scale = 255.0 / (257 - level);
    for (long i = 0; i < table_size; ++i)
        stretch_table[i] = i < b0 ? 0 : clamp_entry(std::trunc((i - b0) * scale));
}

void ContrastInvert()
{
    fill_invert_table();
    apply_and_record("Invert Image to Negative");
}

void logstretch()
{
    fill_log_table();
    apply_and_record("Log Stretch");
}

void antilog()
{
    fill_antilog_table();
    apply_and_record("Anti-Log Stretch");
}

void ContrastSine()
{
    fill_sine_table();
    apply_and_record("Sine Stretch");
}

void ContrastPower()
{
    fill_power_table(power_str);
    char text[history_text];
    std::snprintf(text, sizeof text, "Power Stretch : %1.1f", power_str);
    apply_and_record(text);
}

void ContrastVarnel()
{
    fill_varnel_table(white);
    char text[history_text];
    std::snprintf(text, sizeof text, "Non-Linear Stretch : power %u", static_cast<unsigned>(white));
    apply_and_record(text);
}

void ContrastNormal()
{
    fill_normal_table(black, white);
    char text[history_text];
    std::snprintf(text, sizeof text, "Normal Stretch : max %u ,min %u", static_cast<unsigned>(white),
        static_cast<unsigned>(black));
    apply_and_record(text);
}

void ContrastBackground()
{
    // Too dark a background to remove: nothing happens at all.
    if (most_pop <= 2)
        return;
    fill_background_table(most_pop);
    char text[history_text];
    std::snprintf(text, sizeof text, "Background Removed : min %d", static_cast<int>(most_pop - 2));
    apply_and_record(text);
}

void apply_stretch_table(unsigned short* frame)
{
    std::snprintf(progress_caption, sizeof progress_caption, "%s", "CONTRAST STRETCH");
    host().progress_open();
    // Rows 0..9 are one chunk of their own so that a label can be skipped;
    // the remaining pixels (not the spare samples) follow in 16 chunks.
    const int pixels = width1 * height1;
    const int chunk = (pixels - width1_10) / 16;
    auto transform = [frame](int from, int count) {
        for (int i = from; i < from + count; ++i)
            frame[i] = static_cast<unsigned short>(2 * stretch_table[frame[i] >> 1]);
    };
    if (!frame_labelled(frame))
        transform(0, width1_10);
    progress = 0;
    for (int c = 0; c < 16; ++c) {
        host().progress_update();
        transform(width1_10 + c * chunk, chunk);
        progress += 16;
    }
    host().progress_close();
}
