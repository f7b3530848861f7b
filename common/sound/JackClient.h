#pragma once

#include <functional>
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

// Runs `use` with the client the process reads the server's ports through, kept open from the
// first call on: libjack can hang for good in jack_client_close when the server notifies the
// client while it closes (another client joining or leaving), and every later open in the process
// with it, so a client opened for each listing would now and then freeze a deck or the console.
// The ports lie in the memory the client shares with the server: reading them asks the server
// nothing. A client whose server went away is left unclosed (closing it would ask the gone
// server) and the next call opens another. False, and the reason in `why`, when no server takes
// the client.
bool withPortReader(const std::function<void(jack_client_t*)>& use, std::string& why);

} // namespace zen::sound
