#include "TestSupport.h"

#include "HTTPEngine.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <random>
#include <thread>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace folianto::test {

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TTempFile::TTempFile(const Bytes& content, const std::string& suffix)
{
    std::string pattern = "/tmp/folianto-server-XXXXXX" + suffix;
    const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0)
        throw std::runtime_error("cannot create a temporary file");
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n <= 0) {
            close(fd);
            throw std::runtime_error("cannot write a temporary file");
        }
        written += static_cast<std::size_t>(n);
    }
    close(fd);
    path_ = pattern;
}

TTempFile::~TTempFile() { unlink(path_.c_str()); }

TTestBook::TTestBook(const TBookDescription& description)
    : File(WritePackage(description)), Book(File.Path())
{
    if (!Book.Loaded)
        throw std::runtime_error("test book did not load: " + Book.LoadError);
}

TBookDescription Describe(const std::vector<std::pair<std::string, std::string>>& entries)
{
    TBookDescription description;
    description.Title = "Test";
    for (const auto& [name, text] : entries)
        description.Entries.push_back({name, ToBytes(text)});
    if (!entries.empty())
        description.StartPage = entries.front().first;
    return description;
}

std::unique_ptr<THTTPServer> StartedServer(TBook& book, const std::vector<std::string>& allowedHosts)
{
    for (int attempt = 0;; ++attempt) {
        auto server = std::make_unique<THTTPServer>(book);
        for (const auto& name : allowedHosts)
            server->AllowHost(name);
        try {
            server->Start();
            return server;
        } catch (const ESocketError& error) {
            if (error.Code != 10048 || attempt == 20)
                throw;
        }
    }
}

int Connect(int port, int receiveBuffer)
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    if (receiveBuffer > 0)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    timeval timeout{20, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(s);
        return -1;
    }
    return s;
}

void SendAll(int socket, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;  // the server may close early; what it answered is what counts
        sent += static_cast<std::size_t>(n);
    }
}

std::string ReceiveAll(int socket)
{
    std::string received;
    char buffer[65536];
    for (;;) {
        const ssize_t n = recv(socket, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            throw std::runtime_error("the server neither answered nor closed within 20 s");
        if (n <= 0)
            return received;
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string Exchange(int port, const std::string& request, bool shutdownAfter)
{
    const int s = Connect(port);
    if (s < 0)
        throw std::runtime_error("cannot connect");
    SendAll(s, request);
    if (shutdownAfter)
        shutdown(s, SHUT_WR);
    std::string answer = ReceiveAll(s);
    close(s);
    return answer;
}

namespace {
const std::string ServerLine = std::string("Server: ") + HTTPProductToken + "\r\n";
}

std::string FoundHead(std::size_t length)
{
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(length) + "\r\n" +
           ServerLine + "\r\n";
}

std::string Found(const std::string& body, const std::string& contentType)
{
    std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    if (!contentType.empty())
        head += "Content-Type: " + contentType + "\r\n";
    return head + "Content-Length: " + std::to_string(body.size()) + "\r\n" + ServerLine + "\r\n" + body;
}

std::string NotFoundHead()
{
    return "HTTP/1.1 404 Not Found\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: 152\r\n" +
           ServerLine + "\r\n";
}

std::string NotFound() { return NotFoundHead() + std::string(NotFoundPage); }

std::string ServerError(const std::string& message)
{
    return "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(message.size()) + "\r\n" + ServerLine + "\r\n" + message;
}

std::string Prose(std::size_t size, unsigned seed)
{
    static const char* const words[] = {"lamp", "street", "river", "window", "letter", "evening", "stone", "garden"};
    std::mt19937 random(seed);
    std::string text = "<p>" + std::to_string(seed) + " ";
    while (text.size() < size)
        text += std::string(words[random() % 8]) + (random() % 9 == 0 ? ".\n" : " ");
    text.resize(size);
    return text;
}

std::string Noise(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

int TaskCount()
{
    DIR* tasks = opendir("/proc/self/task");
    int count = 0;
    while (const dirent* entry = readdir(tasks))
        count += entry->d_name[0] != '.';
    closedir(tasks);
    return count;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TPortHolder::TPortHolder()
{
    socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (socket_ < 0 || bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket_, 1) != 0 || getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        throw std::runtime_error("cannot hold a port");
    port_ = ntohs(address.sin_port);
}

TPortHolder::~TPortHolder() { Release(); }

void TPortHolder::Release()
{
    if (socket_ >= 0)
        close(socket_);
    socket_ = -1;
}

}  // namespace folianto::test
