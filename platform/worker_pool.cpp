#include "platform/worker_pool.h"

#include <map>

namespace bv {
namespace {

class InlineWorkerPool : public WorkerPool {
public:
    unsigned Workers() const override { return 1; }

    Ticket Submit(std::function<void()> job) override {
        const Ticket ticket = next_++;
        bool ran = false;
        try {
            job();
            ran = true;
        } catch (...) {
        }
        results_[ticket] = ran;
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

std::unique_ptr<WorkerPool> CreateInlineWorkerPool() { return std::make_unique<InlineWorkerPool>(); }

}  // namespace bv
