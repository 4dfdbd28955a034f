// An owned run of elements. Capacity 0 means the buffer does not own its data.
#pragma once

#include <cstring>
#include <type_traits>

#include "qln/Config.h"

namespace qln {

template <class T>
class Buffer {
    static_assert(std::is_trivially_copyable<T>::value, "Buffer holds plain elements");

public:
    Buffer() : data_(nullptr), length_(0), capacity_(0) {}
    // An owned buffer of n zeroed elements.
    explicit Buffer(std::size_t n) : data_(nullptr), length_(0), capacity_(0) { resize(n, true); }
    // Wraps memory of someone else; it is never freed by the buffer.
    Buffer(T* data, std::size_t length) : data_(data), length_(length), capacity_(0) {}

    Buffer(const Buffer& other) : data_(nullptr), length_(0), capacity_(0) { copyFrom(other); }
    Buffer(Buffer&& other) noexcept
        : data_(other.data_), length_(other.length_), capacity_(other.capacity_) {
        other.data_ = nullptr;
        other.length_ = 0;
        other.capacity_ = 0;
    }
    Buffer& operator=(const Buffer& other) {
        if (this != &other) {
            freeData();
            copyFrom(other);
        }
        return *this;
    }
    Buffer& operator=(Buffer&& other) noexcept {
        if (this != &other) {
            freeData();
            data_ = other.data_;
            length_ = other.length_;
            capacity_ = other.capacity_;
            other.data_ = nullptr;
            other.length_ = 0;
            other.capacity_ = 0;
        }
        return *this;
    }
    ~Buffer() { freeData(); }

    T* getData() { return data_; }
    const T* getData() const { return data_; }
    std::size_t getLength() const { return length_; }
    std::size_t getCapacity() const { return capacity_; }
    bool ownsData() const { return capacity_ != 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

    // Sets the length to n. The owned block stays when capacity/2 < n <= capacity;
    // otherwise exactly n elements are allocated and the common part copied.
    // With zeroTail the elements past the old length are zeroed.
    void resize(std::size_t n, bool zeroTail) {
        if (keepsBlock(n)) {
            if (zeroTail && n > length_)
                std::memset(static_cast<void*>(data_ + length_), 0, (n - length_) * sizeof(T));
            length_ = n;
            return;
        }
        T* block = n ? new T[n] : nullptr;
        std::size_t common = length_ < n ? length_ : n;
        if (common && data_)
            std::memcpy(static_cast<void*>(block), data_, common * sizeof(T));
        if (zeroTail && n > common)
            std::memset(static_cast<void*>(block + common), 0, (n - common) * sizeof(T));
        freeData();
        data_ = block;
        length_ = n;
        capacity_ = n;
    }

    // Sets the contents to n elements from `source` by the same block rule as resize.
    void assign(const T* source, std::size_t n) {
        if (!keepsBlock(n)) {
            // The source may lie in the old block: copy before freeing it.
            T* block = n ? new T[n] : nullptr;
            if (n)
                std::memcpy(static_cast<void*>(block), source, n * sizeof(T));
            freeData();
            data_ = block;
            capacity_ = n;
            length_ = n;
            return;
        }
        if (n)
            std::memmove(static_cast<void*>(data_), source, n * sizeof(T));
        length_ = n;
    }

private:
    bool keepsBlock(std::size_t n) const {
        return capacity_ != 0 && data_ != nullptr && capacity_ / 2 < n && n <= capacity_;
    }
    void copyFrom(const Buffer& other) {
        if (other.length_ == 0 || other.data_ == nullptr)
            return;
        data_ = new T[other.length_];
        std::memcpy(static_cast<void*>(data_), other.data_, other.length_ * sizeof(T));
        length_ = other.length_;
        capacity_ = other.length_;
    }
    void freeData() {
        if (capacity_ != 0 && data_ != nullptr)
            delete[] data_;
        data_ = nullptr;
        length_ = 0;
        capacity_ = 0;
    }

    T* data_;
    std::size_t length_;
    std::size_t capacity_;
};

}  // namespace qln
