#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A file opened for decoding. Only regular files are opened (symbolic links are followed), and the
// type is checked before anything is read: a FIFO would block the deck, a device could be endless.
// Reads are positional, so several readers (a length scan, a decoder) share one descriptor.
namespace zen::audio {

class AudioFile {
public:
    // nullptr, with a reason in *why when given, for anything that is not a readable, non-empty
    // regular file.
    static std::shared_ptr<AudioFile> open(const std::string& path, std::string* why);
    ~AudioFile();
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    std::int64_t size() const { return size_; }
    // Reads up to `bytes` at `offset`; returns the count read, short only at the end of the file
    // or on a read error.
    std::int64_t readAt(void* dst, std::int64_t bytes, std::int64_t offset) const;

private:
    AudioFile(int fd, std::int64_t size) : fd_(fd), size_(size) {}
    int fd_;
    std::int64_t size_;
};

// A read position of its own over a shared AudioFile, for libraries that read through callbacks.
struct FileCursor {
    std::shared_ptr<const AudioFile> file;
    std::int64_t pos = 0;

    std::int64_t read(void* dst, std::int64_t bytes);
    // Whence as for lseek; returns the new position, or -1 (position unchanged) when it would be
    // negative.
    std::int64_t seek(std::int64_t offset, int whence);
};

} // namespace zen::audio
