// Worker threads with CreateThread, a semaphore that counts queued jobs, an event that
// tells the waiting caller a job ended and one critical section over the bookkeeping.
// Condition variables and slim locks arrived with Vista, so they are not used.
#include "platform/win32/win32_worker_pool.h"

#include <deque>
#include <map>
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
        DropQueued();
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
        if (threads_.empty()) return RunHere(std::move(job));
        EnterCriticalSection(&lock_);
        const Ticket ticket = next_++;
        Entry& entry = entries_[ticket];
        entry.job = std::move(job);
        queue_.push_back(ticket);
        LeaveCriticalSection(&lock_);
        ReleaseSemaphore(queued_, 1, nullptr);
        return ticket;
    }

    bool Wait(Ticket ticket) override {
        for (;;) {
            EnterCriticalSection(&lock_);
            auto found = entries_.find(ticket);
            if (found == entries_.end()) {
                LeaveCriticalSection(&lock_);
                return false;
            }
            const State state = found->second.state;
            if (state != State::Queued && state != State::Running) {
                entries_.erase(found);
                LeaveCriticalSection(&lock_);
                return state == State::Done;
            }
            LeaveCriticalSection(&lock_);
            // Auto-reset and set after every end: a wake-up for another job only loops.
            WaitForSingleObject(ended_, INFINITE);
        }
    }

    void Cancel() override {
        EnterCriticalSection(&lock_);
        DropQueued();
        LeaveCriticalSection(&lock_);
        SetEvent(ended_);
    }

private:
    enum class State { Queued, Running, Done, Failed, Dropped };
    struct Entry {
        std::function<void()> job;
        State state = State::Queued;
    };

    // Without threads (none could be made) the pool still works, on the caller.
    Ticket RunHere(std::function<void()> job) {
        const Ticket ticket = next_++;
        entries_[ticket].state = Run(job) ? State::Done : State::Failed;
        return ticket;
    }

    static bool Run(std::function<void()>& job) {
        try {
            job();
            return true;
        } catch (...) {
            return false;
        }
    }

    // Under the lock. The semaphore keeps counting the dropped jobs: a worker that wakes
    // for one finds the queue empty and waits again.
    void DropQueued() {
        for (Ticket ticket : queue_) {
            Entry& entry = entries_[ticket];
            entry.state = State::Dropped;
            entry.job = nullptr;
        }
        queue_.clear();
    }

    static DWORD WINAPI Main(LPVOID self) {
        static_cast<Win32WorkerPool*>(self)->Work();
        return 0;
    }

    void Work() {
        for (;;) {
            WaitForSingleObject(queued_, INFINITE);
            EnterCriticalSection(&lock_);
            if (queue_.empty()) {
                const bool stop = stopping_;
                LeaveCriticalSection(&lock_);
                if (stop) return;
                continue;
            }
            const Ticket ticket = queue_.front();
            queue_.pop_front();
            std::function<void()> job = std::move(entries_[ticket].job);
            entries_[ticket].state = State::Running;
            LeaveCriticalSection(&lock_);

            const bool ran = Run(job);
            job = nullptr;  // what it holds is released on this thread, before the caller sees the end

            EnterCriticalSection(&lock_);
            entries_[ticket].state = ran ? State::Done : State::Failed;
            LeaveCriticalSection(&lock_);
            SetEvent(ended_);
        }
    }

    CRITICAL_SECTION lock_;
    HANDLE queued_ = nullptr;
    HANDLE ended_ = nullptr;
    std::vector<HANDLE> threads_;
    std::deque<Ticket> queue_;
    std::map<Ticket, Entry> entries_;
    Ticket next_ = 1;
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
