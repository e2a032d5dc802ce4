// Starts a program and times, from just before it starts, when a window's title first
// holds one text and then another; the X server tells us of every title change, so no
// polling blurs the times.
//   folianto-title-watch FIRST LAST TIMEOUT_SECONDS PROGRAM [ARGUMENTS...]
// prints "first_ms last_ms last title" and ends the program (its whole process group).
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string TitleOf(Display* display, Window window)
{
    static const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 4096, False, utf8, &type, &format, &count, &after, &data) ==
            Success && data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }  // windows may be gone already

void End(pid_t child)
{
    kill(-child, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(child, nullptr, WNOHANG) == child)
            return;
        usleep(100000);
    }
    kill(-child, SIGKILL);
    waitpid(child, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s FIRST LAST TIMEOUT_SECONDS PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    const std::string first = argv[1], last = argv[2];
    const auto timeout = std::chrono::duration<double>(std::atof(argv[3]));
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    XSetErrorHandler(IgnoreErrors);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        dup2(2, 1);  // our standard output carries the result alone
        execv(argv[4], argv + 4);
        _exit(127);
    }
    setpgid(child, child);

    double firstMs = -1;
    auto look = [&](Window window) {
        const std::string title = TitleOf(display, window);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (firstMs < 0 && title.find(first) != std::string::npos)
            firstMs = ms;
        if (firstMs >= 0 && title.find(last) != std::string::npos) {
            std::printf("%.1f %.1f %s\n", firstMs, ms, title.c_str());
            return true;
        }
        return false;
    };

    const int fd = ConnectionNumber(display);
    while (Clock::now() - start < timeout) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            Window window = None;
            if (event.type == CreateNotify) {
                window = event.xcreatewindow.window;
                XSelectInput(display, window, PropertyChangeMask);
            } else if (event.type == PropertyNotify) {
                window = event.xproperty.window;
            }
            if (window != None && look(window)) {
                End(child);
                return 0;
            }
        }
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(fd, &ready);
        timeval wait{0, 100000};
        select(fd + 1, &ready, nullptr, nullptr, &wait);
        if (waitpid(child, nullptr, WNOHANG) == child) {
            std::fprintf(stderr, "%s ended before its title read \"%s\"\n", argv[4], last.c_str());
            return 1;
        }
    }
    std::fprintf(stderr, "no title with \"%s\" within %s s\n", last.c_str(), argv[3]);
    End(child);
    return 1;
}
