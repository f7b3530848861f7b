#pragma once

#include <string>

struct pa_context;
struct pa_mainloop_api;

// What both programs share of the PulseAudio protocol, which PipeWire serves too (pipewire-pulse).
namespace zen::sound {

// "PipeWire/PulseAudio server" with the place it was looked for.
std::string pulseServerName();
// A context named `name` (the application name the server shows and remembers streams by).
pa_context* newPulseContext(pa_mainloop_api* api, const std::string& name);
// Why the context failed, naming the server; also for a context that could not be made.
std::string pulseProblem(pa_context* context);

} // namespace zen::sound
