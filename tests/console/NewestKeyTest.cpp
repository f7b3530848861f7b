#include "console/NewestKey.h"

#include <gtest/gtest.h>

#include <vector>

using zen::console::KeySet;
using zen::console::NewestKey;

TEST(NewestKeyTest, TheNewestKeyStillHeldCountsAndEachPressOnce) {
    // What the keyboard showed since the last poll, and what the poll gives. 30 stands for deck
    // 1's play key, 48 for deck 2's.
    const struct {
        std::vector<std::vector<int>> seen;
        int polled;
    } steps[] = {
        {{{30}}, 30}, {{{30}}, 30},     {{{30, 48}}, 48}, // the second key counts
        {{{30}}, 0},                    // its release gives 0 although 30 is still held
        {{{30}}, 0},                    // and 30 is not reported again
        {{{}}, 0},    {{{30}}, 30},     // until pressed anew
        {{{48}}, 48},                   // from key to key between two polls
        {{{}}, 0},    {{{48, 30}}, 30}, // pressed together: reported in turn
        {{}, 48},     {{}, 48},         {{{48, 31}, {48}}, 48}, // a tap between polls: never
    };
    NewestKey newest;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        for (const auto& codes : steps[i].seen) {
            KeySet held;
            for (int code : codes)
                held.set(code);
            newest.observe(held);
        }
        EXPECT_EQ(newest.poll(), steps[i].polled) << "step " << i;
    }
}
