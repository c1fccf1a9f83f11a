#include "processing/calibration.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#include <immintrin.h>
#endif

#include "app/host.h"
#include "app/state.h"
#include "processing/label.h"
#include "store/buffers.h"
#include "store/image_io.h"

namespace {
// First sample an operation may change: past the label band of a labelled
// image.
std::size_t first_sample(const unsigned short* fredptr)
{
    return image_is_labelled(fredptr) ? static_cast<std::size_t>(width1_10) : 0;
}

unsigned short clamp_sum(unsigned a, unsigned b)
{
    const unsigned s = a + b;
    return static_cast<unsigned short>(s > 65535u ? 65535u : s);
}
} // namespace

void do_subtract_image(unsigned short* fredptr, const unsigned short* trialptr)
{
    const std::size_t end = static_cast<std::size_t>(intlength);
    for (std::size_t i = first_sample(fredptr); i < end; ++i)
        fredptr[i] = fredptr[i] > trialptr[i] ? static_cast<unsigned short>(fredptr[i] - trialptr[i]) : 0;
}

void do_average_image(unsigned short* fredptr, const unsigned short* trialptr)
{
    const std::size_t end = static_cast<std::size_t>(intlength);
    for (std::size_t i = first_sample(fredptr); i < end; ++i)
        fredptr[i] = static_cast<unsigned short>((static_cast<unsigned>(fredptr[i]) + trialptr[i]) / 2);
}

void do_flat_field(unsigned short* fredptr, const unsigned short* trialptr, double avg, int line)
{
    if (line < 0 || line >= height1)
        return;
    unsigned short* row = fredptr + static_cast<std::size_t>(line) * width1;
    const unsigned short* flat = trialptr + static_cast<std::size_t>(line) * width1;
    for (int x = 2; x < width2; ++x) {
        const double v = row[x];
        const double f = flat[x];
        double w;
        if (f != 0.0)
            w = v / f * avg;
        else if (v != 0.0)
            w = v;
        else
            w = avg;
        row[x] = w < 65535.0 ? static_cast<unsigned short>(std::trunc(w)) : 65535;
    }
}

double flat_level(const unsigned short* flatptr)
{
    double sum = 0.0;
    for (int y = 10; y < 20; ++y)
        for (int x = 5; x < width2; ++x)
            sum += flatptr[static_cast<std::size_t>(y) * width1 + x];
    return sum / (binned ? 3700.0 : 7460.0);
}

void do_merge(unsigned short* fredptr, unsigned short* trialptr, int orig_x, int orig_y, int merge_x,
    int merge_y, int average)
{
    const int st = (image_is_labelled(fredptr) || image_is_labelled(trialptr)) ? label_rows : 0;
    const int dx = merge_x - orig_x;
    const int dy = merge_y - orig_y;
    // Source column c = x + dx must satisfy 0 < c < width2.
    const int x_from = std::max(0, 1 - dx);
    const int x_to = std::min(width1, width2 - dx); // exclusive
    for (int y = st; y < height1; ++y) {
        const int r = y + dy;
        if (r <= st || r >= height1)
            continue;
        unsigned short* base = trialptr + static_cast<std::size_t>(y) * width1;
        const unsigned short* source = fredptr + static_cast<std::size_t>(r) * width1 + dx;
        for (int x = x_from; x < x_to; ++x) {
            const unsigned s = static_cast<unsigned>(source[x]) + base[x];
            base[x] = average ? static_cast<unsigned short>(s / 2)
                              : static_cast<unsigned short>(std::min(s, 65535u));
        }
    }
    copy_image(fredptr, trialptr);
}

void do_add_image(unsigned short* fredptr, const unsigned short* trialptr, int highres21_selfguide)
{
    for (int r = 0; r < height1; r += 2) {
        unsigned short* row = fredptr + static_cast<std::size_t>(r) * width1;
        const unsigned short* source = trialptr + static_cast<std::size_t>(r) * width1;
        if (highres21_selfguide && r + 1 < height1) {
            const unsigned short* next = row + width1;
            for (int x = 0; x < width1; ++x)
                row[x] = clamp_sum(source[x], next[x]);
        } else {
            std::memcpy(row, source, static_cast<std::size_t>(width1) * sizeof(unsigned short));
        }
    }
}

