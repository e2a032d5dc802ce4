#pragma once
// Which requests the page server answers. It listens on 127.0.0.1 only, but a web page
// can point a name of its own at 127.0.0.1 (DNS rebinding) and have the user's browser
// ask us for the book; such a request names that page's host in its "Host" header.

#include <string>
#include <string_view>
#include <vector>

namespace folianto {

struct THTTPRequest;

// Whether one "Host" header value names this server: 127.0.0.1, localhost or [::1] with
// this server's port, letter case ignored. Browsers leave out only the default port 80,
// so a name without a port counts only on port 80. An allowed name matches with any port
// or none, and NAME:PORT with that port only.
bool HostNamesServer(std::string_view host, int port, const std::vector<std::string>& allowedNames);

// A request without "Host" (an HTTP/1.0 client, a simple local tool) is answered as
// always; one with "Host" headers only when every one of them names this server.
bool AddressedToServer(const THTTPRequest& request, int port, const std::vector<std::string>& allowedNames);

// The page a refused request gets, with status 403.
extern const std::string_view ForbiddenPage;

}  // namespace folianto
