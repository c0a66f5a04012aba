// The stable sort of 32-bit keys that carries 32-bit values, on the block pool: a least-significant-digit radix sort,
// whose order is the one order a stable sort has, so the result does not depend on how many threads ran it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <thrust/system/detail/bad_alloc.h>

#include "blockPool.h"
#include "hostRuntime.h"

namespace hostRuntime {
namespace {

constexpr int kDigitBits = 8;
constexpr int kDigits = 1 << kDigitBits;
// Below this the pool's hand-off costs more than it saves.
constexpr std::size_t kParallelFrom = 1 << 16;

// One pass: each chunk counts its digits, then moves its pairs to their places; chunk c of a digit follows the pairs
// of that digit in chunks before c, which keeps the sort stable.
struct Pass {
    const unsigned int* keys;
    const unsigned int* values;
    unsigned int* keysOut;
    unsigned int* valuesOut;
    std::size_t count;
    long long chunks;
    int shift;
    std::vector<std::size_t>* places;  // kDigits per chunk: counts, then first places

    std::size_t begin(long long chunk) const { return count * static_cast<std::size_t>(chunk) / chunks; }

    static void countDigits(const void* self, long long first, long long last)
    {
        const Pass& pass = *static_cast<const Pass*>(self);
        for (long long c = first; c < last; ++c) {
            std::size_t* counts = pass.places->data() + c * kDigits;
            for (std::size_t i = pass.begin(c); i < pass.begin(c + 1); ++i)
                ++counts[(pass.keys[i] >> pass.shift) & (kDigits - 1)];
        }
    }

    static void movePairs(const void* self, long long first, long long last)
    {
        const Pass& pass = *static_cast<const Pass*>(self);
        for (long long c = first; c < last; ++c) {
            std::size_t* next = pass.places->data() + c * kDigits;
            for (std::size_t i = pass.begin(c); i < pass.begin(c + 1); ++i) {
                const std::size_t to = next[(pass.keys[i] >> pass.shift) & (kDigits - 1)]++;
                pass.keysOut[to] = pass.keys[i];
                pass.valuesOut[to] = pass.values[i];
            }
        }
    }
};

// Turns the chunks' digit counts into first places, digit by digit, chunk by chunk; false when every key has the
// same digit, so that the pass would leave the order as it is.
bool placeDigits(std::vector<std::size_t>& places, long long chunks, std::size_t count)
{
    std::size_t at = 0;
    for (int d = 0; d < kDigits; ++d) {
        std::size_t ofDigit = 0;
        for (long long c = 0; c < chunks; ++c) {
            std::size_t& slot = places[c * kDigits + d];
            const std::size_t n = slot;
            slot = at;
            at += n;
            ofDigit += n;
        }
        if (ofDigit == count)
            return false;
    }
    return true;
}

// The second pair of arrays: temporary storage of a primitive, counted and refused as Thrust's own is, with its words.
class Scratch {
public:
    explicit Scratch(std::size_t count) : bytes_(2 * sizeof(unsigned int) * count)
    {
        if (reserveDeviceBytes(bytes_)) {
            data_ = static_cast<unsigned int*>(std::malloc(bytes_));
            if (data_ == nullptr)
                releaseDeviceBytes(bytes_);
        }
        if (data_ == nullptr)
            throw thrust::system::detail::bad_alloc("temporary_buffer::allocate: get_temporary_buffer failed");
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch()
    {
        std::free(data_);
        releaseDeviceBytes(bytes_);
    }
    unsigned int* keys() const { return data_; }
    unsigned int* values() const { return data_ + bytes_ / (2 * sizeof(unsigned int)); }

private:
    std::size_t bytes_;
    unsigned int* data_ = nullptr;
};

}  // namespace

void sortPairs(unsigned int* keys, unsigned int* values, std::size_t count)
{
    if (count < 2)
        return;
    Scratch scratch(count);
    const long long chunks = count < kParallelFrom ? 1 : 4LL * kernelThreadCount();
    std::vector<std::size_t> places(static_cast<std::size_t>(chunks) * kDigits);
    unsigned int* from[2] = {keys, values};
    unsigned int* to[2] = {scratch.keys(), scratch.values()};
    for (int shift = 0; shift < 32; shift += kDigitBits) {
        Pass pass{from[0], from[1], to[0], to[1], count, chunks, shift, &places};
        std::fill(places.begin(), places.end(), 0);
        runBlocks(chunks, &Pass::countDigits, &pass);
        if (!placeDigits(places, chunks, count))
            continue;
        runBlocks(chunks, &Pass::movePairs, &pass);
        std::swap(from[0], to[0]);
        std::swap(from[1], to[1]);
    }
    if (from[0] != keys) {
        std::memcpy(keys, from[0], count * sizeof(unsigned int));
        std::memcpy(values, from[1], count * sizeof(unsigned int));
    }
}

}  // namespace hostRuntime