namespace {
// Eight samples in reverse order; the fixed count lets the compiler turn it
// into one vector shuffle.
inline void reverse8(const unsigned short* __restrict from, unsigned short* __restrict to)
{
    for (int j = 0; j < 8; ++j)
        to[j] = from[7 - j];
}

void mirror_rows_plain(unsigned short* frame, int width, int first_row, int height)
{
    for (int y = first_row; y < height; ++y) {
        unsigned short* row = frame + static_cast<std::size_t>(y) * width;
        int i = 0, j = width;
        while (j - i >= 16) {
            unsigned short left[8], right[8];
            std::memcpy(left, row + i, sizeof left);
            std::memcpy(right, row + j - 8, sizeof right);
            reverse8(right, row + i);
            reverse8(left, row + j - 8);
            i += 8;
            j -= 8;
        }
        std::reverse(row + i, row + j);
    }
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
#define QUILLON_MIRROR_AVX2 1
#define QUILLON_AVX2_INLINE [[gnu::target("avx2"), gnu::always_inline]] inline

QUILLON_AVX2_INLINE __m256i load16(const unsigned short* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Sixteen samples in reverse order: each half reversed, then the halves
// swapped.
QUILLON_AVX2_INLINE void store16_reversed(unsigned short* p, __m256i v)
{
    const __m256i order = _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1, 14, 15, 12,
        13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(p), _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, order), 0x4E));
}

QUILLON_AVX2_INLINE void store8_reversed(unsigned short* p, __m128i v)
{
    const __m128i order = _mm_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(v, order));
}

// Samples [i, i + 32) and [j - 32, j) reversed into each other's place. Both
// are read before either is written, so the two may overlap.
QUILLON_AVX2_INLINE void swap_ends32(unsigned short* row, int i, int j)
{
    const __m256i l0 = load16(row + i), l1 = load16(row + i + 16);
    const __m256i r0 = load16(row + j - 32), r1 = load16(row + j - 16);
    store16_reversed(row + i, r1);
    store16_reversed(row + i + 16, r0);
    store16_reversed(row + j - 32, l1);
    store16_reversed(row + j - 16, l0);
}

// Each row swaps blocks of 32 samples from both ends. The middle that is
// left (under 64 samples) is done as two blocks that may overlap: both are
// read before either is written, and where they overlap they write the
// same samples.
[[gnu::target("avx2")]] void mirror_rows_avx2(unsigned short* frame, int width, int first_row, int height)
{
    for (int y = first_row; y < height; ++y) {
        unsigned short* row = frame + static_cast<std::size_t>(y) * width;
        int i = 0, j = width;
        while (j - i >= 64) {
            swap_ends32(row, i, j);
            i += 32;
            j -= 32;
        }
        if (j - i >= 32) {
            swap_ends32(row, i, j);
        } else if (j - i >= 16) {
            const __m256i l = load16(row + i), r = load16(row + j - 16);
            store16_reversed(row + i, r);
            store16_reversed(row + j - 16, l);
        } else if (j - i >= 8) {
            const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
            const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + j - 8));
            store8_reversed(row + i, r);
            store8_reversed(row + j - 8, l);
        } else {
            std::reverse(row + i, row + j);
        }
    }
}
#endif
} // namespace

void mirror_rows(unsigned short* frame, int width, int first_row, int height)
{
#ifdef QUILLON_MIRROR_AVX2
    static const bool has_avx2 = __builtin_cpu_supports("avx2");
    if (has_avx2) {
        mirror_rows_avx2(frame, width, first_row, height);
        return;
    }
#endif
    mirror_rows_plain(frame, width, first_row, height);
}

void mirror_image(unsigned short* fredptr, unsigned short* /*trialptr*/)
{
    // Each row is reversed in place, so the trial buffer is not needed: a
    // mirror during a merge keeps the base image held there.
    mirror_rows(fredptr, width1, image_is_labelled(fredptr) ? label_rows : 0, height1);
}

