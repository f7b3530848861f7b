#include "common/midi/CableFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zen::midi {

std::string cableName(int cable) {
    return "MIDI Yoke " + std::to_string(cable);
}

std::string cableFolderPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return std::string(runtime) + "/zentari-midi";
    return "/tmp/zentari-midi-" + std::to_string(geteuid());
}

std::string prepareCableFolder(const std::string& folder) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return "Cannot create the MIDI cable folder " + folder + ": " + std::strerror(errno);
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0)
        return "Cannot read the MIDI cable folder " + folder + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return "The MIDI cable folder " + folder + " is not a folder; remove it";
    if (st.st_uid != geteuid())
        return "The MIDI cable folder " + folder +
               " belongs to another user; remove it so that it can be made again";
    if ((st.st_mode & 077) != 0)
        return "The MIDI cable folder " + folder +
               " is open to other users; make it private (chmod 700) or remove it";
    return {};
}

std::string cableSocketPrefix(int cable) {
    return "cable" + std::to_string(cable) + "-";
}

} // namespace zen::midi
