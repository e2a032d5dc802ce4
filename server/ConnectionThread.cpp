#include "ConnectionThread.h"

#include <exception>
#include <memory>
#include <pthread.h>
#include <system_error>
#include <utility>

namespace folianto {

namespace {

constexpr std::size_t ConnectionStackSize = 512 * 1024;

void* RunConnectionThread(void* argument)
{
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

}  // namespace

TConnectionThread::TConnectionThread(std::function<void()> body)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, ConnectionStackSize);
    auto* argument = new std::function<void()>(std::move(body));
    pthread_t handle;
    const int error = pthread_create(&handle, &attributes, RunConnectionThread, argument);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete argument;
        throw std::system_error(error, std::generic_category(), "Cannot create a connection thread");
    }
    handle_ = handle;
    joinable_ = true;
}

TConnectionThread::TConnectionThread(TConnectionThread&& other) noexcept
    : handle_(other.handle_), joinable_(std::exchange(other.joinable_, false))
{
}

TConnectionThread& TConnectionThread::operator=(TConnectionThread&& other) noexcept
{
    if (this != &other) {
        if (joinable_)
            std::terminate();  // like std::thread: a running thread must be joined first
        handle_ = other.handle_;
        joinable_ = std::exchange(other.joinable_, false);
    }
    return *this;
}

TConnectionThread::~TConnectionThread()
{
    if (joinable_)
        std::terminate();
}

void TConnectionThread::join()
{
    if (joinable_) {
        pthread_join(static_cast<pthread_t>(handle_), nullptr);
        joinable_ = false;
    }
}

}  // namespace folianto
