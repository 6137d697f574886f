// Raw deflate of one entry's data in fixed blocks, compressed side by side on a worker
// pool and joined into one ordinary deflate stream.
//
// Block i is deflated on its own with the last 32 KiB of block i-1 as preset dictionary
// and ends with a sync flush (byte-aligned, not final); the last block ends the stream.
// The blocks have a fixed size, so the output depends only on the data and the level,
// never on the number of workers or on timing. Data goes in and compressed bytes come out
// in order on the calling thread; at most two blocks per worker are in flight, so memory
// stays bounded whatever the size of the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/worker_pool.h"

namespace bv {

// zlib refused to deflate (out of memory) or a job was lost.
class BlockDeflateFailure : public std::runtime_error {
public:
    BlockDeflateFailure() : std::runtime_error("block deflate failed") {}
};

class BlockDeflater {
public:
    static constexpr size_t kBlockSize = 128 * 1024;
    static constexpr size_t kWindowSize = 32 * 1024;  // deflate's reach back
    using Sink = std::function<void(const uint8_t* bytes, size_t count)>;

    // `level` as deflateInit2 takes it. The deflater has the pool to itself while it lives
    // (Cancel drops the pool's queued jobs). `sink` receives the compressed bytes in order,
    // on the thread that calls Write and Finish.
    BlockDeflater(WorkerPool& pool, int level, Sink sink);
    // Cancels what is still in flight.
    ~BlockDeflater();
    BlockDeflater(const BlockDeflater&) = delete;
    BlockDeflater& operator=(const BlockDeflater&) = delete;

    // Takes the next bytes of the data; may hand finished blocks to the sink. Throws
    // BlockDeflateFailure; whatever the sink throws passes through.
    void Write(const uint8_t* data, size_t size);
    // Ends the stream and hands everything left to the sink.
    void Finish();
    // Drops the blocks not yet started and waits for the running ones (each at most one
    // block's work); nothing more reaches the sink. Write and Finish are refused afterwards.
    void Cancel();

    // After Finish: CRC-32 and sizes of the whole data and of the stream.
    uint32_t Crc() const { return crc_; }
    uint64_t InputSize() const { return inputSize_; }
    uint64_t OutputSize() const { return outputSize_; }

private:
    struct Block;
    void Submit(bool last);
    void CollectOldest();
    std::unique_ptr<Block> NewBlock();

    WorkerPool& pool_;
    int level_;
    Sink sink_;
    size_t maxInFlight_;
    std::unique_ptr<Block> filling_;
    std::deque<std::unique_ptr<Block>> inFlight_;
    std::vector<std::unique_ptr<Block>> spare_;
    uint32_t crc_ = 0;
    uint64_t inputSize_ = 0;
    uint64_t outputSize_ = 0;
    bool finished_ = false;
    bool cancelled_ = false;
};

}  // namespace bv
