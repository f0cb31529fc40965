// Errors of a client connection. Every one of them means the connection can no longer be used:
// the connection's thread ends it and runs the disconnect hook.
#pragma once

#include <stdexcept>
#include <string>

namespace transport {

// The peer closed the connection, a read or write failed, or the connection was ended on
// our side (a close frame, a limit, the service stopping).
class ConnectionClosed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A message grew past what one connection may hold.
class MessageTooLarge : public std::length_error {
public:
    using std::length_error::length_error;
};

}  // namespace transport
