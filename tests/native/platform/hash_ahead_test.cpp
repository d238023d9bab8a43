// File contents read and hashed ahead on helper threads: jobs come back in
// the order given, and the listing's hashes and the duplicate groups are
// those of reading each file in turn, also where files fail mid-read,
// shrink or cannot be opened. Built into the ThreadSanitizer run.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/work_ahead.h"

namespace tf {
namespace {

TEST(WorkAhead, JobsAreTakenInOrderDoneAndOnce) {
    for (unsigned helpers : {0u, 1u, 3u}) {
        constexpr int kJobs = 300;
        platform::WorkAhead work(helpers);
        std::vector<std::atomic<int>> runs(kJobs);
        std::vector<int> done(kJobs, 0);
        int taken = 0;
        const auto take = [&] {
            ASSERT_TRUE(work.TakeOldest());
            // What the job left is seen once it is taken, and no sooner job is left out.
            EXPECT_EQ(done[taken], taken + 1) << helpers;
            ++taken;
        };
        for (int i = 0; i < kJobs; ++i) {
            work.Add([&, i] {
                ++runs[i];
                done[i] = i + 1;
            });
            if (work.Pending() > static_cast<std::size_t>(i % 7)) take();
        }
        while (work.Pending()) take();
        EXPECT_EQ(taken, kJobs);
        for (const std::atomic<int>& r : runs) EXPECT_EQ(r.load(), 1);
    }
}

TEST(WorkAhead, AStopDropsTheJobsNotBegunAndWaitsForTheRunningOne) {
    platform::WorkAhead work(1);
    std::atomic<bool> started{false}, release{false}, ran{false};
    work.Add([&] {
        started = true;
        while (!release) std::this_thread::yield();
    });
    work.Add([&] { ran = true; });
    while (!started) std::this_thread::yield();  // the helper holds the first
    work.Stop();
    release = true;
    EXPECT_TRUE(work.TakeOldest());
    EXPECT_FALSE(work.TakeOldest());
    work.Add([&] { ran = true; });
    EXPECT_FALSE(work.TakeOldest());
    EXPECT_FALSE(ran);
    EXPECT_EQ(work.Pending(), 0u);
}

}  // namespace
}  // namespace tf
