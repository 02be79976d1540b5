#include "base/uParallel.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>
#include <vector>

using namespace kalvex;

// Many small runs share the same few threads, hand results over in order, and a run
// started on a worker (a search trial that builds a field, say) finishes there.
TEST(WorkerPool, RunsReuseThreadsInOrderAndNestWithoutWaiting) {
    std::mutex Lock;
    std::set<std::thread::id> Seen;
    for (int Run = 0; Run < 50; ++Run) {
        std::vector<int> Out(8, 0);
        std::vector<std::size_t> Order;
        RunInOrder(
            2, Out.size(),
            [&](std::size_t I, std::stop_token) {
                {
                    const std::lock_guard<std::mutex> G(Lock);
                    Seen.insert(std::this_thread::get_id());
                }
                int Inner = 0;
                RunInOrder(
                    2, 3, [](std::size_t, std::stop_token) {},
                    [&](std::size_t) { return ++Inner > 0; });
                Out[I] = static_cast<int>(I) * 10 + Inner;
            },
            [&](std::size_t I) {
                Order.push_back(I);
                return true;
            });
        for (std::size_t I = 0; I < Out.size(); ++I) {
            EXPECT_EQ(Out[I], static_cast<int>(I) * 10 + 3);
            EXPECT_EQ(Order[I], I);
        }
    }
    EXPECT_LE(Seen.size(), 2u);
    EXPECT_FALSE(Seen.contains(std::this_thread::get_id()));

    std::vector<int> Parts(5, 0);
    RunParts(Parts.size(), [&](std::size_t K) { Parts[K] += 1; });
    EXPECT_EQ(Parts, std::vector<int>(5, 1));
}
