#include "console/NewestKey.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

using zen::console::KeySet;
using zen::console::NewestKey;

namespace {

KeySet keys(std::initializer_list<int> codes) {
    KeySet held;
    for (int code : codes)
        held.set(code);
    return held;
}

} // namespace

TEST(NewestKeyTest, TheNewestKeyStillHeldCountsAndEachPressOnce) {
    // 30 stands for deck 1's play key, 48 for deck 2's.
    const std::vector<std::pair<KeySet, int>> polls = {
        {keys({30}), 30}, {keys({30}), 30}, {keys({30, 48}), 48}, // the second key counts
        {keys({30}), 0},                    // its release gives 0 although 30 is still held
        {keys({30}), 0},                    // and 30 is not reported again
        {keys({}), 0},    {keys({30}), 30}, // until pressed anew
        {keys({48}), 48},                   // from key to key between two polls
    };
    NewestKey newest;
    for (std::size_t i = 0; i < polls.size(); ++i) {
        newest.observe(polls[i].first);
        EXPECT_EQ(newest.poll(), polls[i].second) << "poll " << i;
    }
}

TEST(NewestKeyTest, KeysPressedTogetherAreReportedInTurnAndATapBetweenPollsNever) {
    NewestKey newest;
    newest.observe(keys({48, 30}));
    EXPECT_EQ(newest.poll(), 30);
    EXPECT_EQ(newest.poll(), 48) << "the other key at the next poll";
    EXPECT_EQ(newest.poll(), 48);
    newest.observe(keys({48, 31}));
    newest.observe(keys({48}));
    EXPECT_EQ(newest.poll(), 48);
}
