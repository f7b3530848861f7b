#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
// Decoders ask for a frame header or a frame at a time: small reads and short seeks are served
// from a block read ahead, so a pass over a file costs a few system calls per megabyte.
class FileCursor {
public:
    explicit FileCursor(std::shared_ptr<const AudioFile> file) : file_(std::move(file)) {}

    const AudioFile& file() const { return *file_; }
    std::int64_t position() const { return pos_; }
    std::int64_t read(void* dst, std::int64_t bytes);
    // Whence as for lseek; returns the new position, or -1 (position unchanged) when it would be
    // negative.
    std::int64_t seek(std::int64_t offset, int whence);

private:
    std::shared_ptr<const AudioFile> file_;
    std::int64_t pos_ = 0;
    std::vector<char> block_;
    std::int64_t blockStart_ = 0;
    std::int64_t blockLength_ = 0;
};

} // namespace zen::audio
