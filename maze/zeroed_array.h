#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

/// A zero-filled array of a trivial type for the grid and the hunt's large sets. On Linux a
/// large one comes straight from the kernel, already zero, with huge pages asked for: the walks
/// read it at random places, where small pages would cost a page walk nearly every time.
/// Throws std::bad_alloc when there is no memory for it.
template <typename T>
class ZeroedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    ZeroedArray() = default;
    explicit ZeroedArray(std::size_t size) : size_(size)
    {
        if (size == 0)
            return;
        const std::size_t bytes = size * sizeof(T);
#ifdef __linux__
        constexpr std::size_t hugePage = std::size_t{2} << 20;
        if (bytes >= hugePage) {
            void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED)
                throw std::bad_alloc();
            madvise(p, bytes, MADV_HUGEPAGE);  // a hint: small pages still work
            data_ = static_cast<T *>(p);
            mapped_ = bytes;
            return;
        }
#endif
        data_ = static_cast<T *>(std::calloc(size, sizeof(T)));
        if (!data_)
            throw std::bad_alloc();
    }
    ~ZeroedArray() { release(); }

    ZeroedArray(const ZeroedArray &other) : ZeroedArray(other.size_)
    {
        if (size_)
            std::memcpy(data_, other.data_, size_ * sizeof(T));
    }
    ZeroedArray(ZeroedArray &&other) noexcept
        : size_(std::exchange(other.size_, 0)), data_(std::exchange(other.data_, nullptr)),
          mapped_(std::exchange(other.mapped_, 0))
    {
    }
    ZeroedArray &operator=(const ZeroedArray &other)
    {
        if (this != &other) {
            release();  // never hold the old and the new array at once
            *this = ZeroedArray(other);
        }
        return *this;
    }
    ZeroedArray &operator=(ZeroedArray &&other) noexcept
    {
        if (this != &other) {
            release();
            size_ = std::exchange(other.size_, 0);
            data_ = std::exchange(other.data_, nullptr);
            mapped_ = std::exchange(other.mapped_, 0);
        }
        return *this;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T *data() { return data_; }
    const T *data() const { return data_; }
    T &operator[](std::size_t i) { return data_[i]; }
    const T &operator[](std::size_t i) const { return data_[i]; }

    /// Frees the memory; the array is then empty.
    void release()
    {
        if (data_) {
#ifdef __linux__
            if (mapped_)
                munmap(data_, mapped_);
            else
#endif
                std::free(data_);
        }
        data_ = nullptr;
        size_ = 0;
        mapped_ = 0;
    }

private:
    std::size_t size_ = 0;
    T *data_ = nullptr;
    std::size_t mapped_ = 0;
};
