// Shared by the loader harnesses: the input becomes a file on disk, because
// the loaders read files. The first input byte chooses how: bit 0 the binned
// or full geometry, bit 1 whether the rest is padded (or cut) to the length
// the loader recognises, so both refused and accepted lengths are reached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/state.h"
#include "store/buffers.h"

inline std::string fuzz_file_path(const char* name)
{
    // Memory-backed when the system has it: the files are written every run.
    static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static const std::string path = folder + "/quillon_" + std::string(name) + "_" + std::to_string(getpid());
    return path;
}

inline bool fuzz_binned(const std::uint8_t* data, std::size_t size)
{
    return size == 0 || (data[0] & 1) != 0;
}

// Writes the input after its first byte, padded to `padded_length` when bit 1
// is set; returns the path.
inline std::string write_fuzz_file(
    const char* name, const std::uint8_t* data, std::size_t size, std::size_t padded_length)
{
    std::vector<std::uint8_t> bytes;
    if (size > 1)
        bytes.assign(data + 1, data + size);
    if (size > 0 && (data[0] & 2) != 0)
        bytes.resize(padded_length, 0);
    const std::string path = fuzz_file_path(name);
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    return path;
}

inline void fuzz_geometry(bool small)
{
    point_buffers();
    binned = small ? 1 : 0;
    binned21 = small ? 0 : 1;
    ZQ_binned();
}
