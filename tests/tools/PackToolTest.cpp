// folianto-pack as an author uses it: build a book from book.json, read it back with
// inspect and extract, and get clear errors for descriptions and packages that are wrong.

#include "Book.h"
#include "Extract.h"
#include "PackageWriter.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;
using json = nlohmann::json;
using namespace folianto;

namespace {

// The environment names both folders; the build's own paths stand in where it does not.
fs::path FromEnvironment(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return fs::path(value && *value ? value : fallback);
}
fs::path Source() { return FromEnvironment("FOLIANTO_SOURCE", FOLIANTO_SOURCE_DIR); }
fs::path PackTool() { return FromEnvironment("FOLIANTO_BIN", FOLIANTO_BIN_DIR) / "folianto-pack"; }
fs::path Sample() { return Source() / "samples" / "sample-book"; }

Bytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadText(const fs::path& path)
{
    const Bytes bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteFile(const fs::path& path, std::string_view content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
}

void WriteFile(const fs::path& path, const Bytes& content)
{
    WriteFile(path, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
}

std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct TRun {
    int Exit = -1;
    std::string Out, Err;
};

// Every file below root, as "/"-separated relative names.
std::set<std::string> FilesBelow(const fs::path& root)
{
    std::set<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.is_symlink() || !item.is_directory())
            names.insert(item.path().lexically_relative(root).generic_string());
    return names;
}

class PackToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "folianto-pack-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    TRun Run(const std::vector<std::string>& args, const fs::path& program = PackTool())
    {
        std::string command = Quote(program.string());
        for (const auto& arg : args)
            command += " " + Quote(arg);
        const fs::path out = dir_ / "run.out", err = dir_ / "run.err";
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
        const int status = std::system(command.c_str());
        TRun run;
        run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.Out = ReadText(out);
        run.Err = ReadText(err);
        fs::remove(out);
        fs::remove(err);
        return run;
    }

    json InspectJson(const fs::path& book)
    {
        const TRun run = Run({"inspect", "--json", book.string()});
        EXPECT_EQ(run.Exit, 0) << run.Err;
        return json::parse(run.Out);
    }

    // Builds a package alone from a description written into its own folder.
    TRun BuildPackage(const std::string& description, const fs::path& output)
    {
        WriteFile(dir_ / "book" / "book.json", description);
        return Run({"build", (dir_ / "book" / "book.json").string(), "-o", output.string(), "--package-only"});
    }

    void CopyPictures()
    {
        fs::create_directories(dir_ / "book");
        fs::copy_file(Sample() / "pages/pictures/lamp.png", dir_ / "book/skin.png");
        fs::copy_file(Sample() / "pages/pictures/street-map.png", dir_ / "book/button.png");
        fs::copy_file(Sample() / "toolbar/home.bmp", dir_ / "book/home.bmp");
        fs::copy_file(Sample() / "book.ico", dir_ / "book/book.ico");
    }

    // A book with one of each mistake the checker finds, and two links that only look
    // wrong: one that matches its page only ignoring case, one that the page server
    // finds only through its Windows-1252 spelling.
    fs::path WriteBrokenBook()
    {
        const fs::path root = dir_ / "broken";
        WriteFile(root / "book.json", std::string_view(R"({"Title": "Broken", "Entries": "pages"})"));
        WriteFile(root / "pages/index.html",
                  std::string_view("<!DOCTYPE html>\n"
                                   "<html><head><meta charset=\"utf-8\"><title>Broken</title>\n"
                                   "<link rel=\"stylesheet\" href=\"style.css\">\n"
                                   "</head><body>\n"
                                   "<p><a href=\"missing.html\">a page that is not there</a></p>\n"
                                   "<p><a href=\"CHAPTER1.html#scene\">by case</a>, <a href=\"caf\xC3\xA9.html\">by code page</a></p>\n"
                                   "<p><a href=\"chapter1.html#nowhere\">a fragment without its id</a></p>\n"
                                   "<img src=\"pictures/lamp.png\" alt=\"\"\n"
                                   "     srcset=\"pictures/lamp.png 1x, pictures/lamp-2x.png 2x\">\n"
                                   "</body></html>\n"));
        WriteFile(root / "pages/Chapter1.html",
                  std::string_view("<h1 id=\"scene\">One</h1><a href=\"index.html\">back</a>"));
        WriteFile(root / "pages/caf\xC3\xA9.html", std::string_view("<a href=\"/index.html\">back</a>"));
        WriteFile(root / "pages/style.css",
                  std::string_view("@import \"missing.css\";\n"
                                   "body { background: url(\"pictures/lamp.png\") }\n"
                                   "@font-face { font-family: Book; src: url(fonts/missing.ttf) format(\"truetype\") }\n"));
        WriteFile(root / "pages/pictures/lamp.png", std::string_view("png"));
        WriteFile(root / "pages/old.html", std::string_view("<p>left over</p>"));
        WriteFile(root / "pages/what?.html", std::string_view("<p>asked for</p>"));
        return root;
    }

    static constexpr const char* kBrokenBookFindings =
        "/index.html:5: error: href \"missing.html\": \"/missing.html\" is not in the book\n"
        "/index.html:7: warning: href \"chapter1.html#nowhere\": \"/Chapter1.html\" has no id or anchor \"nowhere\"\n"
        "/index.html:8: error: srcset \"pictures/lamp-2x.png\": \"/pictures/lamp-2x.png\" is not in the book\n"
        "/old.html: note: no page leads here from the start page \"/index.html\"\n"
        "/style.css:1: error: @import \"missing.css\": \"/missing.css\" is not in the book\n"
        "/style.css:3: error: url() \"fonts/missing.ttf\": \"/fonts/missing.ttf\" is not in the book\n"
        "/what?.html: error: a link cannot name this entry as written: \"?\" starts the query, which the page "
        "server does not look at\n";

    fs::path dir_;
};

TEST_F(PackToolTest, SampleBookRoundTripsThroughInspectAndExtract)
{
    const fs::path book = dir_ / "sample.book";
    const TRun built = Run({"build", (Sample() / "book.json").string(), "-o", book.string(), "--package-only"});
    ASSERT_EQ(built.Exit, 0) << built.Err;

    const json description = json::parse(ReadText(Sample() / "book.json"));
    const json inspected = InspectJson(book);
    EXPECT_EQ(inspected["Loaded"], true);
    EXPECT_EQ(inspected["HeaderOffset"], 0);
    for (const char* key : {"BookId", "Title", "Author", "Description", "AuthorEmail", "AuthorWebsite",
                            "IntroMessage", "ExitMessage", "StartPage", "RememberLastPage", "EscapeCloses"})
        EXPECT_EQ(inspected[key], description[key]) << key;  // the em dash survives Windows-1252 and back
    EXPECT_EQ(inspected["IntroMessageEnabled"], true);
    EXPECT_EQ(inspected["ExitMessageEnabled"], true);
    EXPECT_EQ(inspected["InterfaceKind"], 0);
    EXPECT_EQ(inspected["ToolbarVisible"], true);
    EXPECT_EQ(inspected["ToolbarColor"], 0xFF00000F);
    EXPECT_EQ(inspected["Icon"]["Size"], fs::file_size(Sample() / "book.ico"));

    const json toolbar = inspected["ToolbarButtons"];
    const std::vector<std::pair<int, std::string>> commands = {
        {0, "Back"}, {1, "Forward"}, {2, "Stop"}, {3, "Refresh"}, {4, "Home"},
        {5, "Find"}, {6, "Print"}, {8, "About"}, {9, "Close"}};
    ASSERT_EQ(toolbar.size(), commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(toolbar[i]["Command"], commands[i].first);
        EXPECT_EQ(toolbar[i]["Hint"], commands[i].second);
        // The sample gives some buttons a bitmap of their own, the others keep the reader's.
        const json& stored = description["Window"]["ToolbarButtons"][i];
        EXPECT_EQ(toolbar[i]["HasBitmap"], stored.is_object() && stored.contains("Bitmap")) << i;
    }

    // The entry table lists every file of the pages folder, "/"-rooted, in sorted order.
    const std::set<std::string> pages = FilesBelow(Sample() / "pages");
    std::vector<std::string> expectedNames;
    for (const auto& name : pages)
        expectedNames.push_back("/" + name);
    std::vector<std::string> names;
    for (const auto& entry : inspected["Entries"])
        names.push_back(entry["name"]);
    EXPECT_EQ(names, expectedNames);
    EXPECT_GE(names.size(), 8u);

    const fs::path out = dir_ / "extracted";
    const TRun extracted = Run({"extract", book.string(), out.string()});
    ASSERT_EQ(extracted.Exit, 0) << extracted.Err;
    EXPECT_EQ(FilesBelow(out), pages);
    for (const auto& name : pages)
        EXPECT_EQ(ReadFile(out / name), ReadFile(Sample() / "pages" / name)) << name;

    // Pictures go in as the files were: compare through the reader's own loader.
    TBook loaded(book.string());
    ASSERT_TRUE(loaded.Loaded) << loaded.LoadError;
    EXPECT_EQ(loaded.Icon.Data, ReadFile(Sample() / "book.ico"));
    const auto& buttons = description["Window"]["ToolbarButtons"];
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const bool own = buttons[i].is_object() && buttons[i].contains("Bitmap");
        EXPECT_EQ(loaded.ToolbarButtons[i].Bitmap.Data,
                  own ? ReadFile(Sample() / buttons[i]["Bitmap"].get<std::string>()) : Bytes()) << i;
    }

