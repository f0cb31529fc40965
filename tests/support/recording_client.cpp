#include "support/recording_client.h"

#include "transport/transport_errors.h"

namespace qvtest {

void RecordingClient::Queue(std::string message) {
    std::lock_guard lock(mutex_);
    incoming_.push_back(std::move(message));
    queued_.notify_all();
}

std::vector<std::string> RecordingClient::Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

void RecordingClient::Disconnect() {
    std::lock_guard lock(mutex_);
    gone_ = true;
    queued_.notify_all();
}

void RecordingClient::SetResponder(std::function<void(const std::string& sent)> responder) {
    responder_ = std::move(responder);
}

void RecordingClient::SendText(std::string_view text) {
    {
        std::lock_guard lock(mutex_);
        if (gone_) throw transport::ConnectionClosed("client gone");
        sent_.emplace_back(text);
    }
    if (responder_) responder_(std::string(text));
}

std::string RecordingClient::ReadMessage() {
    std::lock_guard lock(mutex_);
    if (gone_ || incoming_.empty()) throw transport::ConnectionClosed("client gone");
    std::string message = std::move(incoming_.front());
    incoming_.pop_front();
    return message;
}

bool RecordingClient::WaitForInput(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return queued_.wait_for(lock, timeout, [this] { return gone_ || !incoming_.empty(); });
}

bool RecordingClient::IsConnected() const {
    std::lock_guard lock(mutex_);
    return !gone_;
}

}  // namespace qvtest
