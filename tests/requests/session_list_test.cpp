#include "requests/session_list.h"

#include <gtest/gtest.h>

#include <thread>

namespace requests {
namespace {

TEST(SessionList, FindsAndDeletesTheFirstMatchExactly) {
    TSessionList list;
    list.AddItem("AAAA-1", 10.0, nullptr);
    list.AddItem("BBBB-2", 20.0, nullptr);
    list.AddItem("AAAA-1", 30.0, nullptr);  // a duplicate never comes from a GUID, but is legal

    ASSERT_TRUE(list.GetSession("BBBB-2").has_value());
    EXPECT_FALSE(list.GetSession("bbbb-2").has_value());
    EXPECT_DOUBLE_EQ(list.GetSession("AAAA-1")->ExpirationDateTime(), 10.0);

    list.DeleteItem("AAAA-1");
    EXPECT_DOUBLE_EQ(list.GetSession("AAAA-1")->ExpirationDateTime(), 30.0);
    list.DeleteItem("missing");
    EXPECT_EQ(list.Count(), 2u);
}

TEST(SessionList, SurvivesConcurrentConnections) {
    TSessionList list;
    auto worker = [&list](int id) {
        for (int i = 0; i < 500; ++i) {
            std::string uuid = std::to_string(id) + "-" + std::to_string(i);
            list.AddItem(uuid, 1.0, nullptr);
            EXPECT_TRUE(list.GetSession(uuid).has_value());
            list.DeleteItem(uuid);
        }
    };
    std::thread a(worker, 1), b(worker, 2);
    a.join();
    b.join();
    EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace requests
