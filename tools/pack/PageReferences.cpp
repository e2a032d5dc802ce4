#include "PageReferences.h"

#include "CodePage.h"

#include <libxml/HTMLparser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace folianto {

namespace {

bool IsAsciiWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return lower;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsAsciiWhitespace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsAsciiWhitespace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool HasToken(std::string_view list, std::string_view token)
{
    std::size_t start = 0;
    while (start < list.size()) {
        while (start < list.size() && IsAsciiWhitespace(list[start]))
            ++start;
        std::size_t end = start;
        while (end < list.size() && !IsAsciiWhitespace(list[end]))
            ++end;
        if (end > start && AsciiLower(list.substr(start, end - start)) == token)
            return true;
        start = end;
    }
    return false;
}

bool HasNonAscii(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// libxml2's HTML parser, told the encoding so that it never guesses one of its own. It
// keeps no line for an element's start, so the start of every tag is found in the text:
// the parser reports an element at the end of its start tag, and the "<" and name that
// open it lie between there and the end of the start tag before.
class TParsedPage {
public:
    explicit TParsedPage(std::string_view text) : text_(text)
    {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
                lineStarts_.push_back(i + 1);
        context_ = htmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size()));
        if (!context_)
            return;
        htmlCtxtUseOptions(context_, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                         HTML_PARSE_NONET | HTML_PARSE_NODEFDTD | HTML_PARSE_COMPACT |
                                         HTML_PARSE_IGNORE_ENC);
        xmlSwitchEncoding(context_, XML_CHAR_ENCODING_UTF8);
        context_->_private = this;
        startElement_ = context_->sax->startElement;
        context_->sax->startElement = &StartElement;
        htmlParseDocument(context_);
        doc_ = context_->myDoc;
    }
    ~TParsedPage()
    {
        if (doc_)
            xmlFreeDoc(doc_);
        if (context_)
            htmlFreeParserCtxt(context_);
    }
    TParsedPage(const TParsedPage&) = delete;
    TParsedPage& operator=(const TParsedPage&) = delete;

    htmlDocPtr Doc() const { return doc_; }

    // The line on which the element's start tag begins, and the one on which it ends.
    std::pair<int, int> TagLines(const xmlNode& element) const
    {
        const auto at = tags_.find(&element);
        if (at == tags_.end())
            return {0, 0};
        return {LineAt(at->second.first), LineAt(at->second.second)};
    }

private:
    static void StartElement(void* context, const xmlChar* name, const xmlChar** attributes)
    {
        auto* parser = static_cast<htmlParserCtxtPtr>(context);
        auto* self = static_cast<TParsedPage*>(parser->_private);
        const long end = xmlByteConsumed(parser);
        self->startElement_(context, name, attributes);
        if (end < 0 || static_cast<std::size_t>(end) > self->text_.size() || !parser->node)
            return;
        const auto tagEnd = static_cast<std::size_t>(end);
        self->tags_[parser->node] = {self->TagStart(reinterpret_cast<const char*>(name), tagEnd), tagEnd};
        self->previousEnd_ = tagEnd;
    }

    // An element the parser implies (a missing <body>) has no tag of its own: its end.
    std::size_t TagStart(std::string_view name, std::size_t end) const
    {
        for (std::size_t at = end; at-- > previousEnd_;) {
            if (text_[at] != '<' || at + 1 + name.size() > text_.size())
                continue;
            bool same = true;
            for (std::size_t k = 0; k < name.size() && same; ++k) {
                const char c = text_[at + 1 + k];
                same = (c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) == name[k];
            }
            const std::size_t after = at + 1 + name.size();
            if (same && (after == text_.size() || IsAsciiWhitespace(text_[after]) || text_[after] == '>' ||
                         text_[after] == '/'))
                return at;
        }
        return end;
    }

    int LineAt(std::size_t offset) const
    {
        return static_cast<int>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset) - lineStarts_.begin());
    }

    std::string_view text_;
    std::vector<std::size_t> lineStarts_{0};
    htmlParserCtxtPtr context_ = nullptr;
    htmlDocPtr doc_ = nullptr;
    startElementSAXFunc startElement_ = nullptr;
    std::size_t previousEnd_ = 0;
    std::unordered_map<const xmlNode*, std::pair<std::size_t, std::size_t>> tags_;
};

std::string_view NameOf(const xmlNode& node) { return reinterpret_cast<const char*>(node.name); }

// The value of an attribute, its character references already undone by the parser.
std::string ValueOf(const xmlAttr& attribute)
{
    std::string value;
    for (const xmlNode* part = attribute.children; part; part = part->next)
        if (part->content)
            value += reinterpret_cast<const char*>(part->content);
    return value;
}

const xmlAttr* FindAttribute(const xmlNode& element, std::string_view name)
{
    for (const xmlAttr* attribute = element.properties; attribute; attribute = attribute->next)
        if (reinterpret_cast<const char*>(attribute->name) == name)
            return attribute;
    return nullptr;
}

