// Any bytes as a page and as a style sheet, through the checker's readers and the
// address resolution of every address they find: nothing may crash, hang or grow.

#include "BrowserURL.h"
#include "PageReferences.h"
#include "StyleSheetReferences.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace folianto;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto resolve = [](const std::vector<TReference>& references) {
        for (const auto& reference : references)
            if (const auto local = ResolveReference("/dir/page.html", reference.Text); local && local->Fragment)
                (void)PercentDecode(*local->Fragment);
    };
    const TPageReferences page = ReadPageReferences(text);
    resolve(page.References);
    if (page.BaseHref)
        (void)ResolveReference("/dir/page.html", *page.BaseHref);
    resolve(StyleSheetReferences(text));
    (void)SrcsetAddresses(text);
    return 0;
}
