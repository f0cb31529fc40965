#include "support/dialogue_client.h"

#include <algorithm>

namespace qvtest {

std::string MessageType(const std::string& message) {
    constexpr std::string_view kStart = R"({"type":")";
    if (!message.starts_with(kStart)) return "";
    const size_t end = message.find('"', kStart.size());
    return end == std::string::npos ? "" : message.substr(kStart.size(), end - kStart.size());
}

DialogueClient& DialogueClient::On(const std::string& prompt_type, std::string answer) {
    answers_[prompt_type].push_back(std::move(answer));
    return *this;
}

std::vector<std::string> DialogueClient::Run(const std::string& request,
                                             std::initializer_list<const char*> last) {
    socket_.SendText(request);
    return ReadUntil(last);
}

std::vector<std::string> DialogueClient::ReadUntil(std::initializer_list<const char*> last) {
    std::vector<std::string> messages;
    for (;;) {
        messages.push_back(socket_.ReadText());
        const std::string type = MessageType(messages.back());
        if (std::find(last.begin(), last.end(), type) != last.end()) return messages;
        auto queued = answers_.find(type);
        if (queued == answers_.end() || queued->second.empty()) continue;
        socket_.SendText(queued->second.front());
        queued->second.pop_front();
    }
}

}  // namespace qvtest
