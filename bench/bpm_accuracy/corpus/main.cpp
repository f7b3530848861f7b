// Writes the tempo corpus: bpm_corpus_gen <folder> [pieces per style] [seed base]
#include "Corpus.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder> [pieces per style] [seed base]\n", argv[0]);
        return 2;
    }
    const int perStyle = argc > 2 ? std::atoi(argv[2]) : 10;
    const int seedBase = argc > 3 ? std::atoi(argv[3]) : 0;
    if (perStyle < 1 || !zen::corpus::writeCorpus(argv[1], perStyle, seedBase)) {
        std::fprintf(stderr, "could not write the corpus to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
