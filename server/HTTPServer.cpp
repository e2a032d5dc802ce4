#include "HTTPServer.h"

#include "Book.h"
#include "CodePage.h"
#include "HTTPEngine.h"
#include "HostCheck.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <stdexcept>

namespace folianto {

const std::string_view NotFoundPage =
    "<html><head><title>Resource Not Found</title></head><body><h1>404 Resource Not Found</h1>"
    "<p>The request resource was not found on this eBook.</p></html>";

std::string DecodeRequestPath(std::string_view text)
{
    auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            result += ' ';
        } else if (c != '%') {
            result += c;
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            result += '%';
            ++i;
        } else if (i + 2 >= text.size()) {
            throw std::runtime_error("Error decoding URL style (%XX) encoded string at position " +
                                     std::to_string(i + 1));
        } else if (!hex(text[i + 1]) || !hex(text[i + 2])) {
            throw std::runtime_error("Invalid URL encoded character (" + std::string(text.substr(i, 3)) +
                                     ") at position " + std::to_string(i + 1));
        } else {
            result += static_cast<char>(value(text[i + 1]) * 16 + value(text[i + 2]));
            i += 2;
        }
    }
    return result;
}

int DrawPort()
{
    std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        std::chrono::system_clock::now().time_since_epoch().count()));
    return 1024 + std::uniform_int_distribution<int>(0, 29999)(generator);
}

namespace {

bool HasNonAscii(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

THTTPServer::THTTPServer(TBook& book, int port)
    : book_(book), engine_(std::make_unique<THTTPEngine>()), port_(port == 0 ? DrawPort() : port)
{
    engine_->OnRequest = [this](const THTTPRequest& request, THTTPResponse& response) {
        HandleRequest(request, response);
    };
    engine_->AddBinding("127.0.0.1", port_);
}

THTTPServer::~THTTPServer()
{
    // The engine stops and waits for its threads, which use the lock, before the lock goes.
    engine_.reset();
}

void THTTPServer::Start() { engine_->Start(); }
void THTTPServer::Stop() { engine_->Stop(); }
int THTTPServer::Port() const { return port_; }
bool THTTPServer::Active() const { return engine_->Active(); }
void THTTPServer::AllowHost(const std::string& name) { allowedHosts_.push_back(name); }

void THTTPServer::HandleRequest(const THTTPRequest& request, THTTPResponse& response)
{
    if (!AddressedToServer(request, port_, allowedHosts_)) {
        response.SetStatusCode(403);
        response.BodyText = std::string(ForbiddenPage);
        return;
    }
    std::lock_guard guard(lock_);
    auto buffer = std::make_unique<Bytes>();
    const std::string name = DecodeRequestPath(request.DocumentPath);
    bool found = book_.ExtractEntry(name, *buffer);
    if (!found && HasNonAscii(name)) {
        // Browsers send UTF-8 paths; the names in a book are Windows-1252.
        if (const auto cp1252 = Utf8ToCp1252(name)) {
            buffer->clear();
            found = book_.ExtractEntry(*cp1252, *buffer);
        }
    }
    if (found) {
        response.SetStatusCode(200);
        response.SetBodyStream(std::move(buffer));
        // Browsers refuse to draw an SVG picture that comes without its type.
        const bool svg = name.size() >= 4 && SameNameIgnoringCase(std::string_view(name).substr(name.size() - 4), ".svg");
        response.ContentType = svg ? "image/svg+xml" : "";
    } else {
        response.SetStatusCode(404);
        response.BodyText = std::string(NotFoundPage);
    }
}

namespace {

std::mutex gServerMutex;
std::unique_ptr<THTTPServer> gServer;

}  // namespace

THTTPServer& GetHTTPServer()
{
    std::lock_guard guard(gServerMutex);
    if (!gServer)
        gServer = std::make_unique<THTTPServer>(GetBook());
    return *gServer;
}

void FreeHTTPServer()
{
    std::lock_guard guard(gServerMutex);
    gServer.reset();
}

}  // namespace folianto
