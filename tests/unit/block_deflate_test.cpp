// Block-parallel deflate: the same stream whatever the number of workers, an ordinary
// deflate stream that zlib inflates, nearly the size of one deflate over the whole data,
// and a cancel that leaves no work and no thread behind.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "brevisto/archive/block_deflate.h"
#include "tests/support/test_platform.h"
#include "tests/support/thread_count.h"

namespace bv {
namespace {

using Data = std::vector<uint8_t>;
using test::TestPlatform;
constexpr size_t kBlock = BlockDeflater::kBlockSize;

struct Rng {
    uint64_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 11);
    }
};

Data RandomBytes(size_t size, uint64_t seed) {
    Rng rng{seed};
    Data data(size);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng.Next());
    return data;
}

// Words of a made-up language, frequent ones far more often, in lines of mail-like text.
Data TextLike(size_t size, uint64_t seed) {
    Rng rng{seed};
    std::vector<std::string> words;
    for (int w = 0; w < 3000; ++w) {
        std::string word;
        const int letters = 2 + static_cast<int>(rng.Next() % 9);
        for (int i = 0; i < letters; ++i) word += static_cast<char>('a' + rng.Next() % 26);
        words.push_back(word);
    }
    Data data;
    data.reserve(size + 16);
    int column = 0;
    while (data.size() < size) {
        // The smaller of two draws favours the front of the vocabulary.
        const size_t pick = std::min(rng.Next() % words.size(), rng.Next() % words.size());
        const std::string& word = words[std::min(pick, static_cast<size_t>(rng.Next() % words.size()))];
        data.insert(data.end(), word.begin(), word.end());
        column += static_cast<int>(word.size()) + 1;
        if (rng.Next() % 17 == 0) data.push_back(',');
        if (column > 70) {
            data.push_back('\r');
            data.push_back('\n');
            column = 0;
        } else {
            data.push_back(' ');
        }
    }
    data.resize(size);
    return data;
}

// A random piece repeated with a period shorter than the window, so matches reach back
// across every block boundary.
Data RepeatsAcrossBoundaries(size_t size, size_t period) {
    const Data piece = RandomBytes(period, 99);
    Data data(size);
    for (size_t i = 0; i < size; ++i) data[i] = piece[i % period];
    return data;
}

struct Result {
    Data stream;
    uint32_t crc = 0;
    uint64_t inputSize = 0;
    uint64_t outputSize = 0;
};

Result BlockDeflate(System& system, const Data& data, unsigned workers, int level,
                    size_t piece = 7777) {
    std::unique_ptr<WorkerPool> pool = system.CreateWorkerPool(workers);
    Result result;
    BlockDeflater deflater(*pool, level, [&result](const uint8_t* bytes, size_t count) {
        result.stream.insert(result.stream.end(), bytes, bytes + count);
    });
    for (size_t at = 0; at < data.size(); at += piece)
        deflater.Write(data.data() + at, std::min(piece, data.size() - at));
    deflater.Finish();
    result.crc = deflater.Crc();
    result.inputSize = deflater.InputSize();
    result.outputSize = deflater.OutputSize();
    return result;
}

// One deflate over the whole data, as the archive writer does it today.
Data SingleDeflate(const Data& data, int level) {
    z_stream z = {};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Data out(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Inflates a raw stream; false unless it ends exactly where the bytes end.
bool Inflate(const Data& stream, Data& out) {
    z_stream z = {};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    out.clear();
    uint8_t buffer[16384];
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
        if (result == Z_BUF_ERROR) break;
    }
    const bool ended = result == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return ended;
}

uint32_t Crc32(const Data& data) {
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), data.data(), static_cast<uInt>(data.size())));
}

struct Input {
    const char* name;
    Data data;
};

