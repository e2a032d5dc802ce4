// Package bytes from the fuzzer through the whole book reader: load every setting and
// picture, then extract every entry once.

#include "Book.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace {

// The book reads a file by name; a memory file keeps the disk out of the loop.
int PackageFile()
{
    static const int fd = memfd_create("package", MFD_CLOEXEC);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = PackageFile();
    if (fd < 0 || ftruncate(fd, 0) != 0)
        __builtin_trap();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            __builtin_trap();
        done += static_cast<std::size_t>(n);
    }

    folianto::TBook book("/proc/self/fd/" + std::to_string(fd));
    for (int i = 0; i < book.FontCount(); ++i)
        (void)book.Font(i).size();
    for (int i = 0; i < book.SkinButtonCount(); ++i)
        (void)book.SkinButton(i).Image.Width;
    for (int i = 0; i < book.ToolbarButtonCount(); ++i)
        (void)book.ToolbarButton(i).Hint.size();

    // Every name once: duplicates only find their first row again, and rows that share a
    // record would only inflate the same bytes again.
    std::set<std::int32_t> offsets;
    for (const auto& entry : book.Entries) {
        if (!offsets.insert(entry.Offset).second)
            continue;
        folianto::Bytes content;
        const bool found = book.ExtractEntry(entry.Name, content);
        (void)found;
    }
    // An empty start page falls back to the first row's name.
    if (book.Loaded && book.StartPage.empty() && !book.Entries.empty() && !book.Entries.front().Name.empty())
        __builtin_trap();
    return 0;
}
