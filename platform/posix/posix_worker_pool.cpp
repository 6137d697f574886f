// The worker pool of the POSIX backend: the same bookkeeping as the Win32 pool, on
// standard threads.
#include <condition_variable>
#include <deque>
#include <map>
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
            DropQueued();
        }
        queued_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }

    unsigned Workers() const override { return static_cast<unsigned>(threads_.size()); }

    Ticket Submit(std::function<void()> job) override {
        Ticket ticket;
        {
            std::lock_guard<std::mutex> hold(lock_);
            ticket = next_++;
            entries_[ticket].job = std::move(job);
            queue_.push_back(ticket);
        }
        queued_.notify_one();
        return ticket;
    }

    bool Wait(Ticket ticket) override {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            auto found = entries_.find(ticket);
            if (found == entries_.end()) return false;
            const State state = found->second.state;
            if (state != State::Queued && state != State::Running) {
                entries_.erase(found);
                return state == State::Done;
            }
            ended_.wait(hold);
        }
    }

    void Cancel() override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            DropQueued();
        }
        ended_.notify_all();
    }

private:
    enum class State { Queued, Running, Done, Failed, Dropped };
    struct Entry {
        std::function<void()> job;
        State state = State::Queued;
    };

    void DropQueued() {
        for (Ticket ticket : queue_) {
            Entry& entry = entries_[ticket];
            entry.state = State::Dropped;
            entry.job = nullptr;
        }
        queue_.clear();
    }

    void Work() {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            queued_.wait(hold, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping
            const Ticket ticket = queue_.front();
            queue_.pop_front();
            std::function<void()> job = std::move(entries_[ticket].job);
            entries_[ticket].state = State::Running;
            hold.unlock();

            bool ran = false;
            try {
                job();
                ran = true;
            } catch (...) {
            }
            job = nullptr;  // what it holds is released here, before the caller sees the end

            hold.lock();
            entries_[ticket].state = ran ? State::Done : State::Failed;
            ended_.notify_all();
        }
    }

    std::mutex lock_;
    std::condition_variable queued_;
    std::condition_variable ended_;
    std::vector<std::thread> threads_;
    std::deque<Ticket> queue_;
    std::map<Ticket, Entry> entries_;
    Ticket next_ = 1;
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
