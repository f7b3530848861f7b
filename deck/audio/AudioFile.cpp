#include "AudioFile.h"

#include "deck/audio/AudioEngine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <libopenmpt/libopenmpt.hpp>
#include <sys/stat.h>
#include <unistd.h>

namespace zen::audio {

namespace {

std::shared_ptr<AudioFile> refuse(std::string* why, const std::string& reason) {
    if (why) *why = reason;
    return nullptr;
}

} // namespace

std::shared_ptr<AudioFile> AudioFile::open(const std::string& path, std::string* why) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return refuse(why, "cannot be read");
    if (!S_ISREG(st.st_mode)) return refuse(why, "not a regular file");
    // O_NONBLOCK: should the path be swapped for a FIFO after the check, open must not wait for a
    // writer; the fstat below then refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return refuse(why, "cannot be read");
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(why, "not a regular file");
    }
    if (st.st_size <= 0) {
        ::close(fd);
        return refuse(why, "empty file");
    }
    return std::shared_ptr<AudioFile>(new AudioFile(fd, st.st_size));
}

AudioFile::~AudioFile() {
    ::close(fd_);
}

std::int64_t AudioFile::readAt(void* dst, std::int64_t bytes, std::int64_t offset) const {
    auto* out = static_cast<char*>(dst);
    std::int64_t done = 0;
    while (done < bytes && offset + done < size_) {
        const ssize_t n = ::pread(fd_, out + done, static_cast<size_t>(bytes - done),
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

std::int64_t FileCursor::read(void* dst, std::int64_t bytes) {
    constexpr std::int64_t kBlockBytes = 64 * 1024;
    auto* out = static_cast<char*>(dst);
    std::int64_t done = 0;
    while (done < bytes) {
        const bool inBlock = pos_ >= blockStart_ && pos_ < blockStart_ + blockLength_;
        if (!inBlock && bytes - done >= kBlockBytes) {
            // Large reads go straight to the caller's buffer.
            const std::int64_t n = file_->readAt(out + done, bytes - done, pos_);
            done += n;
            pos_ += n;
            break;
        }
        if (!inBlock) {
            block_.resize(kBlockBytes);
            blockStart_ = pos_;
            blockLength_ = file_->readAt(block_.data(), kBlockBytes, pos_);
            if (blockLength_ <= 0) break;
        }
        const std::int64_t offset = pos_ - blockStart_;
        const std::int64_t n = std::min(bytes - done, blockLength_ - offset);
        std::memcpy(out + done, block_.data() + offset, static_cast<size_t>(n));
        done += n;
        pos_ += n;
    }
    return done;
}

std::int64_t FileCursor::seek(std::int64_t offset, int whence) {
    std::int64_t base = 0;
    switch (whence) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        base = pos_;
        break;
    case SEEK_END:
        base = file_->size();
        break;
    default:
        return -1;
    }
    const std::int64_t target = base + offset;
    if (target < 0) return -1;
    pos_ = target;
    return pos_;
}

std::vector<std::string> fileExtensions() {
    std::vector<std::string> list{"wav", "mp3", "mp2", "mp1", "ogg", "flac", "aiff", "aif"};
    for (std::string ext : openmpt::get_supported_extensions()) {
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (std::find(list.begin(), list.end(), ext) == list.end()) list.push_back(ext);
    }
    return list;
}

} // namespace zen::audio
