#include "support/service_load.h"

#include <atomic>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qvtest {
namespace {

// What every version reply must equal: the first one seen.
class ReplyCheck {
public:
    void Check(const std::string& reply, LoadOutcome& outcome) {
        ++outcome.replies;
        std::lock_guard lock(mutex_);
        if (first_.empty()) first_ = reply;
        if (reply != first_ || !reply.starts_with(R"({"type":"version",)")) ++outcome.wrong;
    }

private:
    std::mutex mutex_;
    std::string first_;  // guarded by mutex_
};

void AskVersions(TlsWebSocketClient& client, int messages, ReplyCheck& check,
                 LoadOutcome& outcome) {
    for (int i = 0; i < messages; ++i) {
        client.SendText(kVersionRequest);
        check.Check(client.ReadText(), outcome);
    }
}

// Runs `body`, counting a failure (a time-out, a closed connection) as one wrong reply.
template <class Body>
void Guarded(LoadOutcome& outcome, Body body) {
    try {
        body();
    } catch (const std::exception&) {
        ++outcome.wrong;
    }
}

}  // namespace

long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    }
    return -1;
}

LoadOutcome VersionFlood(const AppFolder& app, int clients, int messages) {
    ReplyCheck check;
    std::vector<LoadOutcome> outcomes(static_cast<size_t>(clients));
    std::vector<std::thread> threads;
    for (auto& outcome : outcomes) {
        threads.emplace_back([&app, &check, &outcome, messages] {
            Guarded(outcome, [&] {
                TlsWebSocketClient client = app.Client();
                AskVersions(client, messages, check, outcome);
            });
        });
    }
    for (std::thread& thread : threads) thread.join();
    LoadOutcome total;
    for (const LoadOutcome& outcome : outcomes) {
        total.replies += outcome.replies;
        total.wrong += outcome.wrong;
    }
    return total;
}

LoadOutcome MessagesOnOneConnection(const AppFolder& app, int messages) {
    ReplyCheck check;
    LoadOutcome outcome;
    Guarded(outcome, [&] {
        TlsWebSocketClient client = app.Client();
        AskVersions(client, messages, check, outcome);
    });
    return outcome;
}

LoadOutcome ConnectionCycles(const AppFolder& app, int cycles) {
    ReplyCheck check;
    LoadOutcome outcome;
    for (int i = 0; i < cycles; ++i) {
        Guarded(outcome, [&] {
            TlsWebSocketClient client = app.Client();
            AskVersions(client, 1, check, outcome);
            client.SayGoodbye();
        });
    }
    return outcome;
}

}  // namespace qvtest