    EXPECT_LT(fs::file_size(book), 1024u * 1024u);
}

TEST_F(PackToolTest, CheckFindsEachKindOfMistakeInASourceFolderAndInItsPackage)
{
    const fs::path root = WriteBrokenBook();
    const std::string expected =
        std::string(kBrokenBookFindings) + "5 errors, 1 warning, 1 note in 7 entries (5 pages, 1 style sheet)\n";
    const TRun source = Run({"check", (root / "book.json").string()});
    EXPECT_EQ(source.Exit, 1);
    EXPECT_EQ(source.Out, expected);
    EXPECT_EQ(source.Err, "");
    EXPECT_EQ(Run({"check", root.string()}).Out, expected) << "a folder means its book.json";

    // The packed book holds the same table of entries and reads back the same.
    const fs::path package = dir_ / "broken.folianto";
    ASSERT_EQ(Run({"build", (root / "book.json").string(), "-o", package.string(), "--package-only"}).Exit, 0);
    const TRun packed = Run({"check", package.string()});
    EXPECT_EQ(packed.Exit, 1);
    EXPECT_EQ(packed.Out, expected);

    const TRun asJson = Run({"check", "--json", package.string()});
    EXPECT_EQ(asJson.Exit, 1);
    const json report = json::parse(asJson.Out);
    EXPECT_EQ(report["book"], package.string());
    EXPECT_EQ(report["errors"], 5);
    EXPECT_EQ(report["warnings"], 1);
    EXPECT_EQ(report["notes"], 1);
    EXPECT_EQ(report["entries"], 7);
    ASSERT_EQ(report["findings"].size(), 7u);
    EXPECT_EQ(report["findings"][0],
              (json{{"page", "/index.html"}, {"line", 5}, {"kind", "error"},
                    {"message", "href \"missing.html\": \"/missing.html\" is not in the book"}}));
    EXPECT_TRUE(report["findings"][3]["line"].is_null());
}

