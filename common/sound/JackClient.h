#pragma once

#include <string>

typedef struct _jack_client jack_client_t;

// Opening a client of the JACK server the environment names (JACK_DEFAULT_SERVER, else
// "default"), as both programs do: never starting a server, and with libjack's own complaints kept
// off the terminal (they would repeat what the caller says better).
namespace zen::sound {

std::string jackServerName();

// nullptr and the reason, naming the server, in `why` when no server takes the client. The
// server may give the client another name when `name` is taken.
jack_client_t* openJackClient(const std::string& name, std::string& why);

} // namespace zen::sound
