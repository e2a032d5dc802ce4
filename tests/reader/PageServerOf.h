#pragma once
// The reader window's view of a page server a test runs itself.

#include "HTTPServer.h"
#include "PageServer.h"

namespace folianto::test {

class TPageServerOf : public TPageServer {
public:
    explicit TPageServerOf(THTTPServer& server) : server_(server) {}
    void Start() override { server_.Start(); }
    void Stop() override { server_.Stop(); }
    int Port() override { return server_.Port(); }

private:
    THTTPServer& server_;
};

}  // namespace folianto::test
