#include "HTTPServer.h"

#include "Book.h"
#include "CodePage.h"
#include "EntryNames.h"
#include "HTTPEngine.h"
#include "HostCheck.h"

#include <chrono>
#include <random>
#include <stdexcept>

namespace folianto {

const std::string_view NotFoundPage =
    "<html><head><title>Resource Not Found</title></head><body><h1>404 Resource Not Found</h1>"
    "<p>The request resource was not found on this eBook.</p></html>";

int DrawPort()
{
    std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        std::chrono::system_clock::now().time_since_epoch().count()));
    return 1024 + std::uniform_int_distribution<int>(0, 29999)(generator);
}

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
    // The engine stops and waits for its threads, which use the allowed names, first.
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
    const std::string_view target = request.Target;
    const std::vector<std::string> names = EntryNamesFor(target.substr(0, target.find('?')), request.DocumentPath);
    for (const std::string& name : names) {
        std::shared_ptr<const Bytes> content = cache_.Get(name, [&](std::size_t sizeHint) -> std::shared_ptr<const Bytes> {
            auto buffer = std::make_unique<Bytes>();
            buffer->reserve(sizeHint);
            if (!book_.ExtractEntry(name, *buffer))
                return nullptr;
            return buffer;
        });
        if (!content)
            continue;
        response.SetStatusCode(200);
        response.SetBodyStream(std::move(content));
        // Browsers refuse to draw an SVG picture that comes without its type.
        const bool svg = name.size() >= 4 && SameNameIgnoringCase(std::string_view(name).substr(name.size() - 4), ".svg");
        response.ContentType = svg ? "image/svg+xml" : "";
        return;
    }
    response.SetStatusCode(404);
    response.BodyText = std::string(NotFoundPage);
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
