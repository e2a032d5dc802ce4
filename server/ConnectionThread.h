#pragma once
// A thread with a small stack for serving connections. With the default 8 MiB stack the
// C library mapped and unmapped a fresh stack for nearly every new thread, which cost
// more than answering a request; small stacks are cached and reused by it.

#include <functional>

namespace folianto {

class TConnectionThread {
public:
    TConnectionThread() = default;
    explicit TConnectionThread(std::function<void()> body);  // throws std::system_error
    TConnectionThread(TConnectionThread&& other) noexcept;
    TConnectionThread& operator=(TConnectionThread&& other) noexcept;
    // Like std::thread: a thread not joined ends the program.
    ~TConnectionThread();
    void join();

private:
    unsigned long handle_ = 0;
    bool joinable_ = false;
};

}  // namespace folianto