TEST_F(PackToolTest, CheckOfTheSampleBookFindsNothing)
{
    for (const fs::path& book : {Sample() / "book.json", Sample()}) {
        const TRun run = Run({"check", book.string()});
        EXPECT_EQ(run.Exit, 0) << run.Out;
        EXPECT_TRUE(run.Out.starts_with("0 errors, 0 warnings, 0 notes in ")) << run.Out;
        EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 1) << run.Out;
    }
    const TRun missing = Run({"check", (dir_ / "absent.folianto").string()});
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_NE(missing.Err.find("absent.folianto"), std::string::npos) << missing.Err;
}

TEST_F(PackToolTest, BuildWarnsAboutWhatTheCheckFindsAndStrictRefusesErrors)
{
    const fs::path root = WriteBrokenBook();
    const fs::path output = dir_ / "out" / "broken.folianto";
    fs::create_directories(output.parent_path());
    const TRun relaxed = Run({"build", (root / "book.json").string(), "-o", output.string(), "--package-only"});
    EXPECT_EQ(relaxed.Exit, 0) << relaxed.Err;
    for (const char* line : {"/index.html:5: warning: href \"missing.html\": \"/missing.html\" is not in the book\n",
                             "/style.css:1: warning: @import \"missing.css\"",
                             "/what?.html: warning: a link cannot name this entry",
                             "1 entry is not reached from the start page; \"folianto-pack check\" lists them\n",
                             "check: 5 errors, 1 warning, 1 note in 7 entries (5 pages, 1 style sheet)\n"})
        EXPECT_NE(relaxed.Err.find(line), std::string::npos) << line << "\n" << relaxed.Err;
    EXPECT_EQ(relaxed.Err.find(": error: "), std::string::npos) << relaxed.Err;
    EXPECT_TRUE(fs::exists(output));
    EXPECT_EQ(InspectJson(output)["Entries"].size(), 7u);

    fs::remove(output);
    const TRun strict =
        Run({"build", (root / "book.json").string(), "-o", output.string(), "--package-only", "--strict"});
    EXPECT_EQ(strict.Exit, 1);
    EXPECT_NE(strict.Err.find("/index.html:5: error: href \"missing.html\""), std::string::npos) << strict.Err;
    EXPECT_NE(strict.Err.find("/index.html:7: warning: href"), std::string::npos) << strict.Err;
    EXPECT_NE(strict.Err.find("nothing written (--strict)"), std::string::npos) << strict.Err;
    EXPECT_EQ(strict.Out, "");
    EXPECT_TRUE(fs::is_empty(output.parent_path())) << "neither the book nor a partial file";

    // A book without errors builds under --strict; its warnings stay warnings.
    fs::remove(root / "pages/what?.html");
    WriteFile(root / "pages/index.html", std::string_view("<a href=\"chapter1.html#nowhere\">x</a>"));
    fs::remove(root / "pages/style.css");
    const TRun clean = Run({"build", (root / "book.json").string(), "-o", output.string(), "--package-only", "--strict"});
    EXPECT_EQ(clean.Exit, 0) << clean.Err;
    EXPECT_NE(clean.Err.find("/index.html:1: warning: href \"chapter1.html#nowhere\""), std::string::npos) << clean.Err;
    EXPECT_TRUE(fs::exists(output));
}

TEST_F(PackToolTest, BuildNamesThePackageExtensionAndTheLibrariesABookProgramNeeds)
{
    const fs::path json = Sample() / "book.json";
    const fs::path reader = dir_ / "fake-reader";
    WriteFile(reader, std::string_view("a reader program"));
    const std::string libraries = "The book program needs the Qt 6 libraries of the reader";
    const std::string extension = "Name book packages \"*.folianto\"";

    const TRun program = Run({"build", json.string(), "-o", (dir_ / "book").string(), "--reader", reader.string()});
    ASSERT_EQ(program.Exit, 0) << program.Err;
    EXPECT_EQ(program.Out.find(libraries), program.Out.rfind(libraries)) << "said once";
    EXPECT_NE(program.Out.find(libraries), std::string::npos) << program.Out;
    EXPECT_EQ(program.Out.find(extension), std::string::npos) << program.Out;

    const TRun other = Run({"build", json.string(), "-o", (dir_ / "book.pkg").string(), "--package-only"});
    ASSERT_EQ(other.Exit, 0) << other.Err;
    EXPECT_NE(other.Out.find(extension + " (for example \"" + (dir_ / "book.folianto").string() + "\")"),
              std::string::npos)
        << other.Out;
    EXPECT_EQ(other.Out.find(libraries), std::string::npos) << other.Out;

    const TRun named = Run({"build", json.string(), "-o", (dir_ / "book.folianto").string(), "--package-only"});
    ASSERT_EQ(named.Exit, 0) << named.Err;
    EXPECT_EQ(named.Out.find(extension), std::string::npos) << named.Out;
}

