#include "maze/random.h"

#include <chrono>

std::uint32_t Random::clockSeed()
{
    const auto ticks = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    // Fold the fast-moving low bits and the slow high bits together.
    return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}