int load_calibration_file(const char* fileName, unsigned short* dest)
{
    // Everything is read before the buffer is touched, so a short read leaves
    // the previous dark or flat in place.
    static std::vector<unsigned char> bytes; // one thread; kept for the next load
    std::uintmax_t length = 0;
    const FileRead read = read_file_start(fileName, bytes, fits_full_length, &length);
    if (read == FileRead::cannot_open)
        return calibration_cannot_open;
    if (read != FileRead::ok || length != bytes.size())
        return calibration_bad_file;
    return calibration_file_from_bytes(bytes, dest);
}

int calibration_file_from_bytes(std::span<const unsigned char> file, unsigned short* dest)
{
    const ImageFileKind kind = kind_for_length(file.size());
    if (kind == ImageFileKind::unknown || kind_is_binned(kind) != (binned != 0))
        return calibration_bad_file;
    if (!kind_is_fits(kind)) {
        native_to_samples(file.data(), width1, height1, dest);
        return calibration_ok;
    }
    FitsData how;
    if (!check_fits_header(file.data(), file.size(), binned != 0, &how))
        return calibration_bad_file;
    fits_to_samples(file.data() + fits_header_length, width1, height1, how, dest);
    return calibration_ok;
}

int auto_remove(int darkframe_loaded, const char* fileName, unsigned short* darkptr, unsigned short* fredptr,
    unsigned short* undoptr)
{
    if (!darkframe_loaded) {
        if (const int result = load_calibration_file(fileName, darkptr); result != calibration_ok)
            return result;
        if (darkptr != undoptr)
            backup_image(darkptr, undoptr);
    }
    // The raw frame is subtracted whole: a fresh frame carries no label.
    const std::size_t end = static_cast<std::size_t>(intlength);
    for (std::size_t i = 0; i < end; ++i)
        fredptr[i] = fredptr[i] > undoptr[i] ? static_cast<unsigned short>(fredptr[i] - undoptr[i]) : 0;
    return calibration_ok;
}

int auto_flatfield(int flatfield_loaded, const char* fileName, unsigned short* flatptr,
    unsigned short* fredptr, unsigned short* saveptr)
{
    if (!flatfield_loaded) {
        if (const int result = load_calibration_file(fileName, flatptr); result != calibration_ok)
            return result;
        if (flatptr != saveptr)
            backup_image(flatptr, saveptr);
    }
    const double level = flat_level(saveptr);
    for (int row = 2; row < height1; ++row)
        do_flat_field(fredptr, saveptr, level, row);
    return calibration_ok;
}

bool apply_merge_operation(char type)
{
    switch (type) {
    case 'a':
        do_average_image(image, trial);
        return true;
    case 's':
        do_subtract_image(image, trial);
        append_history("Dark Frame Subtracted");
        return true;
    case 'f': {
        const double level = flat_level(trial);
        const int first = image_is_labelled(image) ? label_rows + 1 : 1;
        std::strcpy(progress_caption, "FLAT FIELD PROGRESS");
        progress = 10;
        host().progress_open();
        // The bar runs 0..256: spread the rows over what is left of it.
        const int rows = height1 - first;
        for (int row = first; row < height1; ++row) {
            host().progress_update();
            do_flat_field(image, trial, level, row);
            progress = 10 + (row - first + 1) * 246 / rows;
        }
        host().progress_close();
        append_history("Flat Field Applied");
        return true;
    }
    default:
        return false;
    }
}

int merge_refusal(int fit)
{
    if (photometry || row_plot)
        return 37;
    if (Geo || fit || Big)
        return 43;
    if (merging)
        return 44;
    return 0;
}

void begin_merge()
{
    orig = 1;
    average = 0;
    orig_x = orig_y = merge_x = merge_y = 0;
    merging = 1;
}

void place_merge_mark(int x, int y)
{
    if (orig) {
        orig_x = x;
        orig_y = y;
    } else {
        merge_x = x;
        merge_y = y;
    }
    extfredptr = image;
    exttrialptr = trial;
}

bool finish_merge()
{
    if (orig)
        return false;
    merging = 0;
    // No mark on the second image yet still merges the two frame buffers.
    do_merge(extfredptr != nullptr ? extfredptr : image, exttrialptr != nullptr ? exttrialptr : trial, orig_x,
        orig_y, merge_x, merge_y, average);
    average = 0;
    prep_image = 1;
    return true;
}

void cancel_merge()
{
    merging = 0;
    average = 0;
}
