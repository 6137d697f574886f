#include "brevisto/archive/block_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace bv {

struct BlockDeflater::Block {
    std::vector<uint8_t> input;  // the previous block's last window, then this block's data
    size_t window = 0;
    bool last = false;
    // Written by the job, read by the caller only after Wait.
    std::vector<uint8_t> output;
    uint32_t crc = 0;
    bool ok = false;
    WorkerPool::Ticket ticket = 0;

    size_t DataSize() const { return input.size() - window; }
};

namespace {

// Runs on a worker: one block as a piece of a raw deflate stream, with the parameters
// the archive writer uses for a whole entry (window 2^15, memLevel 8, default strategy).
void CompressBlock(std::vector<uint8_t>& input, size_t window, bool last, int level,
                   std::vector<uint8_t>& output, uint32_t& crc, bool& ok) {
    ok = false;
    const uint8_t* data = input.data() + window;
    const size_t size = input.size() - window;
    crc = static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size)));

    z_stream z = {};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
    struct End {
        z_stream& z;
        ~End() { deflateEnd(&z); }
    } end{z};
    if (window > 0 &&
        deflateSetDictionary(&z, input.data(), static_cast<uInt>(window)) != Z_OK)
        return;

    // deflateBound covers a finished stream; the sync flush marker and a spare take 64 more.
    output.resize(deflateBound(&z, static_cast<uLong>(size)) + 64);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    size_t produced = 0;
    for (;;) {
        z.next_out = output.data() + produced;
        z.avail_out = static_cast<uInt>(output.size() - produced);
        const int result = deflate(&z, flush);
        produced = output.size() - z.avail_out;
        if (result == Z_STREAM_ERROR) return;
        if (last ? result == Z_STREAM_END : (z.avail_in == 0 && z.avail_out != 0)) break;
        if (z.avail_out == 0) output.resize(output.size() + 64 * 1024);
    }
    output.resize(produced);
    ok = true;
}

}  // namespace

BlockDeflater::BlockDeflater(WorkerPool& pool, int level, Sink sink)
    : pool_(pool),
      level_(level),
      sink_(std::move(sink)),
      maxInFlight_(pool.Workers() > 1 ? 2 * static_cast<size_t>(pool.Workers()) : 1) {
    crc_ = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
    filling_ = NewBlock();  // after spare_ exists
}

BlockDeflater::~BlockDeflater() {
    if (!inFlight_.empty()) Cancel();
}

std::unique_ptr<BlockDeflater::Block> BlockDeflater::NewBlock() {
    std::unique_ptr<Block> block;
    if (spare_.empty()) {
        block = std::make_unique<Block>();
        block->input.reserve(kWindowSize + kBlockSize);
    } else {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    block->input.clear();
    block->window = 0;
    block->last = false;
    block->ok = false;
    return block;
}

void BlockDeflater::Write(const uint8_t* data, size_t size) {
    if (finished_ || cancelled_) throw std::logic_error("BlockDeflater: write after the end");
    while (size > 0) {
        // A full block is sent only when more data follows: the last block must end the stream.
        if (filling_->DataSize() == kBlockSize) Submit(false);
        const size_t take = std::min(size, kBlockSize - filling_->DataSize());
        filling_->input.insert(filling_->input.end(), data, data + take);
        data += take;
        size -= take;
        inputSize_ += take;
    }
}

void BlockDeflater::Finish() {
    if (finished_ || cancelled_) throw std::logic_error("BlockDeflater: finish after the end");
    Submit(true);
    finished_ = true;
    while (!inFlight_.empty()) CollectOldest();
}

void BlockDeflater::Submit(bool last) {
    std::unique_ptr<Block> next;
    if (!last) {
        // The next block's dictionary: what deflate could still reach back to.
        next = NewBlock();
        const size_t window = std::min(kWindowSize, filling_->DataSize());
        next->input.assign(filling_->input.end() - static_cast<std::ptrdiff_t>(window),
                           filling_->input.end());
        next->window = window;
    }
    Block* block = filling_.get();
    block->last = last;
    const int level = level_;
    inFlight_.push_back(std::move(filling_));
    block->ticket = pool_.Submit([block, level] {
        CompressBlock(block->input, block->window, block->last, level, block->output, block->crc,
                      block->ok);
    });
    filling_ = std::move(next);
    while (inFlight_.size() >= maxInFlight_) CollectOldest();
}

void BlockDeflater::CollectOldest() {
    std::unique_ptr<Block> block = std::move(inFlight_.front());
    inFlight_.pop_front();
    const bool ran = pool_.Wait(block->ticket);
    if (!ran || !block->ok) throw BlockDeflateFailure();
    crc_ = static_cast<uint32_t>(
        crc32_combine(crc_, block->crc, static_cast<z_off_t>(block->DataSize())));
    outputSize_ += block->output.size();
    if (!block->output.empty()) sink_(block->output.data(), block->output.size());
    spare_.push_back(std::move(block));
}

void BlockDeflater::Cancel() {
    cancelled_ = true;
    if (inFlight_.empty()) return;
    pool_.Cancel();
    for (const std::unique_ptr<Block>& block : inFlight_) pool_.Wait(block->ticket);
    inFlight_.clear();
}

}  // namespace bv
