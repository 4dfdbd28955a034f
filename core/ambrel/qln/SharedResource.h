// Reference-counted holders of a resource. One manager per resource keeps the
// use count and the value; holders are {value, manager}.
#pragma once

#include <atomic>
#include <type_traits>

#include "qln/Config.h"
#include "qln/Storage.h"

namespace qln {

class SharedResourceManagerCommonBase {
public:
    virtual ~SharedResourceManagerCommonBase() {}
    // Forgets the value without releasing it.
    virtual void disown() = 0;

protected:
    SharedResourceManagerCommonBase() {}
    SharedResourceManagerCommonBase(const SharedResourceManagerCommonBase&) = delete;
    SharedResourceManagerCommonBase& operator=(const SharedResourceManagerCommonBase&) = delete;
};

// Use count changed by plain increments and decrements.
class SharedResourceManagerUnlockedBase : public SharedResourceManagerCommonBase {
public:
    Int32 useCount() const { return uses_; }
    void addUse() { ++uses_; }
    // True when the use taken away was the last one.
    bool dropUse() { return --uses_ == 0; }

protected:
    SharedResourceManagerUnlockedBase() : uses_(1) {}

private:
    Int32 uses_;
};

// Use count changed only by atomic read-modify-write operations.
class SharedResourceManagerLockedBase : public SharedResourceManagerCommonBase {
public:
    Int32 useCount() const { return uses_.load(); }
    void addUse() { uses_.fetch_add(1); }
    bool dropUse() { return uses_.fetch_sub(1) == 1; }

protected:
    SharedResourceManagerLockedBase() : uses_(1) {}

private:
    std::atomic<Int32> uses_;
};

template <class Storage, int Locked>
class SharedResourceManager
    : public std::conditional<Locked != 0, SharedResourceManagerLockedBase,
                              SharedResourceManagerUnlockedBase>::type {
public:
    typedef typename Storage::ValueType ValueType;

    explicit SharedResourceManager(const ValueType& value) : value_(value) {}
    ~SharedResourceManager() override {
        if (value_ != Storage::invalid())
            Storage::release(value_);
        value_ = Storage::invalid();
    }
    void disown() override { value_ = Storage::invalid(); }
    const ValueType& value() const { return value_; }

private:
    ValueType value_;
};

template <class Storage, int Locked = 0>
class SharedResource {
public:
    typedef typename Storage::ValueType ValueType;
    typedef SharedResourceManager<Storage, Locked> Manager;

    SharedResource() : value_(Storage::invalid()), manager_(nullptr) {}

    // A manager is made for any value, the invalid one too.
    explicit SharedResource(const ValueType& value) : value_(value), manager_(new Manager(value)) {}

    // Opens the resource; on failure the holder stays empty.
    explicit SharedResource(const typename Storage::OpenArgs& args)
        : value_(Storage::invalid()), manager_(nullptr) {
        ValueType opened = Storage::open(args);
        if (opened != Storage::invalid()) {
            manager_ = new Manager(opened);
            value_ = opened;
        }
    }

    SharedResource(const SharedResource& other) : value_(Storage::invalid()), manager_(nullptr) {
        if (other.manager_ != nullptr) {
            manager_ = other.manager_;
            value_ = other.value_;
            manager_->addUse();
        }
    }

    SharedResource& operator=(const SharedResource& other) {
        if (&other == this || other.manager_ == manager_)
            return *this;
        release();
        if (other.manager_ != nullptr) {
            manager_ = other.manager_;
            manager_->addUse();
            value_ = other.value_;
        }
        return *this;
    }

    ~SharedResource() { release(); }

    // Takes this holder's use away; the last use releases the resource.
    void release() {
        if (manager_ != nullptr) {
            if (manager_->dropUse())
                delete manager_;
        }
        manager_ = nullptr;
        value_ = Storage::invalid();
    }

    const ValueType& get() const { return value_; }
    ValueType operator->() const { return value_; }
    bool isValid() const { return value_ != Storage::invalid(); }
    const Manager* getManager() const { return manager_; }
    Int32 useCount() const { return manager_ ? manager_->useCount() : 0; }

private:
    ValueType value_;
    Manager* manager_;
};

// Sole owner of one heap object.
template <class Storage>
class TransferResource {
public:
    typedef typename Storage::ValueType ValueType;

    TransferResource() : value_(Storage::invalid()) {}
    explicit TransferResource(ValueType value) : value_(value) {}
    TransferResource(TransferResource&& other) noexcept : value_(other.value_) {
        other.value_ = Storage::invalid();
    }
    TransferResource& operator=(TransferResource&& other) noexcept {
        if (&other != this) {
            reset();
            value_ = other.value_;
            other.value_ = Storage::invalid();
        }
        return *this;
    }
    // A copy of the other's object, made through the storage's clone.
    TransferResource(const TransferResource& other) : value_(Storage::invalid()) {
        ValueType copy = Storage::invalid();
        if (Storage::clone(other.value_, copy))
            value_ = copy;
    }
    // The copy is made first; the previous object is destroyed only then.
    TransferResource& operator=(const TransferResource& other) {
        if (&other == this)
            return *this;
        ValueType copy = Storage::invalid();
        bool cloned = Storage::clone(other.value_, copy);
        ValueType previous = value_;
        value_ = cloned ? copy : Storage::invalid();
        if (previous != Storage::invalid())
            Storage::release(previous);
        return *this;
    }
    ~TransferResource() { reset(); }

    void reset() {
        if (value_ != Storage::invalid())
            Storage::release(value_);
        value_ = Storage::invalid();
    }
    // Gives the object up without destroying it.
    ValueType take() {
        ValueType value = value_;
        value_ = Storage::invalid();
        return value;
    }

    ValueType get() const { return value_; }
    ValueType operator->() const { return value_; }
    bool isValid() const { return value_ != Storage::invalid(); }

private:
    ValueType value_;
};

}  // namespace qln
