// Writes the tempo corpus: bpm_corpus_gen <folder> [pieces per style] [seed base] [kind...]
// The default is the benchmark's corpus: 20 pieces per style, seed base 0. Kinds are named as in
// the benchmark's figures ("compound", "triplet_feel", ...); without any, every kind is written.
#include "Corpus.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [pieces per style] [seed base] [kind...]\n",
                     argv[0]);
        return 2;
    }
    const int perStyle = argc > 2 ? std::atoi(argv[2]) : 20;
    const int seedBase = argc > 3 ? std::atoi(argv[3]) : 0;
    std::vector<std::string> kinds;
    for (int i = 4; i < argc; ++i) {
        if (!zen::corpus::isKind(argv[i])) {
            std::fprintf(stderr, "%s is no kind of material of the corpus\n", argv[i]);
            return 2;
        }
        kinds.emplace_back(argv[i]);
    }
    if (perStyle < 1 || !zen::corpus::writeCorpus(argv[1], perStyle, seedBase, kinds)) {
        std::fprintf(stderr, "could not write the corpus to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
