#include "StyleSheetReferences.h"

#include "CodePage.h"

#include <optional>

namespace folianto {

namespace {

bool IsNewline(char c) { return c == '\n' || c == '\r' || c == '\f'; }
bool IsWhitespace(char c) { return IsNewline(c) || c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsIdentStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsIdentChar(char c) { return IsIdentStart(c) || IsDigit(c) || c == '-'; }
bool IsNonPrintable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x08 || u == 0x0B || (u >= 0x0E && u <= 0x1F) || u == 0x7F;
}

std::string AsciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return text;
}

// A tokenizer that follows the CSS syntax rules far enough to know where every url token,
// string, comment, identifier and function begins and ends; everything else is skipped.
class TStyleTokenizer {
public:
    TStyleTokenizer(std::string_view css, int firstLine) : s_(css), line_(firstLine) {}

    std::vector<TReference> Run()
    {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '/' && Peek(1) == '*') {
                SkipComment();
            } else if (IsWhitespace(c)) {
                Advance();
            } else if (c == '"' || c == '\'') {
                const int line = line_;
                if (auto text = ConsumeString())
                    StringFound(std::move(*text), line);
                EndOfPreludeToken();
            } else if (c == '#') {
                Advance();
                if (pos_ < s_.size() && (IsIdentChar(s_[pos_]) || StartsEscape(pos_)))
                    ConsumeName();
            } else if (StartsNumber(pos_)) {
                ConsumeNumber();
                EndOfPreludeToken();
            } else if (c == '@') {
                Advance();
                if (StartsIdent(pos_)) {
                    const std::string name = AsciiLower(ConsumeName());
                    atRule_ = name == "import" ? TAtRule::Import : name == "namespace" ? TAtRule::Namespace : TAtRule::Other;
                    importFirst_ = atRule_ == TAtRule::Import;
                }
            } else if (StartsIdent(pos_)) {
                ConsumeIdentLike();
            } else if (c == '(' || c == '[') {
                functions_.emplace_back();
                Advance();
                EndOfPreludeToken();
            } else if (c == ')' || c == ']') {
                if (!functions_.empty())
                    functions_.pop_back();
                Advance();
            } else if (c == '{' || c == '}' || c == ';') {
                atRule_ = TAtRule::None;
                importFirst_ = false;
                functions_.clear();
                Advance();
            } else {
                Advance();
                EndOfPreludeToken();
            }
        }
        return std::move(found_);
    }

