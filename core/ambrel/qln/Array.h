// The growable array: one pointer to a block that holds the element count,
// the capacity and the elements.
#pragma once

#include <cstdint>
#include <new>
#include <utility>

#include "qln/Config.h"
#include "qln/Exception.h"

namespace qln {

// Heap block behind qln::Array: two 32-bit fields, then `capacity` places of T.
// One allocation of 8 + capacity * sizeof(T) bytes.
template <class T>
struct ArrayRep {
    Uint32 count;
    Uint32 capacity;

    static constexpr Uint32 largestCapacity() {
        return static_cast<Uint32>((Uint32(0xffffffffU) - sizeof(ArrayRep<T>)) / sizeof(T));
    }

    // Growth rule: 8, doubled until it covers n; when doubling wraps, exactly n.
    static Uint32 capacityFor(Uint32 n) {
        Uint32 capacity = 8;
        while (capacity < n) {
            Uint32 doubled = capacity * 2u;
            if (doubled == 0) {
                capacity = n;
                break;
            }
            capacity = doubled;
        }
        return capacity;
    }

    // Reports a capacity above the limit; the raise does not return.
    static void checkCapacity(Uint32 initialCapacity) {
        if (!(initialCapacity <= (Uint32(0xffffffffU) - sizeof(ArrayRep<T>)) / sizeof(T))) {
            AssertionFailure::logAssert(
                "projects\\common\\src\\libAmbrel\\QLNArray\\QLN\\QLNArrayRep", 107,
                "initialCapacity <= (Uint32(0xffffffffU)-sizeof(ArrayRep<T>))/sizeof(T)");
            RaiseExceptionImp(7, 0, 0, nullptr);
        }
    }

    T* elements() { return reinterpret_cast<T*>(this + 1); }
    const T* elements() const { return reinterpret_cast<const T*>(this + 1); }

    // A block for n elements; count = n, the places are left uninitialised.
    static ArrayRep* create(Uint32 n) {
        Uint32 capacity = capacityFor(n);
        checkCapacity(capacity);
        Uint64 bytes = sizeof(ArrayRep<T>) + Uint64(capacity) * sizeof(T);
        if (bytes > static_cast<Uint64>(PTRDIFF_MAX))
            throw std::bad_alloc();  // more than the address space can hold
        void* memory = ::operator new(static_cast<std::size_t>(bytes));
        ArrayRep* rep = static_cast<ArrayRep*>(memory);
        rep->count = n;
        rep->capacity = capacity;
        return rep;
    }

    // Same capacity and count, elements copy-constructed.
    static ArrayRep* clone(const ArrayRep* source) {
        ArrayRep* rep = create(source->capacity);
        rep->count = 0;
        for (Uint32 i = 0; i < source->count; ++i) {
            new (rep->elements() + i) T(source->elements()[i]);
            rep->count = i + 1;
        }
        return rep;
    }

    // Destroys the elements in order, frees the block and nulls the pointer.
    static void destroy(ArrayRep*& rep) {
        if (rep != nullptr) {
            for (Uint32 i = 0; i < rep->count; ++i)
                rep->elements()[i].~T();
            ::operator delete(static_cast<void*>(rep));
        }
        rep = nullptr;
    }
};

template <class T>
class Array {
public:
    Array() : rep_(ArrayRep<T>::create(0)) {}
    Array(const Array& other) : rep_(other.rep_ ? ArrayRep<T>::clone(other.rep_) : nullptr) {}
    Array(Array&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
    ~Array() { ArrayRep<T>::destroy(rep_); }

    Array& operator=(const Array& other) {
        if (rep_ == other.rep_)
            return *this;
        ArrayRep<T>::destroy(rep_);
        if (other.rep_ != nullptr)
            rep_ = ArrayRep<T>::clone(other.rep_);
        return *this;
    }
    Array& operator=(Array&& other) noexcept {
        if (this != &other) {
            ArrayRep<T>::destroy(rep_);
            rep_ = other.rep_;
            other.rep_ = nullptr;
        }
        return *this;
    }

    Uint32 size() const { return rep_ ? rep_->count : 0; }
    Uint32 capacity() const { return rep_ ? rep_->capacity : 0; }
    bool isEmpty() const { return size() == 0; }

    T& operator[](Uint32 index) {
        checkIndex(index);
        return rep_->elements()[index];
    }
    const T& operator[](Uint32 index) const {
        checkIndex(index);
        return rep_->elements()[index];
    }

    void append(const T& value) {
        T copy(value);  // value may live inside this array
        makeRoom(size() + 1);
        new (rep_->elements() + rep_->count) T(std::move(copy));
        ++rep_->count;
    }

    void clear() {
        if (rep_ == nullptr) {
            rep_ = ArrayRep<T>::create(0);
            return;
        }
        for (Uint32 i = 0; i < rep_->count; ++i)
            rep_->elements()[i].~T();
        rep_->count = 0;
    }

    bool contains(const T& value) const {
        for (Uint32 i = 0; i < size(); ++i)
            if (rep_->elements()[i] == value)
                return true;
        return false;
    }

    // Grows the block to hold n elements; nothing when n fits already.
    void reserve(Uint32 n) {
        if (rep_ != nullptr && n <= rep_->capacity)
            return;
        makeRoom(n);
    }

    T* begin() { return rep_ ? rep_->elements() : nullptr; }
    T* end() { return rep_ ? rep_->elements() + rep_->count : nullptr; }
    const T* begin() const { return rep_ ? rep_->elements() : nullptr; }
    const T* end() const { return rep_ ? rep_->elements() + rep_->count : nullptr; }

    const ArrayRep<T>* rep() const { return rep_; }

private:
    void checkIndex(Uint32 index) const {
        if (!(index < size())) {
            AssertionFailure::logAssert(
                "projects\\common\\src\\libAmbrel\\QLNArray\\QLN\\QLNArrayCommon", 268,
                "index < size()");
            RaiseExceptionImp(7, 0, 0, nullptr);
        }
    }

    void makeRoom(Uint32 n) {
        if (rep_ != nullptr && n <= rep_->capacity)
            return;
        ArrayRep<T>* grown = ArrayRep<T>::create(n);
        Uint32 count = size();
        for (Uint32 i = 0; i < count; ++i) {
            new (grown->elements() + i) T(std::move(rep_->elements()[i]));
        }
        grown->count = count;
        ArrayRep<T>::destroy(rep_);
        rep_ = grown;
    }

    ArrayRep<T>* rep_;
};

}  // namespace qln
