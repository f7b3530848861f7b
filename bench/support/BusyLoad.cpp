#include "BusyLoad.h"

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zen::bench {

BusyLoad::BusyLoad(int processes) {
    for (int i = 0; i < processes; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            // Gone with the benchmark, should it die first.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
        if (child > 0) processes_.push_back(child);
    }
}

BusyLoad::~BusyLoad() {
    for (pid_t child : processes_) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
}

} // namespace zen::bench
