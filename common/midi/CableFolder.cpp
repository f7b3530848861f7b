#include "common/midi/CableFolder.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace zen::midi {

namespace {

// The longest socket name a receiver binds: "cable8-" + process number (at most 7 digits) + "-"
// + counter (at most 10 digits) + ".sock". The folder must leave room for it and a "/".
constexpr std::size_t kLongestSocketName = 7 + 7 + 1 + 10 + 5;
constexpr std::size_t kLongestFolder = sizeof(sockaddr_un{}.sun_path) - 1 - 1 - kLongestSocketName;

bool isFolder(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// Creates the folder when it is missing and checks it; empty when it may be used, the reason
// otherwise.
std::string prepareCableFolder(const std::string& folder) {
    if (folder.size() > kLongestFolder)
        return "The MIDI cable folder " + folder + " is too long a path for the cables (at most " +
               std::to_string(kLongestFolder) + " characters)";
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return "Cannot create the MIDI cable folder " + folder + ": " + std::strerror(errno);
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0)
        return "Cannot read the MIDI cable folder " + folder + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return "The MIDI cable folder " + folder + " is not a folder; remove it";
    const uid_t owner = cableFolderOwner ? cableFolderOwner(folder, st.st_uid) : st.st_uid;
    if (owner != geteuid())
        return "The MIDI cable folder " + folder +
               " belongs to another user; remove it so that it can be made again";
    if ((st.st_mode & 077) != 0)
        return "The MIDI cable folder " + folder +
               " is open to other users; make it private (chmod 700) or remove it";
    return {};
}

} // namespace

std::string cableName(int cable) {
    return "MIDI Yoke " + std::to_string(cable);
}

std::string firstCableFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isFolder(runtime))
        return std::string(runtime) + "/zentari-midi";
    return "/tmp/zentari-midi-" + std::to_string(geteuid());
}

std::string fallbackCableFolder() {
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.cache/zentari-midi";
}

std::string openCableFolder(std::string& error) {
    const std::string first = firstCableFolder();
    const std::string firstRefused = prepareCableFolder(first);
    if (firstRefused.empty()) return first;
    const std::string fallback = fallbackCableFolder();
    std::string fallbackRefused = "There is no home folder to hold the MIDI cables";
    if (!fallback.empty()) {
        // The parent may be missing in a fresh home; what fails here shows in the check below.
        mkdir(fallback.substr(0, fallback.rfind('/')).c_str(), 0700);
        fallbackRefused = prepareCableFolder(fallback);
        if (fallbackRefused.empty()) return fallback;
    }
    error = firstRefused + ". " + fallbackRefused;
    return {};
}

std::string cableSocketPrefix(int cable) {
    return "cable" + std::to_string(cable) + "-";
}

std::string cableSocketName(int cable, long pid, unsigned count) {
    return cableSocketPrefix(cable) + std::to_string(pid) + "-" + std::to_string(count) + ".sock";
}

long cableSocketOwner(const std::string& fileName, int cable) {
    const std::string prefix = cableSocketPrefix(cable);
    if (fileName.rfind(prefix, 0) != 0) return 0;
    const std::size_t end = fileName.find('-', prefix.size());
    if (end == std::string::npos) return 0;
    long pid = 0;
    const char* first = fileName.data() + prefix.size();
    const char* last = fileName.data() + end;
    const auto [stop, error] = std::from_chars(first, last, pid);
    return error == std::errc() && stop == last ? pid : 0;
}

} // namespace zen::midi
