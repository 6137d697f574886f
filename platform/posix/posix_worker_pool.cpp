// The worker pool of the POSIX backend: the shared job book on standard threads.
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace bv {
namespace {

class ThreadWorkerPool : public WorkerPool {
public:
    explicit ThreadWorkerPool(unsigned workers) {
        for (unsigned i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
    }

    ~ThreadWorkerPool() override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            stopping_ = true;
            book_.DropQueued();
        }
        queued_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }

    unsigned Workers() const override { return static_cast<unsigned>(threads_.size()); }

    Ticket Submit(std::function<void()> job) override {
        Ticket ticket;
        {
            std::lock_guard<std::mutex> hold(lock_);
            ticket = book_.Add(std::move(job));
        }
        queued_.notify_one();
        return ticket;
    }

    bool Wait(Ticket ticket) override {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            const WorkerJobBook::Outcome outcome = book_.Collect(ticket);
            if (outcome != WorkerJobBook::Outcome::Pending) return outcome == WorkerJobBook::Outcome::Ran;
            ended_.wait(hold);
        }
    }

    void Cancel() override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            book_.DropQueued();
        }
        ended_.notify_all();
    }

private:
    void Work() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            Ticket ticket = 0;
            std::function<void()> job;
            bool took = false;
            queued_.wait(hold, [&] { return (took = book_.TakeNext(ticket, job)) || stopping_; });
            if (!took) return;  // stopping with nothing queued
            hold.unlock();
            const bool ran = WorkerJobBook::Run(job);
            job = nullptr;  // what it holds is released here, before the caller sees the end
            hold.lock();
            book_.Ended(ticket, ran);
            ended_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable queued_;
    std::condition_variable ended_;
    std::vector<std::thread> threads_;
    WorkerJobBook book_;
    bool stopping_ = false;
};

}  // namespace

unsigned PosixSystem::ProcessorCount() {
    if (processors > 0) return processors;
    const unsigned host = std::thread::hardware_concurrency();
    return host > 0 ? host : 1;
}

std::unique_ptr<WorkerPool> PosixSystem::CreateWorkerPool(unsigned workers) {
    if (workers <= 1) return CreateInlineWorkerPool();
    return std::make_unique<ThreadWorkerPool>(workers);
}

}  // namespace bv
