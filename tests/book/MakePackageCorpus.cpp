// Writes the seed packages of the package fuzzer into a folder: one small, valid package
// per shape of the format, so that mutation starts from every branch of the reader.

#include "PackageBytes.h"

#include <fstream>
#include <iostream>

using namespace folianto::testing;

namespace {

void Write(const std::string& dir, const std::string& name, const ByteVector& bytes)
{
    if (bytes.size() > 16384)
        throw std::runtime_error(name + " is larger than the fuzzer's input limit");
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + name);
}

PackageRecipe WithEntries(PackageRecipe s)
{
    s.records = {Zlib("<html><body>Start</body></html>"), Zlib("GIF89a"), {}};
    s.rows = {{"/index.html", 0}, {"/GR.GIF", 1}, {"/empty.txt", 2}};
    return s;
}

ByteVector SmallPng(int colorType)
{
    PngRecipe png;
    png.width = 4;
    png.height = 3;
    png.colorType = colorType;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png.paletteSize = 3;
        png.trnsAlpha = {0};
    }
    return Zlib(MakePng(png));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_package_corpus DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    try {
        Write(dir, "minimal", BuildPackage(PackageRecipe {}).bytes);

        PackageRecipe window = WithEntries({});
        for (int i = 0; i < 7; ++i)
            window.headerStrings[i] = "text " + std::to_string(i);
        window.interfaceKind = 0;
        window.windowWidth = 800;
        window.windowHeight = 600;
        window.borderStyle = 2;
        window.systemMenu = window.minimizeBox = window.maximizeBox = true;
        window.toolbarVisible = true;
        window.toolbarButtonWidth = window.toolbarButtonHeight = 24;
        window.toolbarColor = 0xFF00000F;
        window.toolbarButtons = {{0, false, {}}, {9, true, Zlib(MakeBmp(4, 4))}, {5, false, {}}};
        window.startPage = "/index.html";
        Write(dir, "window-toolbar", BuildPackage(window).bytes);

        PackageRecipe full = WithEntries({});
        full.interfaceKind = 0;
        full.fullScreen = true;
        full.borderStyle = 0;
        full.escapeCloses = true;
        Write(dir, "full-screen", BuildPackage(full).bytes);

        PackageRecipe skin = WithEntries({});
        skin.interfaceKind = 1;
        skin.skinImage = SmallPng(PNG_COLOR_TYPE_RGB_ALPHA);
        skin.browserLeft = 1;
        skin.browserTop = 1;
        skin.browserRight = 3;
        skin.browserBottom = 2;
        skin.skinButtons = {{8, 0, 0, SmallPng(PNG_COLOR_TYPE_PALETTE)}, {9, 2, 1, SmallPng(PNG_COLOR_TYPE_GRAY_ALPHA)}};
        Write(dir, "skin", BuildPackage(skin).bytes);

        PackageRecipe splash = WithEntries({});
        splash.splashEnabled = true;
        splash.splashCloseMode = 2;
        splash.splashSeconds = 3;
        splash.splashImage = SmallPng(PNG_COLOR_TYPE_RGB);
        splash.introEnabled = true;
        splash.introMessage = "Welcome, {\\rtf1 http://example.org}";
        splash.exitEnabled = true;
        splash.exitMessage = "Good bye";
        splash.stayOnTop = splash.disableScreenSaver = splash.rememberLastPage = true;
        Write(dir, "splash", BuildPackage(splash).bytes);

        PackageRecipe selector1 = WithEntries({});
        selector1.reservedSelector = 1;
        selector1.reservedStrings = {"a", "bc"};
        selector1.tableEndString = "end";
        selector1.secondSelector = 1;
        Write(dir, "selector-1", BuildPackage(selector1).bytes);

        PackageRecipe selector2 = WithEntries({});
        selector2.reservedSelector = 2;
        selector2.startPage = "/GR.GIF";
        Write(dir, "selector-2", BuildPackage(selector2).bytes);

        PackageRecipe display = WithEntries({});
        display.displaySwitch = 1;
        display.displayMode = 3;
        display.displayWidth = 1280;
        display.displayHeight = 1024;
        display.displayDepth = 32;
        display.hasIcon = true;
        display.icon = MakeIco(48);
        Write(dir, "display-icon", BuildPackage(display).bytes);

        PackageRecipe fonts = WithEntries({});
        fonts.displaySwitch = 1;
        fonts.displayMode = 10;
        fonts.fonts = {Zlib(std::string(200, 'F')), ToBytes("not zlib"), Zlib("second font")};
        Write(dir, "fonts", BuildPackage(fonts).bytes);

        PackageRecipe appended = WithEntries({});
        appended.prefix = ToBytes("MZ");
        appended.prefix.resize(64, 0);
        appended.headerStrings[2] = "Appended";
        Write(dir, "appended", BuildPackage(appended).bytes);

        PackageRecipe entries;
        auto early = Zlib(ByteVector(400, 'e'), Z_NO_COMPRESSION);
        early.resize(early.size() / 2);
        entries.records = {Zlib("<p>a</p>"), Zlib("<p>A</p>"), ToBytes("raw"), early, {},
                           Zlib(ByteVector(8000, 'x'))};
        entries.rows = {{"/a.html", 0}, {"/A.HTML", 1}, {"/raw.bin", 2}, {"/early.txt", 3},
                        {"/empty", 4}, {"/x.txt", 5}, {"/\xE9t\xE9.html", 0}, {"/bad", 0, -1}};
        Write(dir, "entries", BuildPackage(entries).bytes);
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
