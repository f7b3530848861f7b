#pragma once

#include <bitset>
#include <vector>

namespace zen::console {

// The set-1 codes of the keys held down at one moment.
using KeySet = std::bitset<256>;

// Which of the held keys counts, for every back end of the keyboard component: the newest key
// still held. Its release gives 0 even while older keys stay down, so releasing deck 2's key
// never sends deck 1's again. Each press counts once: keys that go down together are reported
// one poll after the other, in code order, so two decks started with one stroke both start.
class NewestKey {
public:
    // The keys held now; those not held at the previous call went down since.
    void observe(const KeySet& held);
    // The code that counts at this poll, 0 when none.
    int poll();

private:
    KeySet held_;
    // Pressed, still held and not yet reported, oldest first.
    std::vector<int> unreported_;
    int current_ = 0;
};

} // namespace zen::console
