// Writes a file whole or not at all. The bytes go to a temporary file in the
// target's folder, which replaces the target only when every byte has been
// written; a failed or abandoned write leaves the old file as it was. Every
// writer of the program (images, settings, display bitmaps) goes through it.
#pragma once

#include <cstddef>
#include <string>

class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file; false when the folder does not allow it.
    bool open();
    // False when fewer bytes were stored than asked (disk full, size limit);
    // once false, every later write and commit fails too.
    bool write(const void* data, std::size_t length);
    // Closes the temporary file and renames it over the target; false when
    // anything failed, in which case the target is untouched.
    bool commit();
    const std::string& path() const { return path_; }

private:
    void discard();

    std::string path_;
    std::string temp_;
    int fd_ = -1;
    bool failed_ = false;
};

// The whole file in one go; false when it could not be written completely.
bool write_file_atomically(const std::string& path, const void* data, std::size_t length);
