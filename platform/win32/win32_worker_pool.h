// The worker pool of the Win32 backend.
#pragma once
#include <memory>

#include "platform/worker_pool.h"

namespace bv {

// Threads, events and a critical section only: what Windows 95 and NT 4 have.
std::unique_ptr<WorkerPool> CreateWin32WorkerPool(unsigned workers);
unsigned Win32ProcessorCount();

}  // namespace bv
