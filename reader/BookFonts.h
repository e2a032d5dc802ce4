#pragma once
// The book's own fonts, usable by its pages while the reader window is shown: written to
// files in a private folder of the user, added to the application's font database before
// the first page is drawn, and removed and deleted when the window hides.

#include <string>
#include <vector>

namespace folianto {

class TBook;
struct TMainFormServices;

// The folder for font files: under $XDG_RUNTIME_DIR when it is set, otherwise under the
// user's cache folder; created readable by this user alone. Empty when no such folder can
// be had (one that is not a folder, a link, or someone else's is not used).
std::string BookFontDirectory();

// directory + "/__" + MD5Hex(bookId) + "_" + index + ".TTF": different books never
// share a name.
std::string BookFontFileName(const std::string& directory, const std::string& bookId, int index);

class TBookFonts {
public:
    explicit TBookFonts(std::string directory) : directory_(std::move(directory)) {}
    TBookFonts(const TBookFonts&) = delete;
    TBookFonts& operator=(const TBookFonts&) = delete;
    ~TBookFonts() { RemoveBookFonts(); }

    // Writes every font of the book (replacing any file of that name, such as one left by
    // a run that ended without hiding its window) and adds it. A font that cannot be
    // written or read is left out with a line on stderr; the rest go on.
    void InstallBookFonts(const TBook& book);
    // Takes the fonts out of the font database and deletes their files.
    void RemoveBookFonts();


private:
    struct TInstalled {
        std::string File;
        int Id;
    };
    std::string directory_;
    std::vector<TInstalled> installed_;
};

// The reader window's font steps, over fonts kept in directory.
void PlugInBookFonts(TMainFormServices& services, const std::string& directory);

}  // namespace folianto
