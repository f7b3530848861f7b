#pragma once

#include "common/sound/Outputs.h"

// Each sound server's part of the list. Each appends the entries of its outputs (no default
// entry) and returns true when its server answered with at least one output; otherwise `why` says,
// naming the server, what it answered.
namespace zen::sound {

bool listJackOutputs(std::vector<Output>& list, std::string& why);
bool listPulseOutputs(std::vector<Output>& list, std::string& why);
bool listAlsaOutputs(std::vector<Output>& list, std::string& why);

} // namespace zen::sound
