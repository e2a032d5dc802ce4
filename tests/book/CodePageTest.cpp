// Windows-1252 text: conversion to and from UTF-8, and the letter case of entry names.

#include "CodePage.h"

#include <gtest/gtest.h>

namespace folianto {
namespace {

TEST(CodePage, ToUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain ASCII", "plain ASCII"},
        {"\x80", "\xE2\x82\xAC"},           // euro sign
        {"\x99", "\xE2\x84\xA2"},           // trade mark
        {"\x9F", "\xC5\xB8"},               // Y with diaeresis
        {"\x81", "\xC2\x81"},               // undefined in Windows-1252: kept as the C1 control
        {"\xA0", "\xC2\xA0"},
        {"caf\xE9", "caf\xC3\xA9"},
        {"\xFF", "\xC3\xBF"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [cp1252, utf8] : cases) {
        SCOPED_TRACE(cp1252);
        EXPECT_EQ(Cp1252ToUtf8(cp1252), utf8);
        EXPECT_EQ(Utf8ToCp1252(utf8), cp1252);
    }
}

TEST(CodePage, EveryByteRoundTrips)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(CodePage, FromUtf8Refuses)
{
    const std::pair<const char*, std::string> cases[] = {
        {"character outside Windows-1252", "\xC4\x80"},           // U+0100
        {"CJK character", "\xE3\x81\x82"},
        {"four-byte character", "\xF0\x9F\x93\x96"},
        {"C1 control Windows-1252 uses", "\xC2\x80"},             // U+0080: 0x80 is the euro sign
        {"lone continuation byte", "a\x80"},
        {"truncated sequence", "\xE2\x82"},
        {"overlong slash", "\xC0\xAF"},
        {"overlong three bytes", "\xE0\x80\xAF"},
        {"surrogate", "\xED\xA0\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
        {"invalid lead byte", "\xFF"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(Utf8ToCp1252(text).has_value());
    }
}

TEST(CodePage, LetterCaseOfNames)
{
    struct Case {
        std::string a, b;
        bool same;
    };
    const Case cases[] = {
        {"/Index.HTML", "/index.html", true},
        {"/\xC9", "/\xE9", true},       // É é
        {"/\xC0\xDE", "/\xE0\xFE", true},  // À Þ, first and last of the range
        {"/\x8A\x8C\x8E", "/\x9A\x9C\x9E", true},  // Š Œ Ž
        {"/\x9F", "/\xFF", true},       // Ÿ ÿ
        {"/\xD7", "/\xF7", false},      // × and ÷ are not letters
        {"/\xDF", "/ss", false},        // ß is not expanded
        {"/[", "/{", false},            // only letters fold
        {"/@", "/`", false},
        {"/a", "/a ", false},
        {"", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a + " vs " + c.b);
        EXPECT_EQ(SameNameIgnoringCase(c.a, c.b), c.same);
        EXPECT_EQ(SameNameIgnoringCase(c.b, c.a), c.same);
    }
}

TEST(CodePage, FoldedNamesAgreeWithTheComparisonForEveryPairOfBytes)
{
    // An index keyed by the folded name must find exactly what the entry lookup's scan finds.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const std::string x(1, static_cast<char>(a)), y(1, static_cast<char>(b));
            ASSERT_EQ(FoldedName(x) == FoldedName(y), SameNameIgnoringCase(x, y)) << a << " " << b;
        }
    }
    EXPECT_EQ(FoldedName("/Pictures/\xC9T\xC9.PNG"), "/pictures/\xE9t\xE9.png");
}

}  // namespace
}  // namespace folianto