private:
    enum class TAtRule { None, Import, Namespace, Other };

    char Peek(std::size_t ahead) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
    bool AtEnd() const { return pos_ >= s_.size(); }

    // Moves past one byte; "\r\n" counts as one line break.
    void Advance()
    {
        const char c = s_[pos_++];
        if (c == '\n' || c == '\f' || (c == '\r' && (AtEnd() || s_[pos_] != '\n')))
            ++line_;
    }

    void SkipWhitespace()
    {
        while (!AtEnd() && IsWhitespace(s_[pos_]))
            Advance();
    }

    void SkipComment()
    {
        pos_ += 2;
        while (!AtEnd() && !(s_[pos_] == '*' && Peek(1) == '/'))
            Advance();
        pos_ = std::min(pos_ + 2, s_.size());
    }

    bool StartsEscape(std::size_t at) const { return at < s_.size() && s_[at] == '\\' && (at + 1 >= s_.size() || !IsNewline(s_[at + 1])); }

    bool StartsIdent(std::size_t at) const
    {
        if (at >= s_.size())
            return false;
        const char c = s_[at];
        if (c == '-') {
            const char next = at + 1 < s_.size() ? s_[at + 1] : '\0';
            return IsIdentStart(next) || next == '-' || StartsEscape(at + 1);
        }
        return IsIdentStart(c) || StartsEscape(at);
    }

    bool StartsNumber(std::size_t at) const
    {
        auto digit = [&](std::size_t i) { return i < s_.size() && IsDigit(s_[i]); };
        const char c = at < s_.size() ? s_[at] : '\0';
        if (c == '+' || c == '-')
            return digit(at + 1) || (at + 1 < s_.size() && s_[at + 1] == '.' && digit(at + 2));
        if (c == '.')
            return digit(at + 1);
        return IsDigit(c);
    }

    // The code point of an escape (the backslash is at pos_), as UTF-8.
    void ConsumeEscape(std::string& out)
    {
        Advance();  // the backslash
        if (AtEnd()) {
            out += "\xEF\xBF\xBD";
            return;
        }
        if (!IsHexDigit(s_[pos_])) {
            out += s_[pos_];
            Advance();
            return;
        }
        char32_t value = 0;
        for (int digits = 0; digits < 6 && !AtEnd() && IsHexDigit(s_[pos_]); ++digits) {
            const char h = s_[pos_];
            value = value * 16 + static_cast<char32_t>(IsDigit(h) ? h - '0' : (h | 0x20) - 'a' + 10);
            Advance();
        }
        if (!AtEnd() && IsWhitespace(s_[pos_])) {
            const bool crlf = s_[pos_] == '\r' && Peek(1) == '\n';
            Advance();
            if (crlf)
                Advance();
        }
        if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
            value = 0xFFFD;
        out += CodePointToUtf8(value);
    }

    std::string ConsumeName()
    {
        std::string name;
        while (!AtEnd()) {
            if (IsIdentChar(s_[pos_])) {
                name += s_[pos_];
                Advance();
            } else if (StartsEscape(pos_)) {
                ConsumeEscape(name);
            } else {
                break;
            }
        }
        return name;
    }

    void ConsumeNumber()
    {
        if (s_[pos_] == '+' || s_[pos_] == '-')
            Advance();
        while (!AtEnd() && (IsDigit(s_[pos_]) || s_[pos_] == '.'))
            Advance();
        if (!AtEnd() && (s_[pos_] == 'e' || s_[pos_] == 'E') &&
            (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
            Advance();
            Advance();
            while (!AtEnd() && IsDigit(s_[pos_]))
                Advance();
        }
        if (StartsIdent(pos_))
            ConsumeName();  // the unit
        else if (!AtEnd() && s_[pos_] == '%')
            Advance();
    }

    // A quoted string (the quote is at pos_); none when a line break ends it unclosed.
    std::optional<std::string> ConsumeString()
    {
        const char quote = s_[pos_];
        Advance();
        std::string text;
        while (!AtEnd()) {
            const char c = s_[pos_];
            if (c == quote) {
                Advance();
                return text;
            }
            if (IsNewline(c))
                return std::nullopt;  // a bad string; the line break starts what follows
            if (c == '\\') {
                if (pos_ + 1 >= s_.size()) {
                    Advance();
                } else if (IsNewline(s_[pos_ + 1])) {
                    Advance();
                    const bool crlf = s_[pos_] == '\r' && Peek(1) == '\n';
                    Advance();
                    if (crlf)
                        Advance();
                } else {
                    ConsumeEscape(text);
                }
                continue;
            }
            text += c;
            Advance();
        }
        return text;
    }

    // The rest of a bad url: up to its ")" with escapes stepped over.
    void ConsumeBadUrlRemnants()
    {
        while (!AtEnd()) {
            if (s_[pos_] == ')') {
                Advance();
                return;
            }
            if (StartsEscape(pos_)) {
                std::string ignored;
                ConsumeEscape(ignored);
            } else {
                Advance();
            }
        }
    }

    // An unquoted url( ... ) after its opening parenthesis and leading spaces.
    std::optional<std::string> ConsumeUrl()
    {
        std::string text;
        while (!AtEnd()) {
            const char c = s_[pos_];
            if (c == ')') {
                Advance();
                return text;
            }
            if (IsWhitespace(c)) {
                SkipWhitespace();
                if (AtEnd() || s_[pos_] == ')') {
                    if (!AtEnd())
                        Advance();
                    return text;
                }
                ConsumeBadUrlRemnants();
                return std::nullopt;
            }
            if (c == '"' || c == '\'' || c == '(' || IsNonPrintable(c)) {
                ConsumeBadUrlRemnants();
                return std::nullopt;
            }
            if (c == '\\') {
                if (!StartsEscape(pos_)) {
                    ConsumeBadUrlRemnants();
                    return std::nullopt;
                }
                ConsumeEscape(text);
                continue;
            }
            text += c;
            Advance();
        }
        return text;
    }

    void ConsumeIdentLike()
    {
        const int line = line_;
        const std::string name = AsciiLower(ConsumeName());
        if (AtEnd() || s_[pos_] != '(') {
            EndOfPreludeToken();
            return;
        }
        Advance();
        if (name != "url") {
            functions_.push_back(name);
            EndOfPreludeToken();
            return;
        }
        SkipWhitespace();
        if (!AtEnd() && (s_[pos_] == '"' || s_[pos_] == '\'')) {
            // url("...") is a function holding a string; its ")" closes it like any other.
            functions_.push_back(name);
            const int stringLine = line_;
            if (auto text = ConsumeString())
                UrlFound(std::move(*text), stringLine);
        } else if (auto text = ConsumeUrl()) {
            UrlFound(std::move(*text), line);
        }
        EndOfPreludeToken();
    }

    void UrlFound(std::string text, int line)
    {
        if (atRule_ == TAtRule::Namespace)
            return;
        if (importFirst_)
            found_.push_back({std::move(text), "@import", line, true});
        else
            found_.push_back({std::move(text), "url()", line, false});
    }

    void StringFound(std::string text, int line)
    {
        if (importFirst_) {
            found_.push_back({std::move(text), "@import", line, true});
        } else if (!functions_.empty() && (functions_.back() == "image-set" || functions_.back() == "-webkit-image-set")) {
            found_.push_back({std::move(text), "image-set()", line, false});
        }
    }

    // Only the first thing after @import names the sheet; media queries and layers follow.
    void EndOfPreludeToken() { importFirst_ = false; }

    std::string_view s_;
    std::size_t pos_ = 0;
    int line_;
    TAtRule atRule_ = TAtRule::None;
    bool importFirst_ = false;
    std::vector<std::string> functions_;
    std::vector<TReference> found_;
};

}  // namespace

std::vector<TReference> StyleSheetReferences(std::string_view css, int firstLine)
{
    return TStyleTokenizer(css, firstLine).Run();
}

}  // namespace folianto
