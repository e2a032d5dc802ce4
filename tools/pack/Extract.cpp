#include "Extract.h"

#include "CodePage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace folianto {

namespace fs = std::filesystem;

std::optional<fs::path> SafeEntryPath(std::string_view packageName)
{
    if (packageName.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string name = Cp1252ToUtf8(packageName);
    fs::path result;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        const std::string part = name.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..")
            result /= part;
        start = end + 1;
    }
    if (result.empty())
        return std::nullopt;
    return result;
}

namespace {

std::string Describe(int error) { return std::strerror(error); }

struct TWriteOutcome {
    std::string Problem;   // empty when the file was written
    bool Skipped = false;  // a symbolic link stands where a folder or the file goes
};

TWriteOutcome SymbolicLinkAt(const fs::path& path)
{
    return {"\"" + path.string() + "\" is a symbolic link, which extract never writes through", true};
}

// Creates the folders of relative below root one by one, refusing to pass through a
// symbolic link that could lead elsewhere; then writes the file without following one.
TWriteOutcome WriteBelow(const fs::path& root, const fs::path& relative, const Bytes& content)
{
    fs::path at = root;
    const fs::path parent = relative.parent_path();
    for (const auto& part : parent) {
        at /= part;
        struct stat info {};
        if (lstat(at.c_str(), &info) == 0) {
            if (S_ISLNK(info.st_mode))
                return SymbolicLinkAt(at);
            if (!S_ISDIR(info.st_mode))
                return {"\"" + at.string() + "\" exists and is not a folder"};
        } else if (mkdir(at.c_str(), 0755) != 0 && errno != EEXIST) {
            return {"cannot create folder \"" + at.string() + "\": " + Describe(errno)};
        }
    }
    const fs::path file = root / relative;
    // O_NOFOLLOW refuses a link at the file's place, even one planted after a look.
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno == ELOOP)
        return SymbolicLinkAt(file);
    if (fd < 0)
        return {"cannot create \"" + file.string() + "\": " + Describe(errno)};
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            close(fd);
            return {"cannot write \"" + file.string() + "\": " + Describe(error)};
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0)
        return {"cannot write \"" + file.string() + "\": " + Describe(errno)};
    return {};
}

}  // namespace

bool ExtractBook(TBook& book, const fs::path& folder, std::ostream& out, std::ostream& err)
{
    bool ok = true;
    if (!book.Loaded) {
        err << "The book did not load completely (" << book.LoadError << "); extracting the "
            << book.Entries.size() << " entries read\n";
        ok = false;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        err << "Cannot create folder \"" << folder.string() << "\": " << error.message() << "\n";
        return false;
    }

    std::map<fs::path, std::string> written;  // target -> entry name (UTF-8)
    int count = 0;
    for (std::size_t row = 0; row < book.Entries.size(); ++row) {
        const std::string& name = book.Entries[row].Name;
        const std::string shown = Cp1252ToUtf8(name);

        std::size_t first = 0;
        while (!SameNameIgnoringCase(book.Entries[first].Name, name))
            ++first;
        if (first != row) {
            out << "Skipped \"" << shown << "\" (row " << row + 1 << "): same name as row " << first + 1
                << ", which the reader serves instead\n";
            continue;
        }

        const auto relative = SafeEntryPath(name);
        if (!relative) {
            err << "Cannot map entry name \"" << shown << "\" (row " << row + 1 << ") to a file name\n";
            ok = false;
            continue;
        }
        if (const auto [previous, added] = written.emplace(*relative, shown); !added) {
            err << "Entry \"" << shown << "\" (row " << row + 1 << ") would land on \"" << relative->generic_string()
                << "\", already written for \"" << previous->second << "\"\n";
            ok = false;
            continue;
        }

        Bytes content;
        if (!book.ExtractEntry(name, content)) {
            err << "Cannot inflate entry \"" << shown << "\" (row " << row + 1 << ")\n";
            ok = false;
            continue;
        }
        if (const auto outcome = WriteBelow(folder, *relative, content); !outcome.Problem.empty()) {
            err << (outcome.Skipped ? "Skipped entry \"" : "Cannot write entry \"") << shown << "\": " << outcome.Problem
                << "\n";
            ok = false;
            continue;
        }
        ++count;
        if (relative->generic_string() != shown.substr(shown.starts_with("/") ? 1 : 0))
            out << "Wrote \"" << shown << "\" as \"" << relative->generic_string() << "\" (unsafe parts dropped)\n";
    }
    out << "Extracted " << count << " of " << book.Entries.size() << " entries to \"" << folder.string() << "\"\n";
    return ok;
}

}  // namespace folianto
