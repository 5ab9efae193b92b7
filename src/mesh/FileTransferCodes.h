// The numbers of a file transfer that handlers and callers see: the State of its records and
// the Error of its error events. Their values are fixed; records and events carry them as
// integers, so each is an enum that converts to one.
#pragma once

#include <cstdint>

namespace kiv {

// TKMS_FileRecv::State.
namespace file_recv_state {
enum Value : std::int32_t { Header = 0, Data = 1, Complete = 2 };
}

// TKMS_FileSend::State: connecting or awaiting acceptance, sending, all bytes sent.
namespace file_send_state {
enum Value : std::int32_t { Starting = 0, Sending = 1, AllSent = 2 };
}

// Error of OnErrorFileSend.
namespace file_send_error {
enum Code : int {
    RefusedOrTimedOut = 0,
    ReceiverClosed = 1,
    LoggedOut = 2,
    FileUnreadable = 3,  // cannot be opened, or has become shorter while it was sent
    ConnectionFailed = 4,
};
}

// Error of OnErrorFileRecv; the partial file is deleted in all.
namespace file_recv_error {
enum Code : int {
    SenderClosed = 0,
    LoggedOut = 1,
    FileUnwritable = 2,  // or its size differs from the bytes received
};
}

}  // namespace kiv
