#include "common/sound/JackClient.h"

#include <jack/jack.h>

#include <cstdlib>
#include <mutex>

namespace zen::sound {

namespace {
void quiet(const char*) {}
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

} // namespace zen::sound
