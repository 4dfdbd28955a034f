// Storage policies of the resource holders: what a held value is, which value
// means "nothing", how it is released and how it is copied.
#pragma once

#include <cstdint>

#include "qln/Config.h"

namespace qln {

// How PointerStorage copies an object. Types that copy polymorphically
// specialise this (an accessor answers its own clone()).
template <class T>
struct ClonePolicy {
    static T* clone(const T& source) { return new T(source); }
};

// An owned heap object. The two trailing arguments are 0 and 3 in every use.
template <class T, int A = 0, int B = 3>
struct PointerStorage {
    typedef T* ValueType;
    typedef T ObjectType;
    struct OpenArgs {};  // pointer storages are not opened

    static ValueType invalid() { return nullptr; }
    static void release(ValueType& value) {
        delete value;
        value = nullptr;
    }
    // Copy of *source into `target`; a null source gives null. True on success.
    static bool clone(const ValueType& source, ValueType& target) {
        target = source ? ClonePolicy<T>::clone(*source) : nullptr;
        return source == nullptr || target != nullptr;
    }
};

// An operating-system descriptor of type T. Invalid is the value meaning
// "no descriptor" (-1, all bits set, for handles); M::open opens one from
// M::OpenArgs and M::destroy closes it.
template <class T, std::intptr_t Invalid, class M>
struct DescriptorStorage {
    typedef T ValueType;
    typedef typename M::OpenArgs OpenArgs;

    static ValueType invalid() { return (ValueType)(Invalid); }
    static ValueType open(const OpenArgs& args) { return M::open(args); }
    static void release(ValueType& value) { M::destroy(value); }
};

}  // namespace qln
