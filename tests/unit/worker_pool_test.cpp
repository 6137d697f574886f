// The worker pool of the platform seam: natively on the POSIX backend's threads, under
// Wine on the Win32 backend's.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/posix/posix_platform.h"
#include "platform/worker_pool.h"
#include "tests/support/test_platform.h"
#include "tests/support/thread_count.h"

namespace bv {
namespace {

using test::TestPlatform;

TEST(WorkerPool, EveryJobRunsOnceAndWaitTellsWhenItEnded) {
    struct Case {
        unsigned workers;
        int jobs;
    } const cases[] = {{1, 0}, {1, 5}, {2, 1}, {2, 100}, {3, 7}, {8, 100}};
    TestPlatform tp;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.workers << " workers, " << c.jobs << " jobs");
        std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(c.workers);
        EXPECT_EQ(pool->Workers(), c.workers);
        // Each job writes only its own slot; the caller reads it after Wait.
        std::vector<int> runs(static_cast<size_t>(c.jobs), 0);
        std::vector<WorkerPool::Ticket> tickets;
        for (int k = 0; k < c.jobs; ++k)
            tickets.push_back(pool->Submit([&runs, k] { runs[static_cast<size_t>(k)] += 1; }));
        // Waited for in reverse, so later jobs are waited for before earlier ones end.
        for (int k = c.jobs - 1; k >= 0; --k) {
            EXPECT_TRUE(pool->Wait(tickets[static_cast<size_t>(k)]));
            EXPECT_EQ(runs[static_cast<size_t>(k)], 1) << "job " << k;
        }
        for (WorkerPool::Ticket ticket : tickets) EXPECT_FALSE(pool->Wait(ticket)) << "waited twice";
    }
}

TEST(WorkerPool, AJobThatThrowsEndsAsFailedAndTheOthersGoOn) {
    TestPlatform tp;
    for (unsigned workers : {1u, 2u, 4u}) {
        SCOPED_TRACE(workers);
        std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(workers);
        int before = 0, after = 0;
        const WorkerPool::Ticket first = pool->Submit([&before] { before = 1; });
        const WorkerPool::Ticket failing = pool->Submit([] { throw std::runtime_error("job"); });
        const WorkerPool::Ticket last = pool->Submit([&after] { after = 1; });
        EXPECT_TRUE(pool->Wait(first));
        EXPECT_FALSE(pool->Wait(failing));
        EXPECT_TRUE(pool->Wait(last));
        EXPECT_EQ(before + after, 2);
    }
}

TEST(WorkerPool, OneWorkerRunsTheJobOnTheCallerWithoutAThread) {
    TestPlatform tp;
    const int threads = test::ThreadsOfThisProcess();
    std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(1);
    int runs = 0;
    const WorkerPool::Ticket ticket = pool->Submit([&runs] { ++runs; });
    EXPECT_EQ(runs, 1) << "the job ran inside Submit";
    EXPECT_TRUE(pool->Wait(ticket));
    if (threads < 0) GTEST_SKIP() << "the system does not tell its threads";
    EXPECT_EQ(test::ThreadsOfThisProcess(), threads);
}

TEST(WorkerPool, ItsWorkersAreThreadsThatEndWithThePool) {
    TestPlatform tp;
    const int threads = test::ThreadsOfThisProcess();
    if (threads < 0) GTEST_SKIP() << "the system does not tell its threads";
    for (unsigned workers : {2u, 5u}) {
        SCOPED_TRACE(workers);
        {
            std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(workers);
            EXPECT_EQ(test::ThreadsOfThisProcess(), threads + static_cast<int>(workers));
            EXPECT_TRUE(pool->Wait(pool->Submit([] {})));
        }
        EXPECT_EQ(test::ThreadsOfThisProcess(), threads);
    }
}

TEST(WorkerPool, CancelDropsTheQueuedJobsAndLetsTheRunningOnesEnd) {
    TestPlatform tp;
    const unsigned workers = 2;
    std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(workers);
    std::atomic<int> started{0};
    std::atomic<bool> gate{false};
    std::vector<int> runs(22, 0);
    std::vector<WorkerPool::Ticket> tickets;
    // The first jobs hold every worker until the gate opens, so the rest stay queued.
    for (size_t k = 0; k < workers; ++k)
        tickets.push_back(pool->Submit([&, k] {
            started.fetch_add(1);
            while (!gate.load()) {
            }
            runs[k] = 1;
        }));
    while (started.load() < static_cast<int>(workers)) {
    }
    for (size_t k = workers; k < runs.size(); ++k)
        tickets.push_back(pool->Submit([&runs, k] { runs[k] = 1; }));
    pool->Cancel();
    gate.store(true);
    for (size_t k = 0; k < tickets.size(); ++k) {
        const bool held = k < workers;
        EXPECT_EQ(pool->Wait(tickets[k]), held) << "job " << k;
        EXPECT_EQ(runs[k], held ? 1 : 0) << "job " << k;
    }
    // Still usable after a cancel.
    int later = 0;
    EXPECT_TRUE(pool->Wait(pool->Submit([&later] { later = 1; })));
    EXPECT_EQ(later, 1);
}

TEST(WorkerPool, ProcessorCount) {
    TestPlatform tp;
    EXPECT_GE(tp.system().ProcessorCount(), 1u);
    if (PosixPlatform* posix = tp.Posix()) {
        posix->system.processors = 3;
        EXPECT_EQ(tp.system().ProcessorCount(), 3u);
    }
}

}  // namespace
}  // namespace bv
