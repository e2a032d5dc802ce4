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
    // Answers still waiting for a large entry are cut off and its producers end first,
    // then the engine stops and waits for its threads, which use the allowed names.
    streams_.Close();
    engine_.reset();
}

void THTTPServer::Start()
{
    streams_.Open();
    engine_->Start();
}

void THTTPServer::Stop()
{
    if (!engine_->Active())
        return;
    // A connection waiting for the next piece of a large entry is not woken by its socket
    // closing; failing the entries it waits for is what lets the engine stop at once.
    streams_.Close();
    engine_->Stop();
}
int THTTPServer::Port() const { return port_; }
bool THTTPServer::Active() const { return engine_->Active(); }
void THTTPServer::AllowHost(const std::string& name) { allowedHosts_.push_back(name); }

namespace {

std::string ContentTypeFor(const std::string& name)
{
    // Browsers refuse to draw an SVG picture that comes without its type.
    const bool svg = name.size() >= 4 && SameNameIgnoringCase(std::string_view(name).substr(name.size() - 4), ".svg");
    return svg ? "image/svg+xml" : "";
}

}  // namespace

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
        // A HEAD answer has no body to overlap with inflating, and says 404 as before
        // when the entry can no longer be read.
        if (request.Method != "HEAD") {
            if (auto streamed = StreamedEntry(name)) {
                response.SetStatusCode(200);
                response.SetBodyStream(std::move(streamed));
                response.ContentType = ContentTypeFor(name);
                return;
            }
        }
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
        response.ContentType = ContentTypeFor(name);
        return;
    }
    response.SetStatusCode(404);
    response.BodyText = std::string(NotFoundPage);
}

std::shared_ptr<TGrowingBuffer> THTTPServer::StreamedEntry(const std::string& name)
{
    const std::size_t size = cache_.RememberedSize(name);
    if (size == 0)
        return nullptr;
    return streams_.Get(name, size, [this, name](TGrowingBuffer& filling) {
        const bool whole = InflateEntryInto(book_, name, filling);
        // Failed meanwhile means Stop, not stored bytes that no longer give that size.
        if (!whole && !filling.Failed())
            cache_.ForgetSize(name);
        return whole;
    });
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