std::optional<std::string> AttributeValue(const xmlNode& element, std::string_view name)
{
    const xmlAttr* attribute = FindAttribute(element, name);
    return attribute ? std::optional<std::string>(ValueOf(*attribute)) : std::nullopt;
}

// Every element in document order, without recursion, and whether it sits inside <svg>.
template <typename Visit>
void ForEachElement(const htmlDocPtr doc, Visit visit)
{
    std::vector<std::pair<const xmlNode*, bool>> pending;
    for (const xmlNode* child = doc ? doc->last : nullptr; child; child = child->prev)
        pending.emplace_back(child, false);
    while (!pending.empty()) {
        const auto [node, inSvg] = pending.back();
        pending.pop_back();
        if (node->type != XML_ELEMENT_NODE)
            continue;
        visit(*node, inSvg);
        const bool svg = inSvg || NameOf(*node) == "svg";
        for (const xmlNode* child = node->last; child; child = child->prev)
            pending.emplace_back(child, svg);
    }
}

enum class TCharset { Undeclared, Utf8, Windows1252, Other };

TCharset CharsetFromLabel(std::string_view label)
{
    const std::string name = AsciiLower(Trimmed(label));
    if (name.empty())
        return TCharset::Undeclared;
    static const char* const utf8[] = {"utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
                                       "x-unicode20utf8",
                                       // a page cannot be UTF-16 if the label could be read: browsers take UTF-8
                                       "utf-16", "utf-16le", "utf-16be"};
    static const char* const cp1252[] = {"windows-1252", "x-cp1252", "cp1252", "ansi_x3.4-1968", "ascii", "us-ascii",
                                         "cp819", "csisolatin1", "ibm819", "iso-8859-1", "iso-ir-100", "iso8859-1",
                                         "iso88591", "iso_8859-1", "iso_8859-1:1987", "l1", "latin1"};
    for (const char* known : utf8)
        if (name == known)
            return TCharset::Utf8;
    for (const char* known : cp1252)
        if (name == known)
            return TCharset::Windows1252;
    return TCharset::Other;
}

// charset=... inside a content-type value.
std::string_view CharsetOfContentType(std::string_view content)
{
    const std::string lower = AsciiLower(content);
    std::size_t at = lower.find("charset");
    if (at == std::string::npos)
        return {};
    at += 7;
    while (at < content.size() && IsAsciiWhitespace(content[at]))
        ++at;
    if (at >= content.size() || content[at] != '=')
        return {};
    ++at;
    while (at < content.size() && IsAsciiWhitespace(content[at]))
        ++at;
    if (at < content.size() && (content[at] == '"' || content[at] == '\'')) {
        const std::size_t end = content.find(content[at], at + 1);
        return end == std::string_view::npos ? std::string_view{} : content.substr(at + 1, end - at - 1);
    }
    std::size_t end = at;
    while (end < content.size() && !IsAsciiWhitespace(content[end]) && content[end] != ';')
        ++end;
    return content.substr(at, end - at);
}

TCharset DeclaredCharset(const htmlDocPtr doc)
{
    TCharset found = TCharset::Undeclared;
    ForEachElement(doc, [&](const xmlNode& element, bool) {
        if (found != TCharset::Undeclared || NameOf(element) != "meta")
            return;
        if (const auto charset = AttributeValue(element, "charset")) {
            found = CharsetFromLabel(*charset);
            return;
        }
        const auto equiv = AttributeValue(element, "http-equiv");
        const auto content = AttributeValue(element, "content");
        if (equiv && content && AsciiLower(Trimmed(*equiv)) == "content-type")
            found = CharsetFromLabel(CharsetOfContentType(*content));
    });
    return found;
}

// The address of <meta http-equiv="refresh" content="5; url=next.html">, if it names one.
std::optional<std::string> RefreshAddress(std::string_view content)
{
    std::size_t at = 0;
    auto skipSpace = [&] {
        while (at < content.size() && IsAsciiWhitespace(content[at]))
            ++at;
    };
    skipSpace();
    const std::size_t timeStart = at;
    while (at < content.size() && ((content[at] >= '0' && content[at] <= '9') || content[at] == '.'))
        ++at;
    if (at == timeStart)
        return std::nullopt;
    skipSpace();
    if (at < content.size() && (content[at] == ';' || content[at] == ','))
        ++at;
    skipSpace();
    if (at >= content.size())
        return std::nullopt;
    if (content.size() - at >= 3 && AsciiLower(content.substr(at, 3)) == "url") {
        std::size_t after = at + 3;
        while (after < content.size() && IsAsciiWhitespace(content[after]))
            ++after;
        if (after < content.size() && content[after] == '=') {
            at = after + 1;
            skipSpace();
        }
    }
    std::string_view address = content.substr(at);
    if (!address.empty() && (address.front() == '"' || address.front() == '\'')) {
        const std::size_t end = address.find(address.front(), 1);
        address = address.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    }
    return std::string(address);
}

class TPageReader {
public:
    TPageReader(TPageReferences& result, const TParsedPage& page) : result_(result), page_(page) {}

