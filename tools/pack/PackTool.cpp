// folianto-pack: builds a book from its description, checks its links, shows what a book
// holds, and extracts its files.

#include "BookCheck.h"
#include "BookJson.h"
#include "CheckReport.h"
#include "CodePage.h"
#include "Extract.h"
#include "Inspect.h"
#include "PackageWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace folianto;

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  folianto-pack build BOOK.json -o OUT [--reader PATH] [--package-only] [--strict]\n"
    "  folianto-pack check [--json] BOOK.json|BOOK\n"
    "  folianto-pack inspect [--json] BOOK\n"
    "  folianto-pack extract BOOK DIR\n";

// The file name ending under which desktops open a book package with the reader.
constexpr const char* kPackageExtension = ".folianto";

int UsageError(const std::string& message)
{
    std::cerr << "folianto-pack: " << message << "\n" << kUsage;
    return 2;
}

fs::path OwnFolder()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : self.parent_path();
}

// Writes next to the target and renames, so a failed build never leaves half a book.
void WriteOutput(const fs::path& target, const Bytes& front, const Bytes& package, bool executable)
{
    const fs::path temporary = target.string() + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error("cannot create \"" + temporary.string() + "\": " + std::strerror(errno));
        out.write(reinterpret_cast<const char*>(front.data()), static_cast<std::streamsize>(front.size()));
        out.write(reinterpret_cast<const char*>(package.data()), static_cast<std::streamsize>(package.size()));
        out.close();
        if (!out) {
            fs::remove(temporary);
            throw std::runtime_error("cannot write \"" + temporary.string() + "\"");
        }
    }
    if (chmod(temporary.c_str(), executable ? 0755 : 0644) != 0 || rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        fs::remove(temporary);
        throw std::runtime_error("cannot write \"" + target.string() + "\": " + std::strerror(error));
    }
}

int Build(const std::vector<std::string>& args)
{
    std::string json, output, readerPath;
    bool packageOnly = false, strict = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((arg == "-o" || arg == "--reader") && i + 1 < args.size())
            (arg == "-o" ? output : readerPath) = args[++i];
        else if (arg == "--package-only")
            packageOnly = true;
        else if (arg == "--strict")
            strict = true;
        else if (!arg.starts_with("-") && json.empty())
            json = arg;
        else
            return UsageError("unexpected argument \"" + arg + "\"");
    }
    if (json.empty() || output.empty())
        return UsageError("build needs BOOK.json and -o OUT");
    if (packageOnly && !readerPath.empty())
        return UsageError("--reader and --package-only exclude each other");

    try {
        Bytes reader;
        if (!packageOnly) {
            const fs::path path = readerPath.empty() ? OwnFolder() / "folianto" : fs::path(readerPath);
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                std::cerr << "folianto-pack: the reader program \"" << path.string() << "\" was not found or cannot be read"
                          << (readerPath.empty() ? "; build it first, name one with --reader PATH, or write the package "
                                                   "alone with --package-only"
                                                 : "")
                          << "\n";
                return 1;
            }
            reader.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }

        const TBookDescription description = ReadBookJson(json);
        const TCheckResult findings = CheckBook(CheckedBookOf(description, json));
        std::cerr << BuildCheckText(findings, strict);
        if (strict && findings.Count(TFindingKind::Error) > 0) {
            std::cerr << "folianto-pack: the check found errors; nothing written (--strict)\n";
            return 1;
        }
        const Bytes package = WritePackage(description, static_cast<std::int64_t>(reader.size()));
        WriteOutput(output, reader, package, !packageOnly);

        // Read the result back the way the reader will, so a broken book never ships.
        TBook check(output);
        if (!check.Loaded)
            throw std::runtime_error("the written book does not load: " + check.LoadError);
        std::cout << "Wrote \"" << output << "\": " << check.Entries.size() << " entries, " << package.size()
                  << " bytes of package" << (packageOnly ? "" : " behind " + std::to_string(reader.size()) +
                                                                  " bytes of reader")
                  << ", start page \"" << Cp1252ToUtf8(check.StartPage) << "\"\n";
        if (packageOnly && fs::path(output).extension() != kPackageExtension)
            std::cout << "Name book packages \"*" << kPackageExtension << "\" (for example \""
                      << fs::path(output).replace_extension(kPackageExtension).string()
                      << "\") so that a double-click opens them in the installed reader\n";
        if (!packageOnly)
            std::cout << "The book program needs the Qt 6 libraries of the reader (Qt Widgets, Qt WebEngine) "
                         "on every computer that runs it; installing the folianto package brings them\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "folianto-pack: " << error.what() << "\n";
        return 1;
    }
}

// "[--json] FILE", as inspect and check take them; a usage error's exit status otherwise.
std::optional<int> ReadJsonFlagAndFile(const std::vector<std::string>& args, const std::string& needs, bool& asJson,
                                       std::string& file)
{
    for (const auto& arg : args) {
        if (arg == "--json")
            asJson = true;
        else if (!arg.starts_with("-") && file.empty())
            file = arg;
        else
            return UsageError("unexpected argument \"" + arg + "\"");
    }
    if (file.empty())
        return UsageError(needs);
    return std::nullopt;
}

int Inspect(const std::vector<std::string>& args)
{
    bool asJson = false;
    std::string file;
    if (const auto usage = ReadJsonFlagAndFile(args, "inspect needs BOOK", asJson, file))
        return *usage;
    try {
        const TBook book(file);
        if (asJson)
            std::cout << InspectJson(book).dump(2) << "\n";
        else
            std::cout << InspectText(book);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "folianto-pack: " << error.what() << "\n";
        return 1;
    }
}

int Check(const std::vector<std::string>& args)
{
    bool asJson = false;
    std::string file;
    if (const auto usage = ReadJsonFlagAndFile(args, "check needs BOOK.json or BOOK", asJson, file))
        return *usage;
    try {
        std::error_code error;
        if (fs::is_directory(file, error))
            file = (fs::path(file) / "book.json").string();
        TCheckResult result;
        const std::string extension = fs::path(file).extension().string();
        if (extension.size() == 5 && FoldedName(extension) == ".json") {
            const TBookDescription description = ReadBookJson(file);
            result = CheckBook(CheckedBookOf(description, file));
        } else {
            TBook book(file);
            result = CheckBook(CheckedBookOf(book, file));
        }
        if (asJson)
            std::cout << CheckReportJson(result).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        else
            std::cout << CheckReportText(result);
        return result.Count(TFindingKind::Error) > 0 ? 1 : 0;
    } catch (const std::exception& error) {
        std::cerr << "folianto-pack: " << error.what() << "\n";
        return 1;
    }
}

int Extract(const std::vector<std::string>& args)
{
    if (args.size() != 2 || args[0].starts_with("-") || args[1].starts_with("-"))
        return UsageError("extract needs BOOK and DIR");
    try {
        TBook book(args[0]);
        return ExtractBook(book, args[1], std::cout, std::cerr) ? 0 : 1;
    } catch (const std::exception& error) {
        std::cerr << "folianto-pack: " << error.what() << "\n";
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return UsageError("a command is needed");
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "build")
        return Build(args);
    if (command == "check")
        return Check(args);
    if (command == "inspect")
        return Inspect(args);
    if (command == "extract")
        return Extract(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    return UsageError("unknown command \"" + command + "\"");
}
