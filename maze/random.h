#pragma once

#include <array>
#include <cstdint>

/// The program's one source of uniform single-precision numbers 0 <= r < 1: the sequence of
/// std::mt19937, whose output the standard fixes bit for bit, so a seed gives the same numbers
/// on every machine and compiler. The engine's 624 words are made and tempered a whole block
/// at a time, in loops the compiler turns into vector code; a draw is then one load.
class Random {
public:
    /// Draws per block of the engine.
    static constexpr int BlockSize = 624;

    Random() : Random(5489u) {}
    explicit Random(std::uint32_t seed) { this->seed(seed); }

    /// Restarts the sequence from `seed`.
    void seed(std::uint32_t seed);

    /// The seed the current sequence started from.
    std::uint32_t currentSeed() const { return seed_; }

    /// The next draw as a whole number 0..2^24 - 1: the top 24 bits of the engine's output.
    std::uint32_t nextBits()
    {
        if (next_ == BlockSize)
            refill();
        return bits_[next_++];
    }

    /// Next value in [0, 1): nextBits() / 2^24, exactly representable as a float.
    float next() { return static_cast<float>(nextBits()) * (1.0f / 16777216.0f); }

    /// Draws `count` numbers that nobody reads, as a walk must where a draw decides nothing.
    void skip(long long count)
    {
        while (count > BlockSize - next_) {
            count -= BlockSize - next_;
            refill();
        }
        next_ += static_cast<int>(count);
    }

    /// A seed taken from the clock, as the program uses at start-up.
    static std::uint32_t clockSeed();

private:
    void refill();

    std::array<std::uint32_t, BlockSize> state_;
    std::array<std::uint32_t, BlockSize> bits_;  // the tempered block, top 24 bits
    int next_ = BlockSize;
    std::uint32_t seed_ = 0;
};
