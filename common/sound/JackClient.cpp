#include "common/sound/JackClient.h"

#include <jack/jack.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>

namespace zen::sound {

namespace {

void quiet(const char*) {}

// The file descriptors the process has open.
std::set<int> openDescriptors() {
    std::set<int> open;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error))
        open.insert(std::atoi(entry.path().filename().c_str()));
    return open;
}

} // namespace

std::string jackServerName() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name && *name ? name : "default";
}

jack_client_t* openJackClient(const std::string& name, std::string& why) {
    static std::once_flag quietened;
    std::call_once(quietened, [] {
        jack_set_error_function(&quiet);
        jack_set_info_function(&quiet);
    });
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client) return client;
    const std::string server = "JACK server \"" + jackServerName() + "\"";
    if (status & JackServerFailed)
        why = server + " is not running";
    else if (status & (JackVersionError | JackShmFailure))
        why = server + " is of another JACK version or cannot share its memory with us";
    else
        why = server + " refused the client";
    return nullptr;
}

bool withPortReader(const std::function<void(jack_client_t*)>& use, std::string& why) {
    struct Reader {
        std::mutex mutex;
        jack_client_t* client = nullptr;
        std::string server;
        std::atomic<bool>* gone = nullptr; // set by libjack's thread; left with its client
    };
    // Never destroyed: the client stays open until the process ends.
    static Reader* const reader = new Reader;
    const std::lock_guard lock(reader->mutex);
    // One whose server went away, or of a server the environment no longer names (a test or a
    // benchmark moving between servers), is left as it is.
    if (reader->client && (reader->gone->load() || reader->server != jackServerName()))
        reader->client = nullptr;
    if (!reader->client) {
        const std::set<int> before = openDescriptors();
        reader->client = openJackClient("Zentari DJ outputs", why);
        if (!reader->client) return false;
        // Its sockets are not for the programs this process starts (the console starts the
        // decks): held by a deck after the console died, the server would go on writing to a
        // client nobody reads until its socket is full, and hang there.
        for (const int fd : openDescriptors())
            if (!before.contains(fd)) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
        reader->server = jackServerName();
        reader->gone = new std::atomic<bool>(false);
        jack_on_shutdown(
            reader->client, [](void* gone) { static_cast<std::atomic<bool>*>(gone)->store(true); },
            reader->gone);
    }
    use(reader->client);
    return true;
}

} // namespace zen::sound