TEST_F(PackToolTest, EverySettingOfAWindowBookRoundTrips)
{
    CopyPictures();
    WriteFile(dir_ / "book/fonts/one.ttf", std::string("first font bytes"));
    WriteFile(dir_ / "book/fonts/two.ttf", std::string(5000, 'x'));
    WriteFile(dir_ / "book/site/index.html", std::string("<title>Home</title>"));
    WriteFile(dir_ / "book/site/deep/nested/page.html", std::string("<p>deep</p>"));
    WriteFile(dir_ / "book/site/caf\xC3\xA9.html", std::string("<p>caf\xE9</p>"));
    WriteFile(dir_ / "book/site/empty.txt", std::string());

    const TRun run = BuildPackage(R"({
      "BookId": "id-1", "Title": "Na\u00efve \u20ac", "Author": "A. U. Thor", "Description": "d",
      "AuthorEmail": "a@b.example", "AuthorWebsite": "https://b.example/",
      "Icon": "book.ico",
      "ChangeDisplayMode": true, "DisplayMode": 3, "DisplayWidth": 1280, "DisplayHeight": 1024, "DisplayDepth": 32,
      "Fonts": ["fonts/one.ttf", "fonts/two.ttf"],
      "InterfaceKind": "Window",
      "Window": {
        "FullScreen": false, "WindowWidth": 1000, "WindowHeight": 700, "BorderStyle": "SizeableToolWindow",
        "SystemMenu": false, "MaximizeBox": false, "MinimizeBox": true,
        "ToolbarVisible": true, "ToolbarPosition": "Bottom", "ToolbarFlat": false,
        "ToolbarButtonWidth": 40, "ToolbarButtonHeight": 36, "ToolbarColor": "#102030",
        "ToolbarButtons": [{"Command": "Home", "Bitmap": "home.bmp"}, "Close", {"Command": 5}]
      },
      "Splash": {"SplashCloseMode": "Seconds", "SplashSeconds": 7, "SplashImage": "skin.png"},
      "IntroMessage": "Hello", "ExitMessage": "Bye",
      "StayOnTop": true, "DisableScreenSaver": true, "RememberLastPage": false, "EscapeCloses": true,
      "Entries": "site", "StartPage": "deep/nested/page.html"
    })", dir_ / "out.book");
    ASSERT_EQ(run.Exit, 0) << run.Err;

    const json inspected = InspectJson(dir_ / "out.book");
    const json expected = {
        {"BookId", "id-1"}, {"Title", "Na\u00efve \u20ac"}, {"Author", "A. U. Thor"}, {"Description", "d"},
        {"AuthorEmail", "a@b.example"}, {"AuthorWebsite", "https://b.example/"},
        {"Icon", {{"Size", fs::file_size(dir_ / "book/book.ico")}}},
        {"ChangeDisplayMode", 1}, {"DisplayMode", 3}, {"DisplayWidth", 1280}, {"DisplayHeight", 1024},
        {"DisplayDepth", 32}, {"Fonts", {16, 5000}},
        {"InterfaceKind", 0}, {"FullScreen", false}, {"WindowWidth", 1000}, {"WindowHeight", 700},
        {"BorderStyle", 4}, {"SystemMenu", false}, {"MaximizeBox", false}, {"MinimizeBox", true},
        {"ToolbarVisible", true}, {"ToolbarPosition", 3}, {"ToolbarFlat", false}, {"ToolbarButtonWidth", 40},
        {"ToolbarButtonHeight", 36}, {"ToolbarColor", 0x302010},
        {"ToolbarButtons", json::array({{{"Command", 4}, {"HasBitmap", true}, {"Hint", "Home"}},
                                        {{"Command", 9}, {"HasBitmap", false}, {"Hint", "Close"}},
                                        {{"Command", 5}, {"HasBitmap", false}, {"Hint", "Find"}}})},
        {"SkinButtons", json::array()}, {"SkinImage", nullptr},
        {"BrowserLeft", 0}, {"BrowserTop", 0}, {"BrowserRight", 0}, {"BrowserBottom", 0},
        {"SplashEnabled", true}, {"SplashCloseMode", 2}, {"SplashSeconds", 7},
        {"SplashImage", {{"Width", 240}, {"Height", 160}, {"ColorType", 6}}},
        {"IntroMessageEnabled", true}, {"IntroMessage", "Hello"}, {"ExitMessageEnabled", true},
        {"ExitMessage", "Bye"}, {"StayOnTop", true}, {"DisableScreenSaver", true}, {"RememberLastPage", false},
        {"EscapeCloses", true}, {"StartPage", "/deep/nested/page.html"}, {"Loaded", true}, {"HeaderOffset", 0},
    };
    for (const auto& [key, value] : expected.items())
        EXPECT_EQ(inspected[key], value) << key;

    std::vector<std::string> names;
    for (const auto& entry : inspected["Entries"])
        names.push_back(entry["name"]);
    EXPECT_EQ(names, (std::vector<std::string>{"/caf\u00e9.html", "/deep/nested/page.html", "/empty.txt", "/index.html"}));

    TBook loaded((dir_ / "out.book").string());
    ASSERT_TRUE(loaded.Loaded);
    EXPECT_EQ(loaded.Title, "Na\xEFve \x80");  // stored as Windows-1252
    EXPECT_EQ(loaded.Entries[0].Name, "/caf\xE9.html");
    EXPECT_EQ(loaded.Fonts[1], Bytes(5000, 'x'));
    EXPECT_EQ(loaded.ToolbarButtons[0].Bitmap.Data, ReadFile(dir_ / "book/home.bmp"));
    EXPECT_EQ(loaded.SplashImage.Data, ReadFile(dir_ / "book/skin.png"));

    const TRun extracted = Run({"extract", (dir_ / "out.book").string(), (dir_ / "x").string()});
    ASSERT_EQ(extracted.Exit, 0) << extracted.Err;
    EXPECT_EQ(FilesBelow(dir_ / "x"), FilesBelow(dir_ / "book/site"));
    for (const auto& name : FilesBelow(dir_ / "book/site"))
        EXPECT_EQ(ReadFile(dir_ / "x" / name), ReadFile(dir_ / "book/site" / name)) << name;
}

