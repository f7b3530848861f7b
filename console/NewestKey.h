#pragma once

#include <bitset>
#include <vector>

namespace zen::console {

// The set-1 codes of the keys held down at one moment.
using KeySet = std::bitset<256>;

// Which of the held keys counts, for every back end of the keyboard component: the newest key
// still held. Its release gives 0 even while older keys stay down, so releasing deck 2's key
// never sends deck 1's again. Each press counts once, also a tap that went down and up again
// before the next poll (it counts for that one poll, and its release at the next), and a key
// released and pressed again (its release first): keys that go down together are reported one
// poll after the other, in code order, so two decks started with one stroke both start.
class NewestKey {
public:
    // The keys held now; those not held at the previous call went down since.
    void observe(const KeySet& held);
    // The code that counts at this poll, 0 when none.
    int poll();

private:
    KeySet held_;
    // Pressed and not yet reported, oldest first; a tap stays here after its release.
    std::vector<int> unreported_;
    int current_ = 0;
    // The current key went up since the last poll.
    bool currentReleased_ = false;
};

} // namespace zen::console
