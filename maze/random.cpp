#include "maze/random.h"

#include <chrono>

namespace {

constexpr int Shift = 397;  // the engine's middle word
constexpr std::uint32_t Matrix = 0x9908b0dfu;

inline std::uint32_t twist(std::uint32_t upper, std::uint32_t lower, std::uint32_t far)
{
    const std::uint32_t y = (upper & 0x80000000u) | (lower & 0x7fffffffu);
    return far ^ (y >> 1) ^ (-(y & 1u) & Matrix);
}

} // namespace

void Random::seed(std::uint32_t seed)
{
    seed_ = seed;
    state_[0] = seed;
    for (std::uint32_t i = 1; i < BlockSize; ++i)
        state_[i] = 1812433253u * (state_[i - 1] ^ (state_[i - 1] >> 30)) + i;
    next_ = BlockSize;
}

// Where the processor has them, eight words at a time instead of four. Clang takes clones only
// on a function's first declaration, which the header's inline callers precede: it builds the
// one version (the fuzzing build).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
void Random::refill()
{
    std::uint32_t *mt = state_.data();
    // Each loop reads words at least 227 places away from the ones it writes, or words not yet
    // rewritten, so it runs four or eight words at a time.
    for (int i = 0; i < BlockSize - Shift; ++i)
        mt[i] = twist(mt[i], mt[i + 1], mt[i + Shift]);
    for (int i = BlockSize - Shift; i < BlockSize - 1; ++i)
        mt[i] = twist(mt[i], mt[i + 1], mt[i + Shift - BlockSize]);
    mt[BlockSize - 1] = twist(mt[BlockSize - 1], mt[0], mt[Shift - 1]);

    for (int i = 0; i < BlockSize; ++i) {
        std::uint32_t y = mt[i];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9d2c5680u;
        y ^= (y << 15) & 0xefc60000u;
        y ^= y >> 18;
        bits_[i] = y >> 8;
    }
    next_ = 0;
}

std::uint32_t Random::clockSeed()
{
    const auto ticks = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    // Fold the fast-moving low bits and the slow high bits together.
    return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}
