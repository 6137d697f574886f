// Worker threads with CreateThread, a semaphore that counts queued jobs, an event that
// tells the waiting caller a job ended and one critical section over the bookkeeping.
// Condition variables and slim locks arrived with Vista, so they are not used.
#include "platform/win32/win32_worker_pool.h"

#include <vector>

#include "platform/win32/win32_api.h"

namespace bv {
namespace {

class Win32WorkerPool : public WorkerPool {
public:
    explicit Win32WorkerPool(unsigned workers) {
        InitializeCriticalSection(&lock_);
        queued_ = CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr);
        ended_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (queued_ && ended_) {
            for (unsigned i = 0; i < workers; ++i) {
                DWORD id = 0;  // Windows 95 refuses a null id pointer
                HANDLE thread = CreateThread(nullptr, 0, &Win32WorkerPool::Main, this, 0, &id);
                if (!thread) break;
                threads_.push_back(thread);
            }
        }
    }

    ~Win32WorkerPool() override {
        EnterCriticalSection(&lock_);
        stopping_ = true;
        book_.DropQueued();
        LeaveCriticalSection(&lock_);
        if (!threads_.empty()) ReleaseSemaphore(queued_, static_cast<LONG>(threads_.size()), nullptr);
        for (HANDLE thread : threads_) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        if (queued_) CloseHandle(queued_);
        if (ended_) CloseHandle(ended_);
        DeleteCriticalSection(&lock_);
    }

    unsigned Workers() const override { return static_cast<unsigned>(threads_.size()); }

    Ticket Submit(std::function<void()> job) override {
        EnterCriticalSection(&lock_);
        const Ticket ticket = book_.Add(std::move(job));
        LeaveCriticalSection(&lock_);
        if (threads_.empty()) {
            // Without threads (none could be made) the pool still works, on the caller.
            RunNextHere();
            return ticket;
        }
        ReleaseSemaphore(queued_, 1, nullptr);
        return ticket;
    }

    bool Wait(Ticket ticket) override {
        for (;;) {
            EnterCriticalSection(&lock_);
            const WorkerJobBook::Outcome outcome = book_.Collect(ticket);
            LeaveCriticalSection(&lock_);
            if (outcome != WorkerJobBook::Outcome::Pending) return outcome == WorkerJobBook::Outcome::Ran;
            // Auto-reset and set after every end: a wake-up for another job only loops.
            WaitForSingleObject(ended_, INFINITE);
        }
    }

    void Cancel() override {
        EnterCriticalSection(&lock_);
        book_.DropQueued();
        LeaveCriticalSection(&lock_);
        SetEvent(ended_);
    }

private:
    // Takes the next queued job and runs it on this thread; false when none was queued.
    // The semaphore keeps counting jobs that Cancel dropped: a worker that wakes for one
    // finds nothing and waits again.
    bool RunNextHere() {
        Ticket ticket = 0;
        std::function<void()> job;
        EnterCriticalSection(&lock_);
        const bool took = book_.TakeNext(ticket, job);
        LeaveCriticalSection(&lock_);
        if (!took) return false;
        const bool ran = WorkerJobBook::Run(job);
        job = nullptr;  // what it holds is released on this thread, before the caller sees the end
        EnterCriticalSection(&lock_);
        book_.Ended(ticket, ran);
        LeaveCriticalSection(&lock_);
        SetEvent(ended_);
        return true;
    }

    static DWORD WINAPI Main(LPVOID self) {
        static_cast<Win32WorkerPool*>(self)->Work();
        return 0;
    }

    void Work() {
        for (;;) {
            WaitForSingleObject(queued_, INFINITE);
            if (RunNextHere()) continue;
            EnterCriticalSection(&lock_);
            const bool stop = stopping_;
            LeaveCriticalSection(&lock_);
            if (stop) return;
        }
    }

    CRITICAL_SECTION lock_;
    HANDLE queued_ = nullptr;
    HANDLE ended_ = nullptr;
    std::vector<HANDLE> threads_;
    WorkerJobBook book_;
    bool stopping_ = false;
};

}  // namespace

std::unique_ptr<WorkerPool> CreateWin32WorkerPool(unsigned workers) {
    if (workers <= 1) return CreateInlineWorkerPool();
    return std::make_unique<Win32WorkerPool>(workers);
}

unsigned Win32ProcessorCount() {
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1u;
}

}  // namespace bv
