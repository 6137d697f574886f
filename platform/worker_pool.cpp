#include "platform/worker_pool.h"

#include <map>

namespace bv {
namespace {

class InlineWorkerPool : public WorkerPool {
public:
    unsigned Workers() const override { return 1; }

    Ticket Submit(std::function<void()> job) override {
        const Ticket ticket = next_++;
        results_[ticket] = WorkerJobBook::Run(job);
        return ticket;
    }

    bool Wait(Ticket ticket) override {
        auto found = results_.find(ticket);
        if (found == results_.end()) return false;
        const bool ran = found->second;
        results_.erase(found);
        return ran;
    }

    void Cancel() override {}

private:
    Ticket next_ = 1;
    std::map<Ticket, bool> results_;  // ended jobs not yet waited for
};

}  // namespace

WorkerPool::Ticket WorkerJobBook::Add(std::function<void()> job) {
    const WorkerPool::Ticket ticket = next_++;
    entries_[ticket].job = std::move(job);
    queue_.push_back(ticket);
    return ticket;
}

bool WorkerJobBook::TakeNext(WorkerPool::Ticket& ticket, std::function<void()>& job) {
    if (queue_.empty()) return false;
    ticket = queue_.front();
    queue_.pop_front();
    Entry& entry = entries_[ticket];
    job = std::move(entry.job);
    entry.state = State::Running;
    return true;
}

void WorkerJobBook::Ended(WorkerPool::Ticket ticket, bool ran) {
    entries_[ticket].state = ran ? State::Done : State::Failed;
}

void WorkerJobBook::DropQueued() {
    for (WorkerPool::Ticket ticket : queue_) {
        Entry& entry = entries_[ticket];
        entry.state = State::Dropped;
        entry.job = nullptr;
    }
    queue_.clear();
}

WorkerJobBook::Outcome WorkerJobBook::Collect(WorkerPool::Ticket ticket) {
    auto found = entries_.find(ticket);
    if (found == entries_.end()) return Outcome::NotRan;
    const State state = found->second.state;
    if (state == State::Queued || state == State::Running) return Outcome::Pending;
    entries_.erase(found);
    return state == State::Done ? Outcome::Ran : Outcome::NotRan;
}

bool WorkerJobBook::Run(std::function<void()>& job) {
    try {
        job();
        return true;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<WorkerPool> CreateInlineWorkerPool() { return std::make_unique<InlineWorkerPool>(); }

}  // namespace bv
