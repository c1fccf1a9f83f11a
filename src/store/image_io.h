// Recognising image files by length, and the load of a second image (into
// trial, the comparison buffer, or the dark and flat buffers) that the merge,
// comparison and automatic calibration share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

constexpr std::uintmax_t native_binned_length = 218080;
constexpr std::uintmax_t native_full_length = 872320;
constexpr std::uintmax_t fits_binned_length = 224640;
constexpr std::uintmax_t fits_full_length = 878880;
// Two 2,880-byte blocks of 36 cards.
constexpr std::size_t fits_header_length = 5760;

enum class ImageFileKind { unknown, native_binned, native_full, fits_binned, fits_full };

ImageFileKind kind_for_length(std::uintmax_t length);
bool kind_is_binned(ImageFileKind kind);
bool kind_is_fits(ImageFileKind kind);

enum class FileRead { ok, cannot_open, failed };
// Reads at most `most` bytes from the start of a regular file into `bytes`
// and gives its whole length in `length` (when not null); `failed` when it is
// not a regular file or a read comes short. A named pipe, a device or a
// folder is refused without waiting: the open never blocks. Reusing `bytes`
// across calls saves the allocation.
FileRead read_file_start(
    const std::string& path, std::vector<unsigned char>& bytes, std::size_t most, std::uintmax_t* length);
// The whole of a regular file.
bool read_whole_file(const std::string& path, std::vector<unsigned char>& bytes);

// Native layout: rows of little-endian 16-bit samples.
void native_to_samples(const unsigned char* bytes, int width, int height, unsigned short* dest);

// Checks the fixed header of a FITS file of this program by position (BITPIX
// 16, NAXIS 2, the two axes of the wanted geometry) and reads the offset from
// the BZERO card: 0 when it is "+0.0000000000E+00", else 32,768.
// False on any mismatch.
bool check_fits_header(
    const unsigned char* header, std::size_t length, bool binned_geometry, unsigned* offset);
// FITS data: big-endian samples plus the offset, modulo 65,536.
void fits_to_samples(const unsigned char* data, int width, int height, unsigned offset, unsigned short* dest);

enum class SecondLoad { ok, cannot_open, wrong_file, header_mismatch };

// Loads a native or FITS file that matches the current geometry into `dest`
// (height1 x width1 samples). The geometry is never changed, and `dest` is
// untouched unless the whole load succeeds.
SecondLoad load_second_image(const std::string& path, unsigned short* dest);
// The same from the whole file's bytes (what the fuzzers feed).
SecondLoad second_image_from_bytes(std::span<const unsigned char> file, unsigned short* dest);

// The merge's second-image load: 0 loaded, 1 cannot open, 2 not an
// acceptable file or geometry, 12 FITS header not matching.
int trial_load(unsigned short* trialptr, unsigned short* trialintptr, const char* fileName);
