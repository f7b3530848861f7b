#include "MpegLength.h"

#include <mpg123.h>

namespace zen::audio {

namespace {

ssize_t readCallback(void* handle, void* dst, size_t bytes) {
    return static_cast<ssize_t>(
        static_cast<FileCursor*>(handle)->read(dst, static_cast<std::int64_t>(bytes)));
}

off_t seekCallback(void* handle, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<FileCursor*>(handle)->seek(offset, whence));
}

} // namespace

std::int64_t scanMpegLength(const std::shared_ptr<const AudioFile>& file) {
    static const bool ready = mpg123_init() == MPG123_OK;
    if (!ready) return -1;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle) return -1;
    FileCursor reader(file);
    std::int64_t length = -1;
    if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0) == MPG123_OK &&
        mpg123_replace_reader_handle(handle, readCallback, seekCallback, nullptr) == MPG123_OK &&
        mpg123_open_handle(handle, &reader) == MPG123_OK && mpg123_scan(handle) == MPG123_OK) {
        const off_t samples = mpg123_length(handle);
        if (samples > 0) length = samples;
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return length;
}

} // namespace zen::audio
