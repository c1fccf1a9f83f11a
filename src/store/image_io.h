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
// A full frame as other programs write it: two header blocks and the data
// in whole 2,880-byte blocks. (The binned frame's standard length is
// fits_binned_length already.)
constexpr std::uintmax_t fits_full_standard_length = 878400;
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

// How the stored 16-bit values of a FITS file become samples.
struct FitsData {
    long zero = 32768;          // added to each stored value
    bool signed_values = false; // stored values are signed and the sums are
                                // clamped to 0..65,535 (other programs' files)
};

// Whether the 72 cards at `header` are in this program's own layout, read by
// position: card 36 is its BZERO card.
bool fits_layout_is_ours(const unsigned char* header);
// Another program's header, by keyword: SIMPLE, BITPIX 16, NAXIS 2 with the
// axes of one of the two geometries (`binned` tells which), BSCALE 1 when
// present, an integer BZERO (none is 0), and END in the second block, where
// it must be for the data to follow at 5,760 bytes. False otherwise.
bool read_foreign_fits_header(const unsigned char* header, bool* binned, FitsData* data);

// Checks the header of a FITS file in the wanted geometry: this program's by
// position (BITPIX 16, NAXIS 2, the two axes; the offset is 0 when card 36
// reads "BZERO   =   +0.0000000000E+00", else 32,768), another program's by
// keyword. False on any mismatch.
bool check_fits_header(
    const unsigned char* header, std::size_t length, bool binned_geometry, FitsData* data);
// FITS data: big-endian samples plus the offset, modulo 65,536 (or clamped,
// for signed values).
void fits_to_samples(
    const unsigned char* data, int width, int height, const FitsData& how, unsigned short* dest);

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
