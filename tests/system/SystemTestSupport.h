#pragma once

#include "ConsoleRun.h"
#include "KeyInjector.h"
#include "Programs.h"
#include "Recording.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

// What the system tests share: the real console and its decks on the display and the sound
// server of scripts/services, keys pressed as a DJ presses them, and the sound the decks make.
namespace zen::system {

using zen::e2e::run;
// The file's bytes, or "missing" when it cannot be read.
QByteArray fileBytes(const QString& path);

// Skips when the display or the sound server is missing.
class SystemTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Presses the key and releases it, held well past the console's 5 ms poll.
    void tap(std::uint32_t keysym);
    // Clicks the engine button and checks what START gives the DJ: both deck windows in their
    // places, listening on their cables, each with a copy of the settings in `settingsFolder`.
    // Returns the deck windows, deck 1's first; empty when they did not show.
    QStringList startEngine(const QString& settingsFolder);
    // Clicks the engine button and checks that the running decks end cleanly and let go of
    // their cables.
    void stopEngine();
    // Half a second of what the decks play on the left channel.
    std::vector<float> listen();

    zen::bench::ConsoleRun console;
    zen::bench::KeyInjector keys;
    QTemporaryDir work;

private:
    // The cable sockets of a process: one for each input it listens on.
    QStringList socketsOf(pid_t process) const;

    int takes_ = 0;
};

} // namespace zen::system