    void Element(const xmlNode& element, bool inSvg)
    {
        const std::string_view tag = NameOf(element);
        // Attributes take the line on which their element's tag begins.
        const auto [line, tagEndLine] = page_.TagLines(element);
        for (const xmlAttr* attribute = element.properties; attribute; attribute = attribute->next) {
            const std::string_view name = reinterpret_cast<const char*>(attribute->name);
            const std::string value = ValueOf(*attribute);
            if (name == "id" && !value.empty())
                result_.Anchors.insert(value);
            else if (name == "name" && tag == "a" && !value.empty())
                result_.Anchors.insert(value);
            else if (name == "style")
                Add(StyleSheetReferences(value, line));
            else if (IsAddressAttribute(element, tag, name, inSvg))
                Add(value, std::string(name), line,
                    tag == "link" && name == "href" && HasToken(AttributeValue(element, "rel").value_or(""), "stylesheet"));
            else if (name == "srcset" && (tag == "img" || tag == "source"))
                for (const auto& address : SrcsetAddresses(value))
                    Add(address, "srcset", line, false);
        }
        if (tag == "base" && !result_.BaseHref)
            result_.BaseHref = AttributeValue(element, "href");
        if (tag == "meta" && AsciiLower(Trimmed(AttributeValue(element, "http-equiv").value_or(""))) == "refresh")
            if (const auto content = AttributeValue(element, "content"))
                if (auto address = RefreshAddress(*content))
                    Add(*address, "refresh", line, false);
        if (tag == "style") {
            std::string sheet;
            for (const xmlNode* child = element.children; child; child = child->next)
                if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content)
                    sheet += reinterpret_cast<const char*>(child->content);
            Add(StyleSheetReferences(sheet, tagEndLine));
        }
    }

private:
    static bool IsAddressAttribute(const xmlNode& element, std::string_view tag, std::string_view name, bool inSvg)
    {
        if (inSvg)
            return name == "href" || name == "xlink:href";
        if (tag == "a" || tag == "area" || tag == "link")
            return name == "href";
        if (tag == "img" || tag == "source" || tag == "script" || tag == "iframe" || tag == "frame" || tag == "embed" ||
            tag == "audio" || tag == "track")
            return name == "src";
        if (tag == "video")
            return name == "src" || name == "poster";
        if (tag == "input")
            return name == "src" && AsciiLower(Trimmed(AttributeValue(element, "type").value_or(""))) == "image";
        if (tag == "object")
            return name == "data";
        if (tag == "body" || tag == "table" || tag == "td" || tag == "th")
            return name == "background";
        return false;
    }

    void Add(std::string_view text, std::string source, int line, bool styleSheet)
    {
        result_.References.push_back({std::string(text), std::move(source), line, styleSheet});
    }

    void Add(std::vector<TReference> references)
    {
        for (auto& reference : references)
            result_.References.push_back(std::move(reference));
    }

    TPageReferences& result_;
    const TParsedPage& page_;
};

}  // namespace

std::vector<std::string> SrcsetAddresses(std::string_view value)
{
    std::vector<std::string> addresses;
    std::size_t at = 0;
    while (true) {
        while (at < value.size() && (IsAsciiWhitespace(value[at]) || value[at] == ','))
            ++at;
        if (at >= value.size())
            break;
        const std::size_t start = at;
        while (at < value.size() && !IsAsciiWhitespace(value[at]))
            ++at;
        std::string_view address = value.substr(start, at - start);
        if (address.back() == ',') {
            while (!address.empty() && address.back() == ',')
                address.remove_suffix(1);
        } else {
            // Descriptors ("2x", "640w") run to a comma outside parentheses.
            bool inParens = false;
            while (at < value.size()) {
                const char c = value[at++];
                if (inParens) {
                    inParens = c != ')';
                } else if (c == '(') {
                    inParens = true;
                } else if (c == ',') {
                    break;
                }
            }
        }
        if (!address.empty())
            addresses.emplace_back(address);
    }
    return addresses;
}

TPageReferences ReadPageReferences(std::string_view page)
{
    // Pages are read on several threads; the library sets itself up once, before any.
    static std::once_flag initialized;
    std::call_once(initialized, [] { xmlInitParser(); });
    bool utf8 = false;
    if (page.substr(0, 3) == "\xEF\xBB\xBF") {
        page.remove_prefix(3);
        utf8 = true;
    }
    std::string converted;
    std::optional<TParsedPage> parsed;
    if (!HasNonAscii(page)) {
        parsed.emplace(page);
    } else if (!utf8 && !DecodeUtf8(page)) {
        converted = Cp1252ToUtf8(page);  // bytes that are not UTF-8 are Windows-1252
        parsed.emplace(converted);
    } else {
        parsed.emplace(page);
        if (!utf8 && DeclaredCharset(parsed->Doc()) == TCharset::Windows1252) {
            converted = Cp1252ToUtf8(page);
            parsed.emplace(converted);
        }
    }
    TPageReferences result;
    TPageReader reader(result, *parsed);
    ForEachElement(parsed->Doc(), [&](const xmlNode& element, bool inSvg) { reader.Element(element, inSvg); });
    return result;
}

}  // namespace folianto
