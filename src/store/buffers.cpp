#include "store/buffers.h"

#include <cstring>

#include "app/state.h"

unsigned short image_int[frame_samples];
unsigned short trial_int[frame_samples];
unsigned short undo_int[frame_samples];
unsigned short save_int[frame_samples];
unsigned short comparison_int[frame_samples];

unsigned short* image = image_int;
unsigned short* trial = trial_int;
unsigned short* undo = undo_int;
unsigned short* save = save_int;
unsigned short* comparison = comparison_int;

int width1, width1_10, width2, width3, height1, height2;
float width1f, height1f, height2f;
std::int32_t intlength;
int writefile16;

char process_info[17][history_text];

void ZQ_binned()
{
    if (binned) {
        width1 = binned_width;
        height1 = binned_height;
    } else {
        width1 = full_width;
        height1 = full_height;
        Big = 0;
        Geo = 0;
    }
    width1_10 = width1 * 10;
    width2 = width1 - 1;
    width3 = width1 * 2;
    width1f = static_cast<float>(width1);
    height2 = height1 - 1;
    height2f = static_cast<float>(height2);
    height1f = static_cast<float>(height1);
    intlength = width1 * height1 + 4;
    writefile16 = width1 * height1 / 16;
}

void undo_image(const unsigned short* fredptr, unsigned short* undoptr)
{
    std::memcpy(undoptr, fredptr, static_cast<std::size_t>(intlength) * sizeof(unsigned short));
}

void restore_image(unsigned short* fredptr, const unsigned short* undoptr)
{
    std::memcpy(fredptr, undoptr, static_cast<std::size_t>(intlength) * sizeof(unsigned short));
}

void backup_image(const unsigned short* fredptr, unsigned short* trialptr)
{
    std::memcpy(trialptr, fredptr, static_cast<std::size_t>(intlength) * sizeof(unsigned short));
}

void copy_image(unsigned short* fredptr, const unsigned short* trialptr)
{
    std::memcpy(fredptr, trialptr, static_cast<std::size_t>(intlength) * sizeof(unsigned short));
}

void point_buffers()
{
    image = image_int;
    trial = trial_int;
    undo = undo_int;
    save = save_int;
    comparison = comparison_int;
}

void fill_startup_ramp()
{
    for (int r = 0; r < height1; ++r) {
        const auto value = static_cast<unsigned short>((r * 225) & 0xFFFF);
        for (int c = 0; c < width1; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * width1 + c;
            image[i] = trial[i] = undo[i] = value;
            save[i] = 0;
        }
    }
}

void append_history(const char* text)
{
    for (auto& entry : process_info) {
        if (&entry - process_info >= history_entries)
            return;
        if (entry[0] == '\0') {
            std::strncpy(entry, text, history_text - 1);
            entry[history_text - 1] = '\0';
            return;
        }
    }
}

void remove_last_history()
{
    for (int i = 0; i < history_entries; ++i) {
        if (process_info[i][0] == '\0') {
            if (i > 0)
                process_info[i - 1][0] = '\0';
            return;
        }
    }
}

void clear_history()
{
    std::memset(process_info, 0, sizeof process_info);
}

int history_count()
{
    int count = 0;
    while (count < history_entries && process_info[count][0] != '\0')
        ++count;
    return count;
}
