#pragma once
// Books written to temporary files, page servers on free ports and raw socket clients.

#include "Book.h"
#include "HTTPServer.h"
#include "PackageWriter.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace folianto::test {

Bytes ToBytes(const std::string& text);

// A package written to a temporary file, removed with the object.
class TTempFile {
public:
    explicit TTempFile(const Bytes& content, const std::string& suffix = ".pkg");
    ~TTempFile();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

struct TTestBook {
    explicit TTestBook(const TBookDescription& description);
    TTempFile File;
    TBook Book;
};

// A book with the entries named, each holding the given text.
TBookDescription Describe(const std::vector<std::pair<std::string, std::string>>& entries);

// A started page server on a drawn port; draws again when the port happens to be taken.
std::unique_ptr<THTTPServer> StartedServer(TBook& book, const std::vector<std::string>& allowedHosts = {});

// Connects to 127.0.0.1:port; -1 on failure. Reads time out after 20 s so that a fault
// fails the test instead of hanging it.
int Connect(int port, int receiveBuffer = 0);
void SendAll(int socket, const std::string& bytes);
// Everything until the server closes (a reset ends it too).
std::string ReceiveAll(int socket);
// Sends the request, optionally shuts down the sending side, returns every byte answered.
std::string Exchange(int port, const std::string& request, bool shutdownAfter = false);

// The exact answers of the page server.
std::string Found(const std::string& body, const std::string& contentType = "");
std::string FoundHead(std::size_t length);
std::string NotFound();
std::string NotFoundHead();
std::string ServerError(const std::string& message);

// Text that deflates well, different for every seed.
std::string Prose(std::size_t size, unsigned seed);
// Bytes that do not deflate, like the data of a JPEG or PNG picture.
std::string Noise(std::size_t size, unsigned seed);

// Threads of this process as the kernel counts them.
int TaskCount();
// Looks at the condition every few milliseconds until it holds or the limit has passed.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// A bound and listening socket on a free port; closed with the object.
class TPortHolder {
public:
    TPortHolder();
    ~TPortHolder();
    int Port() const { return port_; }
    void Release();

private:
    int socket_ = -1;
    int port_ = 0;
};

}  // namespace folianto::test
