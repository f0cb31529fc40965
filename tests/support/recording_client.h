// A client end for tests of the request layer without TLS: it records every message a handler
// sends and serves the messages queued for the handler to read. A read with nothing queued
// behaves like a client that has gone away (ConnectionClosed). A responder, when set, sees
// every message as it is sent and may queue the client's answer to it.
//
// Thread contract: Queue, Sent and Disconnect may be called from a test thread while a
// handler runs on another; SetResponder before the handler runs; the rest belongs to the
// handler's thread (the responder runs there too).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "transport/client_channel.h"

namespace qvtest {

class RecordingClient : public transport::ClientChannel {
public:
    // A message for the handler's next read.
    void Queue(std::string message);
    // Every message sent so far, in order.
    std::vector<std::string> Sent() const;
    // Makes every later read and send fail, as a client that has gone does.
    void Disconnect();
    // Called with each message sent, after it is recorded.
    void SetResponder(std::function<void(const std::string& sent)> responder);

    void SendText(std::string_view text) override;
    std::string ReadMessage() override;
    bool WaitForInput(std::chrono::milliseconds timeout) override;
    bool IsConnected() const override;

private:
    mutable std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<std::string> incoming_;  // guarded by mutex_
    std::vector<std::string> sent_;     // guarded by mutex_
    bool gone_ = false;                 // guarded by mutex_
    std::function<void(const std::string&)> responder_;
};

}  // namespace qvtest
