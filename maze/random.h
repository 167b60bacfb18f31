#pragma once

#include <cstdint>
#include <random>

/// The program's one source of uniform single-precision numbers 0 <= r < 1.
/// Built on std::mt19937, whose output the standard fixes bit for bit, so a
/// seed gives the same sequence on every machine and compiler.
class Random {
public:
    Random() : Random(5489u) {}
    explicit Random(std::uint32_t seed) : engine_(seed), seed_(seed) {}

    /// Restarts the sequence from `seed`.
    void seed(std::uint32_t seed)
    {
        engine_.seed(seed);
        seed_ = seed;
    }

    /// The seed the current sequence started from.
    std::uint32_t currentSeed() const { return seed_; }

    /// Next value in [0, 1): the top 24 bits of one draw, exactly representable as a float.
    float next() { return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f); }

    /// A seed taken from the clock, as the program uses at start-up.
    static std::uint32_t clockSeed();

private:
    std::mt19937 engine_;
    std::uint32_t seed_;
};