TEST_F(PackToolTest, SkinBookRoundTripsWithItsPictures)
{
    CopyPictures();
    WriteFile(dir_ / "book/pages/a.html", std::string("a"));
    const TRun run = BuildPackage(R"({
      "Title": "Skinned",
      "Skin": {"SkinImage": "skin.png", "BrowserLeft": 10, "BrowserTop": 20, "BrowserRight": 230, "BrowserBottom": 150,
               "SkinButtons": [{"Command": "Close", "Left": 200, "Top": 4, "Image": "button.png"},
                               {"Command": 0, "Left": -3, "Top": 7, "Image": "skin.png"}]},
      "Splash": {"SplashEnabled": true, "SplashCloseMode": "Click", "SplashImage": "button.png"},
      "Entries": "pages"
    })", dir_ / "skin.book");
    ASSERT_EQ(run.Exit, 0) << run.Err;

    const json inspected = InspectJson(dir_ / "skin.book");
    EXPECT_EQ(inspected["InterfaceKind"], 1);
    EXPECT_EQ(inspected["SkinImage"], json({{"Width", 240}, {"Height", 160}, {"ColorType", 6}}));
    for (const auto& [key, value] : std::map<std::string, int>{
             {"BrowserLeft", 10}, {"BrowserTop", 20}, {"BrowserRight", 230}, {"BrowserBottom", 150}})
        EXPECT_EQ(inspected[key], value) << key;
    EXPECT_EQ(inspected["SkinButtons"],
              json::array({{{"Command", 9}, {"Left", 200}, {"Top", 4}, {"Width", 212}, {"Height", 120}},
                           {{"Command", 0}, {"Left", -3}, {"Top", 7}, {"Width", 240}, {"Height", 160}}}));
    EXPECT_EQ(inspected["ToolbarButtons"], json::array());
    EXPECT_EQ(inspected["SplashCloseMode"], 1);
    EXPECT_EQ(inspected["SplashSeconds"], 0);  // only stored for the timed close
    EXPECT_EQ(inspected["StartPage"], "/a.html");
    EXPECT_EQ(inspected["BookId"], "Skinned");  // the title stands in for a missing id

    TBook loaded((dir_ / "skin.book").string());
    ASSERT_TRUE(loaded.Loaded);
    EXPECT_EQ(loaded.SkinImage.Data, ReadFile(dir_ / "book/skin.png"));
    EXPECT_EQ(loaded.SkinButtons[0].Image.Data, ReadFile(dir_ / "book/button.png"));
    EXPECT_EQ(loaded.SkinButtons[1].Image.Data, ReadFile(dir_ / "book/skin.png"));
}

