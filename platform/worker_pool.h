// Worker threads for work that can be spread over the processors (compressing blocks of
// a file). The calling thread submits jobs, waits for each one it needs and keeps every
// event it raises on itself; the jobs only compute.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace bv {

// Runs submitted jobs on its workers. Submit, Wait and Cancel are called from one thread.
// A pool of one worker has no thread at all: Submit runs the job on the caller.
class WorkerPool {
public:
    using Ticket = uint64_t;

    // Drops the jobs not yet started, lets the running ones end and ends the workers.
    virtual ~WorkerPool() = default;

    virtual unsigned Workers() const = 0;
    // Queues the job; the ticket is waited for once. A job must not touch the caller's
    // state while it runs except through what it was given.
    virtual Ticket Submit(std::function<void()> job) = 0;
    // Blocks until the job has ended; true when it ran to its end, false when Cancel
    // dropped it, it threw, or the ticket is unknown (already waited for).
    virtual bool Wait(Ticket ticket) = 0;
    // Drops every job not yet started and returns at once; the running ones end by
    // themselves (a job is small), Wait tells which. The pool stays usable.
    virtual void Cancel() = 0;
};

// The bookkeeping of the threaded pools: tickets, the jobs not yet started and how each
// ended. Not locked itself: each backend keeps it under its own lock.
class WorkerJobBook {
public:
    enum class Outcome { Pending, Ran, NotRan };

    WorkerPool::Ticket Add(std::function<void()> job);
    // The oldest queued job, now marked running; false when none is queued.
    bool TakeNext(WorkerPool::Ticket& ticket, std::function<void()>& job);
    void Ended(WorkerPool::Ticket ticket, bool ran);
    void DropQueued();
    // How the job stands; an ended (or unknown) ticket is forgotten, as Wait wants.
    Outcome Collect(WorkerPool::Ticket ticket);

    // Runs a job on the calling thread: true when it returned, false when it threw.
    static bool Run(std::function<void()>& job);

private:
    enum class State { Queued, Running, Done, Failed, Dropped };
    struct Entry {
        std::function<void()> job;
        State state = State::Queued;
    };
    std::deque<WorkerPool::Ticket> queue_;
    std::map<WorkerPool::Ticket, Entry> entries_;
    WorkerPool::Ticket next_ = 1;
};

// The pool without threads: each job runs inside Submit.
std::unique_ptr<WorkerPool> CreateInlineWorkerPool();

}  // namespace bv
