// Writes a file whole or not at all, and durably. The bytes go to a temporary
// file in the target's folder, which is flushed to the disk and then renamed
// over the target, and the folder is flushed after the rename: after a power
// cut the target is the old file or the new one, whole. A failed or abandoned
// write leaves the old file as it was. Every writer of the program (images,
// settings, display bitmaps) goes through it.
#pragma once

#include <cstddef>
#include <string>

class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file, locked for as long as it is written so
    // that the start-up clean-up of another copy of the program leaves it
    // alone; false when the folder does not allow it.
    bool open();
    // False when fewer bytes were stored than asked (disk full, size limit);
    // once false, every later write and commit fails too.
    bool write(const void* data, std::size_t length);
    // Flushes the temporary file, renames it over the target and flushes the
    // folder; false when anything failed, in which case the target is
    // untouched.
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

// True for the names of AtomicFile's temporary files: "<name>.part" and six
// letters or digits.
bool is_temporary_name(const std::string& name);
// Removes the temporary files a killed run left in `folder` (not in its
// sub-folders): only regular files with a temporary name that no running
// writer holds. Returns how many were removed.
int remove_stale_temporaries(const std::string& folder);
