// Loading a book package into TBook: layout, settings, pictures, fonts and broken files.

#include "Book.h"
#include "PackageBytes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>

namespace folianto {
namespace {

using namespace folianto::testing;

std::unique_ptr<TBook> LoadBytes(const ByteVector& bytes)
{
    TempFile file(bytes);
    return std::make_unique<TBook>(file.Path());  // the open file outlives its name
}

std::unique_ptr<TBook> LoadRecipe(const PackageRecipe& recipe) { return LoadBytes(BuildPackage(recipe).bytes); }

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

ByteVector StoredPng(const PngRecipe& png = {}) { return Zlib(MakePng(png)); }

long PeakRssKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The smallest package, field by field, without the shared builder.
TEST(BookLoad, MinimalPackageIs100BytesAndLoads)
{
    ByteWriter w;
    w.Raw(std::string("KDW300"));
    for (int i = 0; i < 7; ++i)
        w.Int32(0);                  // seven empty header strings
    w.Byte(0);                       // no icon
    w.Int32(0);                      // no display switch
    w.Int32(0);                      // no fonts
    w.Int32(2);                      // neither window nor skin block
    w.Int32(0);                      // reserved selector 0: no block
    w.Raw(ByteVector(12, 0));        // reserved flags
    w.Int32(0);                      // reserved string
    w.Byte(0);                       // no splash
    w.Byte(0);                       // no intro message
    w.Byte(0).Byte(0).Byte(0).Byte(0);  // stay on top, screen saver, reserved, remember page
    w.Byte(0);                       // no exit message
    w.Byte(0);                       // escape closes
    w.Int32(0).Int32(0);             // second selector 0 and its empty string
    w.Byte(0);                       // reserved
    ASSERT_EQ(w.Size(), 84u);
    w.Int32(88);                     // entry table offset
    w.Int32(0);                      // no entries
    w.Int32(0);                      // empty start page
    w.Int32(0);                      // trailer: header at 0
    ASSERT_EQ(w.Size(), 100u);
    EXPECT_EQ(BuildPackage(PackageRecipe {}).bytes, w.bytes) << "the test builder disagrees with the layout";

    const auto book = LoadBytes(w.bytes);
    EXPECT_TRUE(book->Loaded) << book->LoadError;
    EXPECT_EQ(book->HeaderOffset, 0);
    EXPECT_EQ(book->InterfaceKind, 2);
    EXPECT_TRUE(book->Entries.empty());
    EXPECT_EQ(book->StartPage, "");
    EXPECT_EQ(book->FontCount(), 0);
    EXPECT_EQ(book->ToolbarButtonCount(), 0);
    EXPECT_EQ(book->SkinButtonCount(), 0);
    EXPECT_TRUE(book->Icon.Empty());
    EXPECT_TRUE(book->SkinImage.Empty());
    EXPECT_TRUE(book->SplashImage.Empty());
    EXPECT_EQ(book->WindowWidth, 0);
    EXPECT_EQ(book->DisplayWidth, 0);
}

TEST(BookLoad, ReadsEverySettingOfAWindowBook)
{
    PackageRecipe s;
    s.headerStrings[0] = "book-42";
    s.headerStrings[1] = "ignored";
    s.headerStrings[2] = "A Title \xE9";
    s.headerStrings[3] = "Author";
    s.headerStrings[4] = "Description";
    s.headerStrings[5] = "me@example.org";
    s.headerStrings[6] = "http://example.org/";
    s.hasIcon = true;
    s.icon = MakeIco();
    s.interfaceKind = 0;
    s.windowWidth = 800;
    s.windowHeight = 600;
    s.borderStyle = 0x0302;  // only the low byte counts
    s.systemMenu = true;
    s.maximizeBox = false;
    s.minimizeBox = true;
    s.toolbarVisible = true;
    s.toolbarPosition = 3;
    s.toolbarFlat = true;
    s.toolbarButtonWidth = 24;
    s.toolbarButtonHeight = 22;
    s.toolbarColor = 0xFF00000F;
    s.introEnabled = true;
    s.introMessage = "Hello";
    s.stayOnTop = true;
    s.disableScreenSaver = true;
    s.reservedByte1 = 0xEE;
    s.rememberLastPage = true;
    s.exitEnabled = true;
    s.exitMessage = "Bye";
    s.escapeCloses = true;
    s.reservedByte2 = 0x77;
    s.records = {Zlib("<html>home</html>")};
    s.rows = {{"/index.html", 0}};
    s.startPage = "/index.html";

    const auto book = LoadRecipe(s);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    EXPECT_EQ(book->BookId, "book-42");
    EXPECT_EQ(book->Title, "A Title \xE9");
    EXPECT_EQ(book->Author, "Author");
    EXPECT_EQ(book->Description, "Description");
    EXPECT_EQ(book->AuthorEmail, "me@example.org");
    EXPECT_EQ(book->AuthorWebsite, "http://example.org/");
    EXPECT_EQ(book->Icon.Data, MakeIco()) << "the icon is stored raw, not inflated";
    EXPECT_EQ(book->InterfaceKind, 0);
    EXPECT_FALSE(book->FullScreen);
    EXPECT_EQ(book->WindowWidth, 800);
    EXPECT_EQ(book->WindowHeight, 600);
    EXPECT_EQ(book->BorderStyle, 2);
    EXPECT_TRUE(book->SystemMenu);
    EXPECT_FALSE(book->MaximizeBox);
    EXPECT_TRUE(book->MinimizeBox);
    EXPECT_TRUE(book->ToolbarVisible);
    EXPECT_EQ(book->ToolbarPosition, 3);
    EXPECT_TRUE(book->ToolbarFlat);
    EXPECT_EQ(book->ToolbarButtonWidth, 24);
    EXPECT_EQ(book->ToolbarButtonHeight, 22);
    EXPECT_EQ(book->ToolbarColor, 0xFF00000Fu);
    EXPECT_TRUE(book->IntroMessageEnabled);
    EXPECT_EQ(book->IntroMessage, "Hello");
    EXPECT_TRUE(book->StayOnTop);
    EXPECT_TRUE(book->DisableScreenSaver);
    EXPECT_TRUE(book->RememberLastPage);
    EXPECT_TRUE(book->ExitMessageEnabled);
    EXPECT_EQ(book->ExitMessage, "Bye");
    EXPECT_TRUE(book->EscapeCloses);
    EXPECT_EQ(book->StartPage, "/index.html");
    Bytes page;
    EXPECT_TRUE(book->ExtractEntry("/index.html", page));
    EXPECT_EQ(Text(page), "<html>home</html>");
}

TEST(BookLoad, WrongMagicReadsNothingFurther)
{
    PackageRecipe s;
    s.magic = "KDW301";
    s.headerStrings[2] = "Title";
    s.records = {Zlib("x")};
    s.rows = {{"/a.html", 0}};
    const auto book = LoadRecipe(s);
    EXPECT_FALSE(book->Loaded);
    EXPECT_EQ(book->Title, "");
    EXPECT_TRUE(book->Entries.empty());
    EXPECT_EQ(book->StartPage, "");
}

// Display switch and mode: whether the mode is read, and what it sets. A later field
// (the start page) shows that the position after the block is right.
TEST(BookLoad, DisplayModeTable)
{
    struct Case {
        std::int32_t change;
        std::int32_t mode;
        std::uint8_t keptChange, keptMode;
        std::int32_t width, height, depth;
    };
    const Case cases[] = {
        {0, 9, 0, 0, 0, 0, 0},            // mode not stored, not read
        {2, 9, 2, 0, 0, 0, 0},            // only 1 switches
        {0x100, 9, 0, 0, 0, 0, 0},        // low byte 0
        {0x101, 9, 1, 9, 640, 480, 32},   // low byte 1
        {1, 0, 1, 0, 640, 480, 16},
        {1, 1, 1, 1, 800, 600, 16},
        {1, 2, 1, 2, 1024, 768, 16},
        {1, 3, 1, 3, 1280, 1024, 8},      // stored explicitly
        {1, 0x203, 1, 3, 1280, 1024, 8},  // low byte 3
        {1, 4, 1, 4, 0, 0, 0},
        {1, 5, 1, 5, 640, 480, 24},
        {1, 6, 1, 6, 800, 600, 24},
        {1, 7, 1, 7, 1024, 768, 24},
        {1, 8, 1, 8, 0, 0, 0},
        {1, 9, 1, 9, 640, 480, 32},
        {1, 10, 1, 10, 800, 600, 32},
        {1, 11, 1, 11, 1024, 768, 32},
        {1, 12, 1, 12, 0, 0, 0},
        {1, 255, 1, 255, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "change " << c.change << " mode " << c.mode);
        PackageRecipe s;
        s.displaySwitch = c.change;
        s.displayMode = c.mode;
        s.displayWidth = 1280;
        s.displayHeight = 1024;
        s.displayDepth = 8;
        s.startPage = "/after.html";
        const auto book = LoadRecipe(s);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_EQ(book->ChangeDisplayMode, c.keptChange);
        EXPECT_EQ(book->DisplayMode, c.keptMode);
        EXPECT_EQ(book->DisplayWidth, c.width);
        EXPECT_EQ(book->DisplayHeight, c.height);
        EXPECT_EQ(book->DisplayDepth, c.depth);
        EXPECT_EQ(book->StartPage, "/after.html");
    }
}

TEST(BookLoad, WindowBlockShapes)
{
    struct Case {
        const char* name;
        bool fullScreen;
        bool toolbarVisible;
    };
    const Case cases[] = {
        {"full screen has no width and height", true, false},
        {"hidden toolbar ends after the minimize box", false, false},
        {"full screen with toolbar", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PackageRecipe s;
        s.interfaceKind = 0;
        s.fullScreen = c.fullScreen;
        s.windowWidth = 640;
        s.windowHeight = 400;
        s.borderStyle = 1;
        s.minimizeBox = true;
        s.toolbarVisible = c.toolbarVisible;
        s.toolbarButtonWidth = 30;
        s.toolbarButtons = {{4, false, {}}};
        s.startPage = "/after.html";
        const auto book = LoadRecipe(s);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_EQ(book->FullScreen, c.fullScreen);
        EXPECT_EQ(book->WindowWidth, c.fullScreen ? 0 : 640);
        EXPECT_EQ(book->WindowHeight, c.fullScreen ? 0 : 400);
        EXPECT_EQ(book->BorderStyle, 1);
        EXPECT_TRUE(book->MinimizeBox);
        EXPECT_EQ(book->ToolbarVisible, c.toolbarVisible);
        EXPECT_EQ(book->ToolbarButtonWidth, c.toolbarVisible ? 30 : 0);
        EXPECT_EQ(book->ToolbarButtonCount(), c.toolbarVisible ? 1 : 0);
        EXPECT_EQ(book->StartPage, "/after.html");
    }
}

TEST(BookLoad, ToolbarButtonWithoutBitmapThenOneWithBitmap)
{
    PackageRecipe s;
    s.interfaceKind = 0;
    s.toolbarVisible = true;
    s.toolbarButtons = {{0, false, {}}, {9, true, Zlib(MakeBmp(3, 2))}, {1, false, {}}};
    s.startPage = "/after.html";
    const auto book = LoadRecipe(s);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    ASSERT_EQ(book->ToolbarButtonCount(), 3);

    const auto& first = book->ToolbarButton(0);
    EXPECT_EQ(first.Command, 0);
    EXPECT_EQ(first.Hint, "Back");
    EXPECT_FALSE(first.HasBitmap);
    EXPECT_TRUE(first.Bitmap.Empty());

    const auto& second = book->ToolbarButton(1);
    EXPECT_EQ(second.Command, 9);
    EXPECT_EQ(second.Hint, "Close");
    EXPECT_TRUE(second.HasBitmap);
    EXPECT_EQ(second.Bitmap.Data, MakeBmp(3, 2));
    EXPECT_EQ(second.Bitmap.Width, 3);
    EXPECT_EQ(second.Bitmap.Height, 2);
    EXPECT_TRUE(second.Bitmap.Transparent);

    EXPECT_EQ(book->ToolbarButton(2).Hint, "Forward");
    EXPECT_EQ(book->StartPage, "/after.html");
}

TEST(BookLoad, ButtonCommandHints)
{
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "Back"}, {1, "Forward"}, {2, "Stop"}, {3, "Refresh"}, {4, "Home"},
        {5, "Find"}, {6, "Print"}, {7, ""}, {8, "About"}, {9, "Close"},
        {10, ""}, {200, ""}, {255, ""}, {0x105, "Find"},  // only the low byte counts
    };
    PackageRecipe s;
    s.interfaceKind = 0;
    s.toolbarVisible = true;
    for (const auto& c : cases)
        s.toolbarButtons.push_back({c.first, false, {}});
    const auto book = LoadRecipe(s);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    ASSERT_EQ(book->ToolbarButtonCount(), static_cast<int>(std::size(cases)));
    for (int i = 0; i < book->ToolbarButtonCount(); ++i) {
        SCOPED_TRACE(cases[i].first);
        EXPECT_EQ(book->ToolbarButton(i).Command, static_cast<std::uint8_t>(cases[i].first));
        EXPECT_EQ(book->ToolbarButton(i).Hint, cases[i].second);
    }
}

TEST(BookLoad, NonPositiveButtonCountsMeanNone)
{
    for (const std::int32_t count : {0, -1, -2000000000}) {
        SCOPED_TRACE(count);
        PackageRecipe toolbar;
        toolbar.interfaceKind = 0;
        toolbar.toolbarVisible = true;
        toolbar.toolbarButtonCount = count;
        toolbar.startPage = "/after.html";
        auto book = LoadRecipe(toolbar);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_EQ(book->ToolbarButtonCount(), 0);
        EXPECT_EQ(book->StartPage, "/after.html");

        PackageRecipe skin;
        skin.interfaceKind = 1;
        skin.skinImage = StoredPng();
        skin.skinButtonCount = count;
        skin.startPage = "/after.html";
        book = LoadRecipe(skin);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_EQ(book->SkinButtonCount(), 0);
        EXPECT_EQ(book->StartPage, "/after.html");
    }
}

TEST(BookLoad, SkinBlockWithButtons)
{
    PngRecipe skinPng;
    skinPng.width = 3;
    skinPng.height = 2;
    skinPng.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    skinPng.samples = {1, 2, 3, 0,    4, 5, 6, 255,  7, 8, 9, 128,
                       0, 0, 0, 10,   0, 0, 0, 20,   0, 0, 0, 30};
    PngRecipe buttonPng;
    buttonPng.width = 5;
    buttonPng.height = 4;
    buttonPng.colorType = PNG_COLOR_TYPE_RGB;

    PackageRecipe s;
    s.interfaceKind = 0x301;  // only the low byte counts
    s.skinImage = StoredPng(skinPng);
    s.browserLeft = 10;
    s.browserTop = 20;
    s.browserRight = 300;
    s.browserBottom = 200;
    s.skinButtons = {{8, 12, 14, StoredPng(buttonPng)}, {9, -5, 7, StoredPng()}};
    s.startPage = "/after.html";

    const auto book = LoadRecipe(s);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    EXPECT_EQ(book->InterfaceKind, 1);
    EXPECT_EQ(book->SkinImage.Data, MakePng(skinPng));
    EXPECT_EQ(book->SkinImage.Width, 3);
    EXPECT_EQ(book->SkinImage.Height, 2);
    EXPECT_EQ(book->SkinImage.AlphaAt(0, 0), 0);
    EXPECT_EQ(book->SkinImage.AlphaAt(1, 0), 255);
    EXPECT_EQ(book->SkinImage.AlphaAt(2, 1), 30);
    EXPECT_EQ(book->BrowserLeft, 10);
    EXPECT_EQ(book->BrowserTop, 20);
    EXPECT_EQ(book->BrowserRight, 300);
    EXPECT_EQ(book->BrowserBottom, 200);
    ASSERT_EQ(book->SkinButtonCount(), 2);
    EXPECT_EQ(book->SkinButton(0).Command, 8);
    EXPECT_EQ(book->SkinButton(0).Left, 12);
    EXPECT_EQ(book->SkinButton(0).Top, 14);
    EXPECT_EQ(book->SkinButton(0).Image.Width, 5);
    EXPECT_EQ(book->SkinButton(0).Image.Height, 4);
    EXPECT_EQ(book->SkinButton(1).Command, 9);
    EXPECT_EQ(book->SkinButton(1).Left, -5);
    EXPECT_EQ(book->SkinButton(1).Top, 7);
    EXPECT_FALSE(book->ToolbarVisible);
    EXPECT_EQ(book->StartPage, "/after.html");
}

TEST(BookLoad, SplashCloseModes)
{
    struct Case {
        std::int32_t stored;
        std::uint8_t mode;
        std::int32_t seconds;
    };
    const Case cases[] = {{0, 0, 0}, {1, 1, 0}, {2, 2, 7}, {0x102, 2, 7}, {3, 3, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        PackageRecipe s;
        s.splashEnabled = true;
        s.splashCloseMode = c.stored;
        s.splashSeconds = 7;
        s.splashImage = StoredPng();
        s.introEnabled = true;
        s.introMessage = "after the splash";
        const auto book = LoadRecipe(s);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_TRUE(book->SplashEnabled);
        EXPECT_EQ(book->SplashCloseMode, c.mode);
        EXPECT_EQ(book->SplashSeconds, c.seconds);
        EXPECT_EQ(book->SplashImage.Width, 2);
        EXPECT_EQ(book->IntroMessage, "after the splash");
    }
}

// The reserved selector decides the reserved block, the row length and a string after
// the start page; the second selector decides a reserved string.
TEST(BookLoad, ReservedSelectors)
{
    struct Case {
        std::int32_t selector;
        std::int32_t second;
        std::vector<std::string> strings;
    };
    const Case cases[] = {
        {0, 0, {}},
        {1, 0, {}},
        {1, 0, {"one", "", "three"}},
        {2, 0, {}},
        {3, 0, {}},        // no block, longer rows
        {0x100, 0, {}},    // low byte 0
        {0x201, 0, {"x"}},  // low byte 1
        {0, 1, {}},        // no second reserved string
        {0, 0x100, {}},    // low byte 0: string present
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "selector " << c.selector << " second " << c.second);
        PackageRecipe s;
        s.reservedSelector = c.selector;
        s.reservedStrings = c.strings;
        s.reservedString = "reserved";
        s.secondSelector = c.second;
        s.secondReservedString = "second";
        s.splashEnabled = false;
        s.escapeCloses = true;
        s.records = {Zlib("first"), Zlib("second")};
        s.rows = {{"/a.html", 0}, {"/b.html", 1}};
        s.startPage = "/b.html";
        s.tableEndString = "end";
        const auto built = BuildPackage(s);
        const auto book = LoadBytes(built.bytes);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_TRUE(book->EscapeCloses);
        ASSERT_EQ(book->Entries.size(), 2u);
        EXPECT_EQ(book->Entries[0].Name, "/a.html");
        EXPECT_EQ(book->Entries[0].Offset, built.recordOffsets[0]);
        EXPECT_EQ(book->Entries[1].Name, "/b.html");
        EXPECT_EQ(book->Entries[1].Offset, built.recordOffsets[1]);
        EXPECT_EQ(book->StartPage, "/b.html");
        Bytes content;
        EXPECT_TRUE(book->ExtractEntry("/b.html", content));
        EXPECT_EQ(Text(content), "second");
    }
}

TEST(BookLoad, ReservedSelectorOneWithNoStringsTakesEightBytes)
{
    PackageRecipe plain;
    PackageRecipe selected;
    selected.reservedSelector = 1;
    const auto a = BuildPackage(plain).bytes;
    const auto b = BuildPackage(selected).bytes;
    // selector + n (4 more than the bare selector) and the empty string after the start page
    EXPECT_EQ(b.size(), a.size() + 4 + 4);
    EXPECT_TRUE(LoadBytes(b)->Loaded);
}

TEST(BookLoad, StartPageFallback)
{
    struct Case {
        const char* name;
        std::string stored;
        std::vector<std::string> rows;
        std::string expected;
    };
    const Case cases[] = {
        {"stored start page kept", "/index.html", {"/back.gif", "/index.html"}, "/index.html"},
        {"empty becomes the first row", "", {"/back.gif", "/index.html"}, "/back.gif"},
        {"empty with no rows stays empty", "", {}, ""},
        {"stored name need not be in the table", "/missing.html", {"/a.html"}, "/missing.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PackageRecipe s;
        s.records = {Zlib("x")};
        for (const auto& name : c.rows)
            s.rows.push_back({name, 0});
        s.startPage = c.stored;
        const auto book = LoadRecipe(s);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_EQ(book->StartPage, c.expected);
    }
}

TEST(BookLoad, EntryTableKeepsDuplicatesAndOrder)
{
    PackageRecipe s;
    s.records = {Zlib("one"), Zlib("two"), Zlib("three")};
    s.rows = {{"/z.html", 2}, {"/a.html", 0}, {"/A.HTML", 1}, {"/a.html", 2}};
    for (const std::int32_t count : {0, -3})
    {
        PackageRecipe empty = s;
        empty.rowCount = count;
        empty.rows.clear();
        const auto book = LoadRecipe(empty);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_TRUE(book->Entries.empty()) << count;
    }
    const auto built = BuildPackage(s);
    const auto book = LoadBytes(built.bytes);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    ASSERT_EQ(book->Entries.size(), 4u);
    const char* names[] = {"/z.html", "/a.html", "/A.HTML", "/a.html"};
    const int records[] = {2, 0, 1, 2};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(book->Entries[i].Name, names[i]);
        EXPECT_EQ(book->Entries[i].Offset, built.recordOffsets[static_cast<std::size_t>(records[i])]);
    }
}

// A font that cannot be read or inflated is left out; the fonts around it and every
// later field are still read, because its length was consumed first.
TEST(BookLoad, BadFontRecordsAreSkipped)
{
    struct Case {
        const char* name;
        ByteVector bad;  // raw bytes of the middle record, length included
        std::vector<std::string> expected;
    };
    ByteWriter notZlib;
    notZlib.Blob(ToBytes("this is no zlib stream"));
    ByteWriter corruptData;
    corruptData.Blob({0x78, 0x9C, 0xFF, 0xFF, 0xFF});  // a zlib header, then a reserved block type
    ByteWriter badCheck;
    {
        auto stored = Zlib("font X");
        stored.back() ^= 0xFF;
        badCheck.Blob(stored);
    }
    ByteWriter negative;
    negative.Int32(-7);
    ByteWriter empty;
    empty.Int32(0);
    ByteWriter earlyEnd;
    {
        auto stored = Zlib(std::string(5000, 'e'), Z_NO_COMPRESSION);
        stored.resize(stored.size() / 2);
        earlyEnd.Blob(stored);
    }
    const Case cases[] = {
        {"not a zlib stream", notZlib.bytes, {"font A", "font B"}},
        {"corrupt deflate data", corruptData.bytes, {"font A", "font B"}},
        {"bad check sum", badCheck.bytes, {"font A", "font B"}},
        {"negative length", negative.bytes, {"font A", "font B"}},
        {"empty record is an empty font", empty.bytes, {"font A", "", "font B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PackageRecipe s;
        s.fontCount = 3;
        s.rawFonts = true;
        ByteWriter fonts;
        fonts.Blob(Zlib("font A")).Raw(c.bad).Blob(Zlib("font B"));
        s.afterFontCount = fonts.bytes;
        s.interfaceKind = 0;
        s.fullScreen = true;
        s.startPage = "/after.html";
        const auto book = LoadRecipe(s);
        ASSERT_TRUE(book->Loaded) << book->LoadError;
        ASSERT_EQ(book->FontCount(), static_cast<int>(c.expected.size()));
        for (int i = 0; i < book->FontCount(); ++i)
            EXPECT_EQ(Text(book->Font(i)), c.expected[static_cast<std::size_t>(i)]);
        EXPECT_TRUE(book->FullScreen);
        EXPECT_EQ(book->StartPage, "/after.html");
    }

    // A stream that merely ends early keeps what it inflated.
    PackageRecipe s;
    s.fontCount = 1;
    s.rawFonts = true;
    s.afterFontCount = earlyEnd.bytes;
    const auto book = LoadRecipe(s);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    ASSERT_EQ(book->FontCount(), 1);
    EXPECT_GT(book->Font(0).size(), 0u);
    EXPECT_LT(book->Font(0).size(), 5000u);
    EXPECT_EQ(Text(book->Font(0)), std::string(book->Font(0).size(), 'e'));
}

TEST(BookLoad, FontCounts)
{
    for (const std::int32_t count : {0, -1, -2000000000}) {
        SCOPED_TRACE(count);
        PackageRecipe s;
        s.fontCount = count;
        s.startPage = "/after.html";
        const auto book = LoadRecipe(s);
        EXPECT_TRUE(book->Loaded) << book->LoadError;
        EXPECT_EQ(book->FontCount(), 0);
        EXPECT_EQ(book->StartPage, "/after.html");
    }
}

// A forged count must end at the end of the file, not spin through billions of passes.
TEST(BookLoad, FontRecordPastTheEndOfTheFileEndsTheLoad)
{
    struct Case {
        const char* name;
        std::int32_t count;
        ByteVector records;
    };
    ByteWriter oneGood;
    oneGood.Blob(Zlib("font A"));
    ByteWriter hugeLength;
    hugeLength.Blob(Zlib("font A")).Int32(2000000000).Raw(ByteVector(16, 0));
    const Case cases[] = {
        {"forged huge count", 2000000000, oneGood.bytes},
        {"record longer than the file", 2, hugeLength.bytes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PackageRecipe s;
        s.headerStrings[2] = "Kept";
        s.fontCount = c.count;
        s.rawFonts = true;
        s.afterFontCount = c.records;
        const long before = PeakRssKb();
        const auto book = LoadRecipe(s);
        EXPECT_FALSE(book->Loaded);
        EXPECT_FALSE(book->LoadError.empty());
        EXPECT_EQ(book->Title, "Kept");
        // The settings after the good font are read as further (mostly empty) records.
        ASSERT_GE(book->FontCount(), 1);
        EXPECT_EQ(Text(book->Font(0)), "font A");
        EXPECT_LT(PeakRssKb() - before, 256 * 1024) << "a length claim was allocated";
    }
}

// A length that claims more than the file holds fails that read at once, without
// reserving the memory it claims.
TEST(BookLoad, HugeLengthClaimsFailWithoutAllocating)
{
    struct Case {
        const char* name;
        PackageRecipe recipe;
    };
    std::vector<Case> cases;
    {
        PackageRecipe s;
        s.headerStrings[5] = "placeholder";
        cases.push_back({"header string", s});
    }
    {
        PackageRecipe s;
        s.hasIcon = true;
        s.icon = ToBytes("placeholder");
        cases.push_back({"icon blob", s});
    }
    {
        PackageRecipe s;
        s.introEnabled = true;
        s.introMessage = "placeholder";
        cases.push_back({"intro message", s});
    }
    {
        PackageRecipe s;
        s.splashEnabled = true;
        s.splashImage = ToBytes("placeholder");
        cases.push_back({"splash zblob", s});
    }
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = BuildPackage(c.recipe).bytes;
        // Replace the length in front of the placeholder text with 2,000,000,000.
        const std::string marker = "placeholder";
        const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end()) - bytes.begin();
        ByteWriter patch;
        patch.bytes = bytes;
        patch.PatchInt32(static_cast<std::size_t>(at) - 4, 2000000000);
        const long before = PeakRssKb();
        const auto book = LoadBytes(patch.bytes);
        EXPECT_FALSE(book->Loaded);
        EXPECT_FALSE(book->LoadError.empty());
        EXPECT_LT(PeakRssKb() - before, 256 * 1024) << "a length claim was allocated";
    }
}

TEST(BookLoad, NegativeLengths)
{
    // A negative string length gives the empty string and consumes nothing more; a
    // negative blob length is an error.
    ByteWriter w;
    w.Raw(std::string("KDW300"));
    w.Int32(-1);                      // BookId: negative, empty
    w.Int32(0).String("Title").Int32(0).Int32(0).Int32(0).Int32(0);
    w.Byte(0).Int32(0).Int32(0).Int32(2).Int32(0).Raw(ByteVector(12, 0)).Int32(0);
    w.Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Byte(0).Int32(0).Int32(0).Byte(0);
    w.Int32(static_cast<std::int32_t>(w.Size() + 4));
    w.Int32(0).Int32(-5).Int32(0);  // no rows, start page of negative length, trailer
    auto book = LoadBytes(w.bytes);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    EXPECT_EQ(book->BookId, "");
    EXPECT_EQ(book->Title, "Title");
    EXPECT_EQ(book->StartPage, "");

    PackageRecipe s;
    s.hasIcon = true;
    s.icon = ToBytes("placeholder");
    auto bytes = BuildPackage(s).bytes;
    ByteWriter patch;
    patch.bytes = bytes;
    patch.PatchInt32(6 + 7 * 4 + 1, -1);  // the icon's length
    book = LoadBytes(patch.bytes);
    EXPECT_FALSE(book->Loaded);
}

// Pictures whose bytes are not what they claim to be fail the load; what was read
// before them stays.
TEST(BookLoad, InvalidPicturesFailTheLoad)
{
    auto truncatedPng = MakePng({});
    truncatedPng.resize(truncatedPng.size() - 20);
    struct Case {
        const char* name;
        PackageRecipe recipe;
    };
    std::vector<Case> cases;
    const auto base = [] {
        PackageRecipe s;
        s.headerStrings[2] = "Kept";
        return s;
    };
    {
        auto s = base();
        s.hasIcon = true;
        s.icon = ToBytes("not an icon at all");
        cases.push_back({"icon that is no icon", s});
    }
    {
        auto s = base();
        s.hasIcon = true;
        s.icon = Zlib(MakeIco());
        cases.push_back({"icon stored compressed", s});
    }
    {
        auto s = base();
        s.interfaceKind = 0;
        s.toolbarVisible = true;
        s.toolbarButtons = {{1, true, Zlib("not a bitmap")}};
        cases.push_back({"toolbar bitmap that is no bitmap", s});
    }
    {
        auto s = base();
        s.interfaceKind = 0;
        s.toolbarVisible = true;
        s.toolbarButtons = {{1, true, MakeBmp(2, 2)}};
        cases.push_back({"toolbar bitmap not compressed", s});
    }
    {
        auto s = base();
        s.interfaceKind = 1;
        s.skinImage = Zlib(MakeBmp(2, 2));
        cases.push_back({"skin that is no PNG", s});
    }
    {
        auto s = base();
        s.interfaceKind = 1;
        s.skinImage = Zlib(truncatedPng);
        cases.push_back({"truncated skin PNG", s});
    }
    {
        auto s = base();
        s.interfaceKind = 1;
        s.skinImage = {};
        cases.push_back({"empty skin", s});
    }
    {
        auto s = base();
        s.interfaceKind = 1;
        s.skinImage = StoredPng();
        s.skinButtons = {{0, 1, 1, StoredPng()}, {1, 1, 1, MakePng({})}};
        cases.push_back({"skin button PNG not compressed", s});
    }
    {
        auto s = base();
        s.splashEnabled = true;
        s.splashImage = Zlib("GIF89a");
        cases.push_back({"splash that is no PNG", s});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto book = LoadRecipe(c.recipe);
        EXPECT_FALSE(book->Loaded);
        EXPECT_FALSE(book->LoadError.empty());
        EXPECT_EQ(book->Title, "Kept");
    }
}

// Cutting the package anywhere leaves the book not loaded; the cut package keeps a
// trailer so that the reader finds its header and runs out of bytes.
TEST(BookLoad, TruncatedPackages)
{
    PackageRecipe s;
    s.headerStrings[2] = "Title";
    s.hasIcon = true;
    s.icon = MakeIco();
    s.fonts = {Zlib("font A")};
    s.interfaceKind = 0;
    s.toolbarVisible = true;
    s.toolbarButtons = {{0, true, Zlib(MakeBmp(2, 2))}};
    s.splashEnabled = true;
    s.splashImage = StoredPng();
    s.records = {Zlib("page")};
    s.rows = {{"/index.html", 0}};
    s.startPage = "/index.html";
    const auto full = BuildPackage(s).bytes;
    ASSERT_TRUE(LoadBytes(full)->Loaded);

    const std::string title = "Title";
    const auto titleAt = static_cast<std::size_t>(
        std::search(full.begin(), full.end(), title.begin(), title.end()) - full.begin());
    struct Cut {
        const char* name;
        std::size_t length;
        bool titleKept;
    };
    const Cut cuts[] = {
        {"inside the magic", 3, false},
        {"inside a header string's length", titleAt - 2, false},
        {"after the header strings", titleAt + 5 + 16, true},
        {"inside the icon", titleAt + 5 + 16 + 1 + 4 + 10, true},
        {"inside the settings", full.size() / 2, true},
        {"inside the entry table", full.size() - 40, true},
        {"inside the start page", full.size() - 10, true},
    };
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.name);
        ASSERT_LT(cut.length, full.size());
        ByteVector bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut.length));
        ByteWriter w;
        w.bytes = bytes;
        w.Int32(0);
        const auto book = LoadBytes(w.bytes);
        EXPECT_FALSE(book->Loaded);
        EXPECT_FALSE(book->LoadError.empty());
        EXPECT_EQ(book->Title, cut.titleKept ? "Title" : "");

        // Without a trailer, the last four bytes lead anywhere.
        EXPECT_FALSE(LoadBytes(bytes)->Loaded);
    }
    EXPECT_FALSE(LoadBytes(ByteVector(full.begin(), full.end() - 4))->Loaded) << "trailer missing";
}

