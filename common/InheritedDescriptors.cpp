#include "common/InheritedDescriptors.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <unistd.h>
#include <vector>

namespace zen {

namespace {

// A compositor that starts a program itself hands it its connection as a descriptor.
int handedWaylandSocket() {
    const char* value = std::getenv("WAYLAND_SOCKET");
    if (!value || !*value) return -1;
    char* end = nullptr;
    const long fd = std::strtol(value, &end, 10);
    return *end == '\0' && fd > 2 && fd < INT_MAX ? static_cast<int>(fd) : -1;
}

void closeFrom(unsigned first, unsigned last) {
    if (first > last || close_range(first, last, 0) == 0) return;
    // Kernels before 5.9: the descriptors the process has, as /proc lists them.
    std::vector<int> open;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(folder))
            if (entry->d_name[0] != '.') open.push_back(std::atoi(entry->d_name));
        const int own = dirfd(folder);
        closedir(folder);
        for (const int fd : open)
            if (fd != own && static_cast<unsigned>(fd) >= first &&
                static_cast<unsigned>(fd) <= last)
                close(fd);
    }
}

} // namespace

void closeInheritedDescriptors() {
    const int kept = handedWaylandSocket();
    if (kept < 0) {
        closeFrom(3, UINT_MAX);
        return;
    }
    closeFrom(3, static_cast<unsigned>(kept) - 1);
    closeFrom(static_cast<unsigned>(kept) + 1, UINT_MAX);
}

} // namespace zen