// Small descriptions and what inspect must then show: defaults and the named choices.
TEST_F(PackToolTest, DefaultsAndNamedChoices)
{
    CopyPictures();
    WriteFile(dir_ / "book/pages/back.gif", std::string("GIF"));
    WriteFile(dir_ / "book/pages/index.html", std::string("<title>i</title>"));
    const struct {
        const char* description;
        json expected;
    } cases[] = {
        {R"({"Entries": "pages"})",
         {{"InterfaceKind", 0}, {"FullScreen", false}, {"WindowWidth", 800}, {"WindowHeight", 600},
          {"BorderStyle", 2}, {"ToolbarVisible", true}, {"ToolbarFlat", true}, {"RememberLastPage", true},
          {"IntroMessageEnabled", false}, {"ExitMessageEnabled", false}, {"SplashEnabled", false},
          {"ChangeDisplayMode", 0}, {"Icon", nullptr}, {"StartPage", "/index.html"}}},
        {R"({})", {{"Entries", json::array()}, {"StartPage", ""}, {"Loaded", true}}},
        {R"({"DisplayMode": 6})",
         {{"ChangeDisplayMode", 1}, {"DisplayMode", 6}, {"DisplayWidth", 800}, {"DisplayHeight", 600}, {"DisplayDepth", 24}}},
        {R"({"ChangeDisplayMode": false, "DisplayMode": 6})", {{"ChangeDisplayMode", 0}, {"DisplayWidth", 0}}},
        {R"({"InterfaceKind": "None"})", {{"InterfaceKind", 2}, {"ToolbarVisible", false}, {"ToolbarButtons", json::array()}}},
        {R"({"InterfaceKind": 7})", {{"InterfaceKind", 7}, {"Loaded", true}}},
        {R"({"Window": {"FullScreen": true, "WindowWidth": 5}})", {{"FullScreen", true}, {"WindowWidth", 0}}},
        {R"({"Window": {"ToolbarVisible": false}})", {{"ToolbarVisible", false}, {"ToolbarButtons", json::array()}}},
        {R"({"Window": {"ToolbarColor": "System:5", "BorderStyle": "single", "ToolbarPosition": 2}})",
         {{"ToolbarColor", 0xFF000005}, {"BorderStyle", 1}, {"ToolbarPosition", 2}}},
        {R"({"IntroMessageEnabled": true, "ExitMessage": "x", "ExitMessageEnabled": false})",
         {{"IntroMessageEnabled", true}, {"IntroMessage", ""}, {"ExitMessageEnabled", false}, {"ExitMessage", ""}}},
        {R"({"Splash": {"SplashImage": "skin.png"}})", {{"SplashEnabled", true}, {"SplashCloseMode", 0}}},
        {R"({"Splash": {"SplashEnabled": false, "SplashImage": "skin.png"}})", {{"SplashEnabled", false}, {"SplashImage", nullptr}}},
        {R"({"Skin": {"SkinImage": "button.png"}})",
         {{"InterfaceKind", 1}, {"BrowserRight", 212}, {"BrowserBottom", 120}, {"SkinButtons", json::array()}}},
        {R"({"Entries": "pages", "StartPage": "/BACK.GIF"})", {{"StartPage", "/BACK.GIF"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        fs::remove(dir_ / "case.book");
        const TRun run = BuildPackage(c.description, dir_ / "case.book");
        ASSERT_EQ(run.Exit, 0) << run.Err;
        const json inspected = InspectJson(dir_ / "case.book");
        for (const auto& [key, value] : c.expected.items())
            EXPECT_EQ(inspected[key], value) << key;
        EXPECT_EQ(inspected["Loaded"], true);
    }
    // Nothing but the default reader of nine commands on the default toolbar.
    BuildPackage("{}", dir_ / "plain.book");
    const json plain = InspectJson(dir_ / "plain.book");
    std::vector<int> commands;
    for (const auto& button : plain["ToolbarButtons"])
        commands.push_back(button["Command"]);
    EXPECT_EQ(commands, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 8, 9}));
}

TEST_F(PackToolTest, AppendsThePackageToACopyOfTheReader)
{
    WriteFile(dir_ / "book/pages/index.html", std::string("<title>x</title>"));
    WriteFile(dir_ / "book/book.json", std::string(R"({"Title": "T", "Entries": "pages"})"));
    Bytes reader(12345);
    for (std::size_t i = 0; i < reader.size(); ++i)
        reader[i] = static_cast<std::uint8_t>(i * 7 + 3);
    WriteFile(dir_ / "fake-reader", reader);
    chmod((dir_ / "fake-reader").c_str(), 0644);

    const fs::path book = dir_ / "book.run";
    const TRun run = Run({"build", (dir_ / "book/book.json").string(), "-o", book.string(), "--reader",
                          (dir_ / "fake-reader").string()});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    ASSERT_EQ(Run({"build", (dir_ / "book/book.json").string(), "-o", (dir_ / "alone").string(), "--package-only"}).Exit, 0);

    const Bytes whole = ReadFile(book);
    const Bytes alone = ReadFile(dir_ / "alone");
    ASSERT_EQ(whole.size(), reader.size() + alone.size());
    EXPECT_TRUE(std::equal(reader.begin(), reader.end(), whole.begin()));
    // Offsets inside are relative to the header, so only the trailer differs.
    EXPECT_TRUE(std::equal(alone.begin(), alone.end() - 4, whole.begin() + reader.size()));
    EXPECT_EQ(Bytes(whole.end() - 4, whole.end()), (Bytes{0x39, 0x30, 0, 0}));  // 12345
    EXPECT_EQ(Bytes(alone.end() - 4, alone.end()), (Bytes{0, 0, 0, 0}));

    struct stat info {};
    ASSERT_EQ(stat(book.c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    ASSERT_EQ(stat((dir_ / "alone").c_str(), &info), 0);
    EXPECT_FALSE(info.st_mode & S_IXUSR);

    const json inspected = InspectJson(book);
    EXPECT_EQ(inspected["HeaderOffset"], 12345);
    EXPECT_EQ(inspected["Loaded"], true);
    EXPECT_EQ(inspected["Title"], "T");
    EXPECT_EQ(ReadFile(dir_ / "fake-reader"), reader);
}

TEST_F(PackToolTest, MissingReaderIsAClearError)
{
    WriteFile(dir_ / "book/book.json", std::string("{}"));
    // A copy of the tool in a folder without a reader beside it.
    fs::create_directories(dir_ / "lonely");
    fs::copy_file(PackTool(), dir_ / "lonely/folianto-pack");
    const TRun byDefault = Run({"build", (dir_ / "book/book.json").string(), "-o", (dir_ / "out").string()},
                               dir_ / "lonely/folianto-pack");
    EXPECT_EQ(byDefault.Exit, 1);
    EXPECT_NE(byDefault.Err.find((dir_ / "lonely/folianto").string()), std::string::npos) << byDefault.Err;
    EXPECT_NE(byDefault.Err.find("--package-only"), std::string::npos) << byDefault.Err;

    const TRun named = Run({"build", (dir_ / "book/book.json").string(), "-o", (dir_ / "out").string(), "--reader",
                            (dir_ / "no-such-reader").string()});
    EXPECT_EQ(named.Exit, 1);
    EXPECT_NE(named.Err.find("no-such-reader"), std::string::npos) << named.Err;
    EXPECT_FALSE(fs::exists(dir_ / "out"));
}

TEST_F(PackToolTest, BadDescriptionsFailWithAClearMessage)
{
    CopyPictures();
    WriteFile(dir_ / "book/pages/index.html", std::string("x"));
    WriteFile(dir_ / "book/not-a-bitmap.bmp", std::string("hello"));
    WriteFile(dir_ / "book/cased/Page.html", std::string("1"));
    WriteFile(dir_ / "book/cased/page.HTML", std::string("2"));
    WriteFile(dir_ / "book/greek/\xCF\x89.html", std::string("omega"));
    const struct {
        const char* description;
        const char* message;
    } cases[] = {
        {R"({"Title": })", "not valid JSON"},
        {R"({"Title": "a", "Title": "b"})", "\"Title\" is given twice"},
        {R"({"Titel": "x"})", "Titel: unknown key"},
        {R"({"Window": {"ToolbarColour": 1}})", "Window.ToolbarColour: unknown key"},
        {R"({"Window": {"ToolbarButtons": [{"Command": "Home", "Bitmpa": "home.bmp"}]}})", "Bitmpa: unknown key"},
        {R"({"Icon": "missing.ico"})", "missing.ico\" does not exist"},
        {R"({"Fonts": ["missing.ttf"]})", "Fonts[0]: file"},
        {R"({"Entries": "no-such-folder"})", "no-such-folder\" does not exist"},
        {R"({"Title": "\u4e2d"})", "Title: the character \u4e2d (U+4E2D) cannot be written in Windows-1252"},
        {R"({"Entries": "greek"})", "(U+03C9) cannot be written in Windows-1252"},
        {R"({"Entries": "cased"})", "differ only in letter case"},
        {R"({"StayOnTop": "yes"})", "StayOnTop: expected true or false"},
        {R"({"Window": {"WindowWidth": 3000000000}})", "WindowWidth: 3000000000 is not from"},
        {R"({"Window": {"BorderStyle": "Round"}})", "BorderStyle: expected one of"},
        {R"({"Window": {"ToolbarButtons": ["Jump"]}})", "ToolbarButtons[0]: expected one of"},
        {R"({"Window": {"ToolbarColor": "#12345"}})", "ToolbarColor: expected"},
        {R"({"Window": {"ToolbarButtons": [{"Command": 4, "Bitmap": "not-a-bitmap.bmp"}]}})", "not a valid bitmap"},
        {R"({"Icon": "home.bmp"})", "Icon: not a valid icon"},
        {R"({"Splash": {"SplashImage": "home.bmp"}})", "SplashImage: not a valid PNG"},
        {R"({"Splash": {}})", "SplashImage: missing"},
        {R"({"Skin": {"SkinImage": "skin.png", "SkinButtons": [{"Command": 9, "Left": 1, "Image": "button.png"}]}})",
         "SkinButtons[0].Top: missing"},
        {R"({"InterfaceKind": "Skin"})", "Skin: missing"},
        {R"({"InterfaceKind": "Window", "Skin": {"SkinImage": "skin.png"}})", "InterfaceKind is not \"Skin\""},
        {R"({"DisplayMode": 3, "DisplayWidth": 1, "DisplayHeight": 2})", "DisplayDepth: missing"},
        {R"({"Entries": "pages", "StartPage": "/nowhere.html"})", "\"/nowhere.html\" is not one of the book's files"},
        {R"([1, 2])", "expected an object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const TRun run = BuildPackage(c.description, dir_ / "bad.book");
        EXPECT_EQ(run.Exit, 1);
        EXPECT_NE(run.Err.find(c.message), std::string::npos) << run.Err;
        EXPECT_NE(run.Err.find("book.json"), std::string::npos) << run.Err;
        EXPECT_FALSE(fs::exists(dir_ / "bad.book"));
    }
    const TRun missing = Run({"build", (dir_ / "nothing.json").string(), "-o", (dir_ / "bad.book").string(), "--package-only"});
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_NE(missing.Err.find("nothing.json: cannot open"), std::string::npos) << missing.Err;
}

TEST_F(PackToolTest, InspectShowsWhatABrokenPackageHeld)
{
    TBookDescription description;
    description.Title = "Broken";
    description.Author = "Someone";
    description.SplashEnabled = true;
    description.SplashImage = ReadFile(Sample() / "pages/pictures/lamp.png");
    description.Entries.push_back({"/index.html", Bytes{'x'}});
    const Bytes good = WritePackage(description);

    // Cut inside the splash picture: everything before it was read.
    Bytes truncated(good.begin(), good.begin() + 300);
    truncated.insert(truncated.end(), {0, 0, 0, 0});
    Bytes wrongMagic = good;
    wrongMagic[0] = 'X';
    const struct {
        const char* name;
        Bytes bytes;
        const char* title;
    } cases[] = {
        {"truncated", truncated, "Broken"},
        {"wrong-magic", wrongMagic, ""},
        {"tiny", Bytes{1, 2}, ""},
        {"empty", Bytes{}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir_ / c.name, c.bytes);
        const TRun run = Run({"inspect", "--json", (dir_ / c.name).string()});
        EXPECT_EQ(run.Exit, 0) << run.Err;
        const json inspected = json::parse(run.Out);
        EXPECT_EQ(inspected["Loaded"], false);
        EXPECT_EQ(inspected["Title"], c.title);
        EXPECT_EQ(inspected["Entries"], json::array());
        const TRun text = Run({"inspect", (dir_ / c.name).string()});
        EXPECT_EQ(text.Exit, 0);
        EXPECT_NE(text.Out.find("Loaded:           no"), std::string::npos) << text.Out;
    }
    const TRun truncatedJson = Run({"inspect", "--json", (dir_ / "truncated").string()});
    EXPECT_EQ(json::parse(truncatedJson.Out)["SplashEnabled"], true);
}

TEST_F(PackToolTest, InspectOfAMissingFileFails)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"inspect", (dir_ / "absent").string()},
                                                 std::vector<std::string>{"inspect", "--json", (dir_ / "absent").string()}}) {
        const TRun run = Run(args);
        EXPECT_EQ(run.Exit, 1);
        EXPECT_EQ(run.Out, "");
        EXPECT_NE(run.Err.find("absent"), std::string::npos) << run.Err;
    }
}

TEST(SafeEntryPath, KeepsEveryNameBelowTheFolder)
{
    const struct {
        std::string name;
        const char* path;  // nullptr: cannot be mapped
    } cases[] = {
        {"/index.html", "index.html"},
        {"/pictures/a.png", "pictures/a.png"},
        {"../evil", "evil"},
        {"/../../escape", "escape"},
        {"..\\x", "x"},
        {"a/../../b", "a/b"},
        {"//etc//passwd", "etc/passwd"},
        {"C:\\Windows\\win.ini", "C:/Windows/win.ini"},
        {"/./.././x/./y", "x/y"},
        {"/caf\xE9.html", "caf\xC3\xA9.html"},
        {"/...", "..."},
        {"/", nullptr},
        {"", nullptr},
        {"/../..\\.", nullptr},
        {std::string("/a\0b", 4), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = SafeEntryPath(c.name);
        if (!c.path) {
            EXPECT_FALSE(path.has_value());
            continue;
        }
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(path->generic_string(), c.path);
        EXPECT_TRUE(path->is_relative());
    }
}

TEST_F(PackToolTest, ExtractNeverWritesOutsideItsFolder)
{
    TBookDescription description;
    const std::vector<std::string> names = {"../evil", "/abs", "..\\x", "a/../../b", "/../../../../tmp/escape",
                                            "/link/through"};
    for (const auto& name : names)
        description.Entries.push_back({name, Bytes(name.begin(), name.end())});
    WriteFile(dir_ / "hostile.book", WritePackage(description));

    // A symbolic link already in the folder must not lead the extraction elsewhere.
    const fs::path root = dir_ / "root";
    fs::create_directories(root / "out");
    fs::create_directories(root / "outside");
    fs::create_directory_symlink(root / "outside", root / "out/link");

    const TRun run = Run({"extract", (dir_ / "hostile.book").string(), (root / "out").string()});
    EXPECT_EQ(run.Exit, 1);  // the entry behind the link could not be written
    EXPECT_NE(run.Err.find("/link/through"), std::string::npos) << run.Err;
    EXPECT_EQ(FilesBelow(root), (std::set<std::string>{"out/evil", "out/abs", "out/x", "out/a/b",
                                                       "out/tmp/escape", "out/link"}));
    EXPECT_TRUE(fs::is_empty(root / "outside"));
    EXPECT_EQ(ReadText(root / "out/a/b"), "a/../../b");
    EXPECT_EQ(ReadText(root / "out/x"), "..\\x");

    // Names that leave nothing to write are reported; the others still land.
    TBookDescription unmappable;
    unmappable.Entries = {{"/..", Bytes{'1'}}, {std::string("/nul\0x", 6), Bytes{'2'}}, {"/fine", Bytes{'3'}}};
    WriteFile(dir_ / "unmappable.book", WritePackage(unmappable));
    const TRun second = Run({"extract", (dir_ / "unmappable.book").string(), (dir_ / "second").string()});
    EXPECT_EQ(second.Exit, 1);
    EXPECT_NE(second.Err.find("Cannot map entry name \"/..\""), std::string::npos) << second.Err;
    EXPECT_EQ(FilesBelow(dir_ / "second"), (std::set<std::string>{"fine"}));
}

TEST_F(PackToolTest, ExtractNeverWritesThroughALinkWhereAFileGoes)
{
    TBookDescription description;
    description.Entries = {{"/index.html", Bytes{'i'}}, {"/pictures/lamp.png", Bytes{'p'}}, {"/notes.txt", Bytes{'n'}}};
    WriteFile(dir_ / "book.pkg", WritePackage(description));

    // A link to a file that exists, and one that points nowhere yet (opening it to write
    // would create its target).
    const struct {
        const char* name;
        bool targetExists;
    } cases[] = {{"to-existing", true}, {"dangling", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir_ / c.name / "out", target = dir_ / c.name / "outside.txt";
        fs::create_directories(out / "pictures");
        if (c.targetExists)
            WriteFile(target, std::string_view("keep"));
        fs::create_symlink(target, out / "index.html");
        fs::create_symlink(target, out / "pictures/lamp.png");

        const TRun run = Run({"extract", (dir_ / "book.pkg").string(), out.string()});
        EXPECT_EQ(run.Exit, 1);
        for (const std::string name : {"/index.html", "/pictures/lamp.png"})
            EXPECT_NE(run.Err.find("Skipped entry \"" + name + "\": \"" + (out / name.substr(1)).string() +
                                   "\" is a symbolic link, which extract never writes through"),
                      std::string::npos)
                << run.Err;
        EXPECT_NE(run.Out.find("Extracted 1 of 3 entries"), std::string::npos) << run.Out;
        EXPECT_EQ(ReadText(out / "notes.txt"), "n");
        EXPECT_TRUE(fs::is_symlink(out / "index.html"));
        EXPECT_TRUE(fs::is_symlink(out / "pictures/lamp.png"));
        if (c.targetExists)
            EXPECT_EQ(ReadText(target), "keep");
        else
            EXPECT_FALSE(fs::exists(target));
    }
}

TEST_F(PackToolTest, ExtractReportsEntriesThatCannotBeInflated)
{
    TBookDescription description;
    description.Entries = {{"/good.html", Bytes{'g'}}, {"/bad.html", Bytes(100, 'b')}, {"/Good.HTML", Bytes{'2'}},
                           {"/last.css", Bytes{'l'}}};
    Bytes package = WritePackage(description);
    WriteFile(dir_ / "probe.book", package);
    const std::int32_t badOffset = TBook((dir_ / "probe.book").string()).Entries[1].Offset;
    package[static_cast<std::size_t>(badOffset) + 4] ^= 0xFF;  // spoil the zlib header
    WriteFile(dir_ / "spoilt.book", package);

    const TRun run = Run({"extract", (dir_ / "spoilt.book").string(), (dir_ / "out").string()});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_NE(run.Err.find("Cannot inflate entry \"/bad.html\""), std::string::npos) << run.Err;
    // The first of two names equal but for case wins, as in the reader.
    EXPECT_NE(run.Out.find("Skipped \"/Good.HTML\""), std::string::npos) << run.Out;
    EXPECT_EQ(FilesBelow(dir_ / "out"), (std::set<std::string>{"good.html", "last.css"}));
    EXPECT_EQ(ReadText(dir_ / "out/good.html"), "g");

    const TRun clean = Run({"extract", (dir_ / "probe.book").string(), (dir_ / "clean").string()});
    EXPECT_EQ(clean.Exit, 0) << clean.Err;
    EXPECT_EQ(FilesBelow(dir_ / "clean"), (std::set<std::string>{"good.html", "bad.html", "last.css"}));
}

}  // namespace
