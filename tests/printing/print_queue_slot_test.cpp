// The service's hold on its print queue: request threads use the queue while it exists and
// never reach one that is being destroyed.
#include "printing/print_queue_slot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "print_queue_fixture.h"
#include "support/app_folder.h"

namespace {

using printing::PrintQueueSlot;
using printing::TPrintQueue;

class PrintQueueSlotTest : public qvtest::PrintQueueFixture {};

TEST_F(PrintQueueSlotTest, UseRunsOnlyWhileAQueueIsHeld) {
    PrintQueueSlot slot;
    int runs = 0;
    auto count = [&](TPrintQueue&) { ++runs; };
    EXPECT_FALSE(slot.Use(count));

    auto queue = NewQueue();
    TPrintQueue* held = queue.get();
    slot.Put(std::move(queue));
    EXPECT_TRUE(slot.Use([&](TPrintQueue& q) {
        EXPECT_EQ(&q, held);
        ++runs;
    }));
    EXPECT_EQ(slot.Take().get(), held);
    EXPECT_FALSE(slot.Use(count));
    EXPECT_EQ(runs, 1);
}

TEST_F(PrintQueueSlotTest, TakeWaitsForTheUseInProgress) {
    PrintQueueSlot slot;
    slot.Put(NewQueue());
    std::atomic<bool> inside{false}, use_finished{false}, take_saw_use_finished{false};
    std::thread user([&] {
        slot.Use([&](TPrintQueue&) {
            inside = true;
            // Give Take every chance to overtake a use that does not hold it back.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            use_finished = true;
        });
    });
    ASSERT_TRUE(qvtest::WaitUntil([&] { return inside.load(); }));
    std::unique_ptr<TPrintQueue> taken = slot.Take();
    take_saw_use_finished = use_finished.load();
    user.join();
    EXPECT_NE(taken, nullptr);
    EXPECT_TRUE(take_saw_use_finished);
}

TEST_F(PrintQueueSlotTest, ARequestDuringTheQueuesDestructionFindsNoQueue) {
    program_.SetOutcomes({"hang"});
    PrintQueueSlot slot;
    slot.Put(NewQueue());
    const std::string printing_now = Document("now.pdf");
    slot.Use([&](TPrintQueue& queue) { queue.AddToQueue(printing_now); });
    ASSERT_TRUE(program_.WaitForCalls(1));

    // The service stops: the queue is taken out and destroyed, which waits for the job.
    std::thread stopper([&] { slot.Take().reset(); });
    ASSERT_TRUE(log_.WaitFor("Finalizando fila de impressão"));

    const std::string late = Document("late.pdf");
    bool reached = false;
    EXPECT_FALSE(slot.Use([&](TPrintQueue& queue) {
        reached = true;
        queue.AddToQueue(late);
    }));
    EXPECT_FALSE(reached);

    program_.Release();
    stopper.join();
    EXPECT_FALSE(log_.Contains("Arquivo adicionado na fila: " + late));
    EXPECT_EQ(program_.Calls().size(), 1u);
}

}  // namespace
