#include "common/sound/PulseServer.h"

#include <pulse/pulseaudio.h>

#include <cstdlib>

namespace zen::sound {

std::string pulseServerName() {
    const char* server = std::getenv("PULSE_SERVER");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string where = server && *server     ? server
                              : runtime && *runtime ? std::string(runtime) + "/pulse/native"
                                                    : std::string("its usual place");
    return "PipeWire/PulseAudio server (" + where + ")";
}

pa_context* newPulseContext(pa_mainloop_api* api, const std::string& name) {
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, name.c_str());
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "zentari-dj");
    pa_context* context = pa_context_new_with_proplist(api, name.c_str(), props);
    pa_proplist_free(props);
    return context;
}

std::string pulseProblem(pa_context* context) {
    const int error = context ? pa_context_errno(context) : PA_ERR_INTERNAL;
    if (error == PA_ERR_CONNECTIONREFUSED || error == PA_ERR_NOENTITY)
        return pulseServerName() + " is not running";
    return pulseServerName() + ": " + pa_strerror(error);
}

} // namespace zen::sound
