// In-process inflation speed of one entry, read and inflated on one thread: the bound on
// how fast the page server can answer for an entry too large to keep in its cache.
#include "Book.h"
#include "EntryStreams.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BOOK ENTRY [ROUNDS]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 10;
    folianto::TBook book(argv[1]);
    if (!book.Loaded) {
        std::fprintf(stderr, "Invalid eBook\n");
        return 1;
    }
    // A first extraction gives the size; every timed one then does what the page server's
    // producer does for an entry whose size it remembers: it inflates into a fresh buffer
    // of that size, piece by piece, each piece handed over as it is done.
    folianto::Bytes first;
    if (!book.ExtractEntry(argv[2], first)) {
        std::fprintf(stderr, "entry %s not found\n", argv[2]);
        return 1;
    }
    std::size_t bytes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        folianto::TGrowingBuffer content(first.size());
        if (!folianto::InflateEntryInto(book, argv[2], content)) {
            std::fprintf(stderr, "entry %s did not inflate to its size\n", argv[2]);
            return 1;
        }
        bytes += content.Size();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f\n", bytes / seconds / 1e6);
    return 0;
}
