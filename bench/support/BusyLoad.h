#pragma once

#include <sys/types.h>
#include <vector>

namespace zen::bench {

// A busy machine, as a DJ's is while a deck decodes and analyses a track: processes that each
// keep a core busy at normal priority for as long as this lives. Make it before any thread.
class BusyLoad {
public:
    explicit BusyLoad(int processes);
    ~BusyLoad();
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

private:
    std::vector<pid_t> processes_;
};

} // namespace zen::bench