std::vector<Input> Inputs() {
    return {
        {"empty", {}},
        {"one byte", {0x42}},
        {"exactly one block", TextLike(kBlock, 1)},
        {"one block and one byte", TextLike(kBlock + 1, 2)},
        {"several blocks", TextLike(5 * kBlock + 12345, 3)},
        {"exactly three blocks", TextLike(3 * kBlock, 4)},
        {"incompressible", RandomBytes(3 * kBlock + 777, 5)},
        {"highly repetitive", Data(4 * kBlock + 5, 'x')},
        {"repeats across boundaries", RepeatsAcrossBoundaries(6 * kBlock + 99, 10000)},
    };
}

TEST(BlockDeflate, TheStreamIsTheSameForAnyNumberOfWorkersAndPieces) {
    TestPlatform tp;
    for (const Input& input : Inputs()) {
        for (int level : {1, 6, 9}) {
            SCOPED_TRACE(testing::Message() << input.name << ", level " << level);
            const Result one = BlockDeflate(tp.system(), input.data, 1, level);
            const Result two = BlockDeflate(tp.system(), input.data, 2, level, 100000);
            const Result eight = BlockDeflate(tp.system(), input.data, 8, level, kBlock);
            EXPECT_EQ(two.stream, one.stream);
            EXPECT_EQ(eight.stream, one.stream);
            EXPECT_EQ(two.crc, one.crc);
            EXPECT_EQ(eight.crc, one.crc);
        }
    }
}

TEST(BlockDeflate, ZlibInflatesTheStreamToTheDataAndTheCrcIsTheWholeDatas) {
    TestPlatform tp;
    for (const Input& input : Inputs()) {
        for (unsigned workers : {1u, 3u}) {
            SCOPED_TRACE(testing::Message() << input.name << ", " << workers << " workers");
            const Result result = BlockDeflate(tp.system(), input.data, workers, 6);
            Data back;
            EXPECT_TRUE(Inflate(result.stream, back));
            EXPECT_TRUE(back == input.data);
            EXPECT_EQ(result.crc, Crc32(input.data));
            EXPECT_EQ(result.inputSize, input.data.size());
            EXPECT_EQ(result.outputSize, result.stream.size());
        }
    }
}

TEST(BlockDeflate, StoredLevelStillMakesAValidStream) {
    TestPlatform tp;
    const Data data = TextLike(2 * kBlock + 10, 6);
    const Result result = BlockDeflate(tp.system(), data, 2, 0);
    Data back;
    EXPECT_TRUE(Inflate(result.stream, back));
    EXPECT_TRUE(back == data);
}