TEST(BookLoad, BrokenTrailers)
{
    const auto minimal = BuildPackage(PackageRecipe {}).bytes;
    struct Case {
        const char* name;
        ByteVector bytes;
    };
    ByteWriter beyond;
    beyond.bytes = minimal;
    beyond.PatchInt32(minimal.size() - 4, 1000);
    ByteWriter negative;
    negative.bytes = minimal;
    negative.PatchInt32(minimal.size() - 4, -1);
    const Case cases[] = {
        {"empty file", {}},
        {"shorter than a trailer", {0, 0, 0}},
        {"trailer alone", {0, 0, 0, 0}},
        {"header beyond the file", beyond.bytes},
        {"negative header offset", negative.bytes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto book = LoadBytes(c.bytes);
        EXPECT_FALSE(book->Loaded);
        EXPECT_FALSE(book->LoadError.empty());
    }
}

// A package behind other bytes: every offset inside it is relative to its header.
TEST(BookLoad, PackageBehindAnExecutable)
{
    PackageRecipe s;
    s.prefix = ToBytes("MZ\x90");
    s.prefix.resize(4099, 0xCC);
    s.headerStrings[2] = "Appended";
    s.fonts = {Zlib("font")};
    s.records = {Zlib("<p>one</p>"), Zlib(std::string(70000, 'x'))};
    s.rows = {{"/one.html", 0}, {"/big.txt", 1}};
    const auto built = BuildPackage(s);
    const auto book = LoadBytes(built.bytes);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    EXPECT_EQ(book->HeaderOffset, 4099);
    EXPECT_EQ(book->Title, "Appended");
    EXPECT_EQ(book->Entries[0].Offset, built.recordOffsets[0]);
    EXPECT_LT(book->Entries[0].Offset, 4099) << "offsets are stored relative to the header";
    EXPECT_EQ(book->StartPage, "/one.html");
    Bytes content;
    ASSERT_TRUE(book->ExtractEntry("/one.html", content));
    EXPECT_EQ(Text(content), "<p>one</p>");
    content.clear();
    ASSERT_TRUE(book->ExtractEntry("/big.txt", content));
    EXPECT_EQ(Text(content), std::string(70000, 'x'));
}

TEST(BookLoad, ListIndexErrors)
{
    PackageRecipe s;
    s.fonts = {Zlib("f")};
    s.interfaceKind = 1;
    s.skinImage = StoredPng();
    s.skinButtons = {{0, 0, 0, StoredPng()}};
    const auto book = LoadRecipe(s);
    ASSERT_TRUE(book->Loaded) << book->LoadError;
    EXPECT_NO_THROW(book->Font(0));
    EXPECT_NO_THROW(book->SkinButton(0));
    for (const int index : {-1, 1, 1000000}) {
        SCOPED_TRACE(index);
        EXPECT_THROW(book->Font(index), std::out_of_range);
        EXPECT_THROW(book->SkinButton(index), std::out_of_range);
        EXPECT_THROW(book->ToolbarButton(index), std::out_of_range);
    }
    EXPECT_THROW(book->ToolbarButton(0), std::out_of_range);
}

TEST(BookLoad, MissingFileRaisesOpenError)
{
    EXPECT_THROW(TBook("/nonexistent/folder/book.exe"), EFOpenError);
    EXPECT_THROW(TBook("/"), EFOpenError);
}

}  // namespace
}  // namespace folianto
