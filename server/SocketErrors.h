#pragma once
// Socket errors under the numbers Windows Sockets gives them, so that every platform
// reports the same numbers and texts.

#include <stdexcept>
#include <string>

namespace folianto {

class ESocketError : public std::runtime_error {
public:
    ESocketError(int code, const std::string& message) : std::runtime_error(message), Code(code) {}
    int Code;
};

// The Windows Sockets number for a POSIX errno value (0 when there is none).
int SocketErrorCode(int posixError);
// The engine's text for a Windows Sockets error number ("" for an unknown one).
std::string SocketErrorText(int code);
// "Socket Error # N\r\n<text>".
std::string SocketErrorMessage(int code);
// Raises the ESocketError for a POSIX errno value.
[[noreturn]] void ThrowSocketError(int posixError);

}  // namespace folianto