TEST(BlockDeflate, NearlyAsSmallAsOneDeflateOverTheWholeData) {
    TestPlatform tp;
    struct Case {
        const char* name;
        Data data;
        int level;
    } const cases[] = {
        {"text, level 6", TextLike(4u << 20, 7), 6},
        {"text, level 9", TextLike(3u << 20, 8), 9},
        {"text, level 1", TextLike(3u << 20, 9), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t single = SingleDeflate(c.data, c.level).size();
        const size_t blocks = BlockDeflate(tp.system(), c.data, 4, c.level).stream.size();
        EXPECT_LE(static_cast<double>(blocks), static_cast<double>(single) * 1.005)
            << blocks << " bytes against " << single;
    }
    // Without the previous block as dictionary every block would spend its first 10000
    // bytes again on literals.
    const Data repeats = RepeatsAcrossBoundaries(8 * kBlock, 10000);
    const size_t single = SingleDeflate(repeats, 6).size();
    const size_t blocks = BlockDeflate(tp.system(), repeats, 4, 6).stream.size();
    EXPECT_LE(blocks, single + 8 * 64) << blocks << " bytes against " << single;
}

TEST(BlockDeflate, OutputFlowsWhileDataComesInWithFewBlocksInFlight) {
    TestPlatform tp;
    const Data data = TextLike(24 * kBlock, 10);
    for (unsigned workers : {1u, 2u, 4u}) {
        SCOPED_TRACE(workers);
        std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(workers);
        size_t blocksOut = 0;
        BlockDeflater deflater(*pool, 6, [&blocksOut](const uint8_t*, size_t) { ++blocksOut; });
        for (size_t block = 0; block < 24; ++block) {
            deflater.Write(data.data() + block * kBlock, kBlock);
            // Blocks 0 .. block-1 are sent (the last one waits for more data); at most two
            // per worker may still be compressing.
            const size_t sent = block;
            EXPECT_GE(blocksOut + 2 * workers, sent) << "after block " << block;
        }
        deflater.Finish();
        EXPECT_EQ(blocksOut, 24u);
    }
}

// Runs a deflate and cancels it after `cancelAfter` pieces; what reached the sink must be
// the start of the whole stream, and nothing more may arrive.
TEST(BlockDeflate, CancelStopsTheWorkAndLeavesNoThread) {
    TestPlatform tp;
    const int threads = test::ThreadsOfThisProcess();
    const Data data = TextLike(40 * kBlock, 11);
    const Data whole = BlockDeflate(tp.system(), data, 1, 9).stream;
    for (unsigned workers : {1u, 2u, 8u}) {
        SCOPED_TRACE(workers);
        Data received;
        {
            std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(workers);
            BlockDeflater deflater(*pool, 9, [&received](const uint8_t* bytes, size_t count) {
                received.insert(received.end(), bytes, bytes + count);
            });
            for (size_t block = 0; block < 20; ++block) deflater.Write(data.data() + block * kBlock, kBlock);
            deflater.Cancel();
            const size_t atCancel = received.size();
            EXPECT_THROW(deflater.Write(data.data(), 10), std::logic_error);
            EXPECT_THROW(deflater.Finish(), std::logic_error);
            EXPECT_EQ(received.size(), atCancel);
            ASSERT_LE(received.size(), whole.size());
            EXPECT_TRUE(std::equal(received.begin(), received.end(), whole.begin()));
            // The pool goes on serving after the deflater let go of it.
            EXPECT_TRUE(pool->Wait(pool->Submit([] {})));
        }
        if (threads >= 0) {
            EXPECT_EQ(test::ThreadsOfThisProcess(), threads);
        }
    }
}

// The writer's sink fails (a full disk): the deflater and its pool must still go away cleanly.
TEST(BlockDeflate, ASinkThatThrowsLeavesNothingRunning) {
    TestPlatform tp;
    const int threads = test::ThreadsOfThisProcess();
    const Data data = TextLike(30 * kBlock, 12);
    for (unsigned workers : {1u, 4u}) {
        SCOPED_TRACE(workers);
        {
            std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(workers);
            int calls = 0;
            BlockDeflater deflater(*pool, 6, [&calls](const uint8_t*, size_t) {
                if (++calls == 3) throw std::runtime_error("disk full");
            });
            EXPECT_THROW(
                {
                    for (size_t block = 0; block < 30; ++block)
                        deflater.Write(data.data() + block * kBlock, kBlock);
                    deflater.Finish();
                },
                std::runtime_error);
            EXPECT_EQ(calls, 3);
        }
        if (threads >= 0) {
            EXPECT_EQ(test::ThreadsOfThisProcess(), threads);
        }
    }
}

TEST(BlockDeflate, ALevelZlibRefusesIsAFailure) {
    TestPlatform tp;
    for (unsigned workers : {1u, 2u}) {
        SCOPED_TRACE(workers);
        std::unique_ptr<WorkerPool> pool = tp.system().CreateWorkerPool(workers);
        BlockDeflater deflater(*pool, 42, [](const uint8_t*, size_t) {});
        const Data data = TextLike(1000, 13);
        deflater.Write(data.data(), data.size());
        EXPECT_THROW(deflater.Finish(), BlockDeflateFailure);
    }
}

}  // namespace
}  // namespace bv
