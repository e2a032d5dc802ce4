// Which file a process reads its book from, and the process-wide book.

#include "Book.h"
#include "PackageBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdlib.h>

namespace folianto {
namespace {

using namespace folianto::testing;

TEST(ChoosePackageFile, OwnExecutableUnlessOneArgumentNamesAFile)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string expected;
    };
    const Case cases[] = {
        {{"/opt/book.exe"}, "/opt/book.exe"},
        {{}, "/opt/book.exe"},
        {{"/opt/book.exe", "other.kdw"}, "other.kdw"},
        {{"/opt/book.exe", "/abs/other.kdw", "ignored", "too"}, "/abs/other.kdw"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.size());
        EXPECT_EQ(ChoosePackageFile(c.arguments, "/opt/book.exe"), c.expected);
    }
}

TEST(ChoosePackageFile, RelativeNameIsLookedUpBesideTheProgramThenWhereItWasStarted)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "folianto-choose-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path root = pattern, program = root / "bin" / "reader", shell = root / "home";
    for (const fs::path& file : {root / "bin/beside.kdw", root / "bin/both.kdw", shell / "both.kdw", shell / "here.kdw",
                                shell / "books/deep.kdw", shell / "folder.kdw"}) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "x";
    }
    fs::create_directories(root / "bin/folder.kdw");  // a folder is no package

    struct Case {
        std::string named, expected;
    };
    const Case cases[] = {
        {"beside.kdw", (root / "bin/beside.kdw").string()},
        {"both.kdw", (root / "bin/both.kdw").string()},  // the program's folder comes first
        {"here.kdw", (shell / "here.kdw").string()},
        {"books/deep.kdw", (shell / "books/deep.kdw").string()},
        {"folder.kdw", (shell / "folder.kdw").string()},
        {"nowhere.kdw", (shell / "nowhere.kdw").string()},  // the open error names the place tried last
        {"/abs/other.kdw", "/abs/other.kdw"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        EXPECT_EQ(ChoosePackageFile({program.string(), c.named}, program.string(), shell.string()), c.expected);
    }
    // Without a start folder, and without an argument, nothing changes.
    EXPECT_EQ(ChoosePackageFile({program.string(), "here.kdw"}, program.string()), "here.kdw");
    EXPECT_EQ(ChoosePackageFile({program.string()}, program.string(), shell.string()), program.string());
    fs::remove_all(root);
}

class GetBookTest : public ::testing::Test {
protected:
    void TearDown() override { FreeBook(); }
};

TEST_F(GetBookTest, OpenErrorPropagatesAndTheNextCallTriesAgain)
{
    PackageRecipe s;
    s.headerStrings[2] = "The Book";
    TempFile file(BuildPackage(s).bytes);

    SetBookArguments({"reader", "/nonexistent/folder/book.kdw"});
    EXPECT_THROW(GetBook(), EFOpenError);
    EXPECT_THROW(GetBook(), EFOpenError) << "a failed open leaves no book behind";

    SetBookArguments({"reader", file.Path()});
    TBook& book = GetBook();
    EXPECT_TRUE(book.Loaded) << book.LoadError;
    EXPECT_EQ(book.Title, "The Book");

    // Once made, the book stays the same object whatever the arguments say now.
    SetBookArguments({"reader", "/nonexistent/folder/book.kdw"});
    EXPECT_EQ(&GetBook(), &book);

    FreeBook();
    EXPECT_THROW(GetBook(), EFOpenError) << "after FreeBook the next call opens again";
}

TEST_F(GetBookTest, ArgumentFileIsReadEvenWhenTheExecutableCarriesABook)
{
    PackageRecipe own;
    own.headerStrings[2] = "Carried";
    own.prefix = ToBytes("an executable");
    TempFile executable(BuildPackage(own).bytes);
    PackageRecipe other;
    other.headerStrings[2] = "Named";
    TempFile named(BuildPackage(other).bytes);

    EXPECT_EQ(ChoosePackageFile({executable.Path(), named.Path()}, executable.Path()), named.Path());
    SetBookArguments({executable.Path(), named.Path()});
    EXPECT_EQ(GetBook().Title, "Named");
}

TEST_F(GetBookTest, NoArgumentReadsTheOwnExecutable)
{
    // This test program carries no book: its own file opens, and is no valid book.
    SetBookArguments({"reader"});
    TBook* book = nullptr;
    ASSERT_NO_THROW(book = &GetBook());
    EXPECT_FALSE(book->Loaded);
}

}  // namespace
}  // namespace folianto
