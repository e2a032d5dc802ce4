#include "HostCheck.h"

#include "HTTPEngine.h"

#include <algorithm>
#include <optional>

namespace folianto {

const std::string_view ForbiddenPage =
    "<html><head><title>Forbidden</title></head><body><h1>403 Forbidden</h1>"
    "<p>This eBook answers only requests addressed to 127.0.0.1 or localhost.</p></body></html>";

namespace {

struct THostAndPort {
    std::string_view Host;
    std::optional<int> Port;  // none when the text names no port
};

// "name", "name:port", "[v6]" or "[v6]:port"; empty optional when it is none of these.
std::optional<THostAndPort> SplitHost(std::string_view text)
{
    std::size_t hostEnd;
    if (text.starts_with('[')) {
        hostEnd = text.find(']');
        if (hostEnd == std::string_view::npos)
            return std::nullopt;
        ++hostEnd;
    } else {
        hostEnd = std::min(text.find(':'), text.size());
    }
    THostAndPort result{text.substr(0, hostEnd), std::nullopt};
    if (result.Host.empty())
        return std::nullopt;
    const std::string_view rest = text.substr(hostEnd);
    if (rest.empty())
        return result;
    const std::string_view digits = rest.substr(1);
    if (rest.front() != ':' || digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int port = 0;
    for (const char c : digits)
        port = port * 10 + (c - '0');
    result.Port = port;
    return result;
}

}  // namespace

bool HostNamesServer(std::string_view host, int port, const std::vector<std::string>& allowedNames)
{
    const auto given = SplitHost(host);
    if (!given)
        return false;
    for (const std::string_view ours : {"127.0.0.1", "localhost", "[::1]"}) {
        if (SameAsciiIgnoringCase(given->Host, ours))
            return given->Port.value_or(80) == port;
    }
    return std::any_of(allowedNames.begin(), allowedNames.end(), [&](const std::string& name) {
        const auto allowed = SplitHost(name);
        return allowed && SameAsciiIgnoringCase(given->Host, allowed->Host) &&
               (!allowed->Port || allowed->Port == given->Port);
    });
}

bool AddressedToServer(const THTTPRequest& request, int port, const std::vector<std::string>& allowedNames)
{
    const std::vector<std::string> hosts = request.HeaderValues("Host");
    return std::all_of(hosts.begin(), hosts.end(),
                       [&](const std::string& host) { return HostNamesServer(host, port, allowedNames); });
}

}  // namespace folianto
