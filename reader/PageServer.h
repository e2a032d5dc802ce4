#pragma once
// What the reader window needs of the page server: start and stop it with activation and
// read its port. The program plugs in the process-wide server; tests plug in a fake.

namespace folianto {

class TPageServer {
public:
    virtual ~TPageServer() = default;
    // May raise std::exception (a port another program holds, for example).
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual int Port() = 0;
};

}  // namespace folianto
