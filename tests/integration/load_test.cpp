// The real service under load over TLS: fifty clients asking the version while one client runs
// payments one after another, and many messages and connections in a row. The heavy version
// with the memory figures is bench/load_bench.cpp; this one checks correctness at a size the
// test command affords (sanitizer builds included).
#include <gtest/gtest.h>

#include <thread>

#include "support/app_folder.h"
#include "support/debit_dialogue.h"
#include "support/service_load.h"
#include "support/sim_journal.h"
#include "support/simulated_library.h"

namespace {

using Lines = std::vector<std::string>;

class Load : public ::testing::Test {
protected:
    Load() {
        qvtest::InstallSimulatedLibrary(app_, qvtest::kDebitScenario);
        app_.StartAndWaitForPort();
    }
    ~Load() override { EXPECT_EQ(app_.Stop(), 0) << app_.Output(); }

    qvtest::AppFolder app_;
};

TEST_F(Load, FiftyClientsAskingTheVersionLeaveEveryPaymentAsItWas) {
    qvtest::DialogueClient till(app_.Client());
    const std::string uuid = qvtest::OpenSession(till);
    const Lines alone = qvtest::DebitDialogue(till, uuid);
    ASSERT_EQ(alone, (Lines{"collect", "question", "message", "message", "can_cancel",
                            "can_cancel", "result", "approved"}));
    const Lines answers_alone = qvtest::JournalAnswers(app_ / "journal.log");

    std::atomic<bool> flooding = true;
    qvtest::LoadOutcome flood;
    std::thread clients([&] {
        flood = qvtest::VersionFlood(app_, 50, 20);
        flooding = false;
    });
    int payments = 0;
    // At least three payments, and more while the clients are still at it.
    for (; payments < 3 || (flooding && payments < 50); ++payments)
        EXPECT_EQ(qvtest::DebitDialogue(till, uuid), alone) << "payment " << payments + 1;
    clients.join();
    EXPECT_EQ(flood.replies, 50u * 20u);
    EXPECT_EQ(flood.wrong, 0u);
    // The library saw every payment's answers exactly as in the first one.
    const Lines answers = qvtest::JournalAnswers(app_ / "journal.log");
    ASSERT_EQ(answers.size(), answers_alone.size() * static_cast<size_t>(payments + 1));
    for (size_t i = 0; i < answers.size(); ++i)
        EXPECT_EQ(answers[i], answers_alone[i % answers_alone.size()]) << i;
}

TEST_F(Load, ManyMessagesAndConnectionsInARowAllGetTheirAnswer) {
    // Warm up the service's pools and caches before the memory is read.
    ASSERT_EQ(qvtest::ConnectionCycles(app_, 20).wrong, 0u);
    const long before = qvtest::ResidentKiB(app_.Pid());
    const qvtest::LoadOutcome messages = qvtest::MessagesOnOneConnection(app_, 2000);
    EXPECT_EQ(messages.replies, 2000u);
    EXPECT_EQ(messages.wrong, 0u);
    const qvtest::LoadOutcome cycles = qvtest::ConnectionCycles(app_, 300);
    EXPECT_EQ(cycles.replies, 300u);
    EXPECT_EQ(cycles.wrong, 0u);
    const long after = qvtest::ResidentKiB(app_.Pid());
    ASSERT_GT(before, 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Generous: what stays per connection or message would show as megabytes here.
    EXPECT_LT(after - before, 8 * 1024) << before << " KiB before, " << after << " KiB after";
#else
    (void)after;  // the sanitizers keep freed memory aside on purpose
#endif
}

}  // namespace
