// A socket shut down by one thread wakes another thread that waits on it: what a pause or a
// stop of the service relies on to end a connection that waits for its client.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/socket.h"

namespace platform {
namespace {

using std::chrono::milliseconds;

// Long enough never to be reached when the wake-up works.
constexpr milliseconds kWaitLimit(20000);

struct ConnectedPair {
    Socket listener = ListenTcp(IpFamily::kIPv4, 0, 4);
    Socket client = ConnectTcp("127.0.0.1", listener.LocalPort());
    Socket server = Accepted();

    Socket Accepted() {
        EXPECT_TRUE(WaitReadable(listener.fd(), kWaitLimit));
        return AcceptConnection(listener);
    }
};

TEST(SocketShutdown, WakesAThreadWaitingForInput) {
    struct Case {
        const char* name;
        bool shut_before_the_wait;
    };
    for (const Case& c : {Case{"while it waits", false}, Case{"before it waits", true}}) {
        SCOPED_TRACE(c.name);
        ConnectedPair pair;
        ASSERT_TRUE(pair.server);
        if (c.shut_before_the_wait) pair.server.Shutdown();
        std::promise<void> waiting;
        auto woken = std::async(std::launch::async, [&] {
            waiting.set_value();
            return WaitReadable(pair.server.fd(), kWaitLimit);
        });
        waiting.get_future().wait();
        if (!c.shut_before_the_wait) {
            std::this_thread::sleep_for(milliseconds(100));  // most likely in its poll by now
            pair.server.Shutdown();
        }
        // The client sent nothing: only the shutdown can make the socket ready.
        EXPECT_TRUE(woken.get());
    }
}

TEST(SocketShutdown, LeavesOtherSocketsWaiting) {
    ConnectedPair shut;
    ConnectedPair other;
    ASSERT_TRUE(shut.server && other.server);
    auto waited = std::async(std::launch::async,
                             [&] { return WaitReadable(other.server.fd(), milliseconds(300)); });
    std::this_thread::sleep_for(milliseconds(50));
    shut.server.Shutdown();
    EXPECT_FALSE(waited.get()) << "woke up without input";

    // A socket that replaces a closed one that was shut down is not taken for it.
    shut.server.Close();
    ConnectedPair next;
    ASSERT_TRUE(next.server);
    EXPECT_FALSE(WaitReadable(next.server.fd(), milliseconds(50)));
}

}  // namespace
}  // namespace platform
