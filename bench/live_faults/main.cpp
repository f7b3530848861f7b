// Faults struck at a live set of the real console and decks on the display and a JACK server of
// the set's own: a deck killed while it plays, the console killed and started again, the sound
// server killed and started again. Prints what the DJ hears of each as name=value lines at the
// end.
//   live_faults [--scenario NAME]... [--runs N] [--load N]
//     --scenario  deck, console, server (default: all, in that order)
//     --runs      times each fault is struck (default 2; deck faults alternate between the decks)
//     --load      processes that keep a core busy each for the whole run (default 0)

#include "BusyLoad.h"
#include "Programs.h"
#include "Scenarios.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const Scenario kScenarios[] = {
    {"deck", deckRestart},
    {"console", consoleTakeover},
    {"server", serverReturn},
};

int fail(const char* why) {
    std::fprintf(stderr, "live_faults: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const Scenario*> chosen;
    int runs = 2, load = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--load") == 0) load = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--scenario") != 0) continue;
        const Scenario* found = nullptr;
        for (const Scenario& scenario : kScenarios)
            if (std::strcmp(scenario.name, argv[i + 1]) == 0) found = &scenario;
        if (!found) return fail("no such scenario");
        chosen.push_back(found);
    }
    if (chosen.empty())
        for (const Scenario& scenario : kScenarios)
            chosen.push_back(&scenario);
    // Forked before any thread starts.
    const auto busy = std::make_unique<zen::bench::BusyLoad>(load);
    QCoreApplication app(argc, argv);
    if (!zen::e2e::servicesRunning())
        return fail("needs a display and a JACK server: eval $(scripts/services start)");

    LiveSet set;
    QString error;
    if (!set.start(error)) return fail(error.toLocal8Bit().constData());
    Figures figures;
    for (const Scenario* scenario : chosen)
        for (auto& figure : scenario->run(set, runs))
            figures.push_back(figure);
    set.console().pressEngine();
    for (const auto& [name, value] : figures)
        if (value == std::floor(value))
            std::printf("%s=%.0f\n", name.c_str(), value);
        else
            std::printf("%s=%.1f\n", name.c_str(), value);
    return 0;
}
