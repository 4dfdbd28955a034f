// A chained hash table whose buckets are polymorphic heap objects.
#pragma once

#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

class AMBREL_API _BucketBase {
public:
    _BucketBase() : next(nullptr), hash(0), field(0) {}
    virtual ~_BucketBase();
    // True when `key` (a pointer to the key type) equals this bucket's key.
    virtual bool keyEquals(const void* key) const = 0;
    virtual _BucketBase* clone() const = 0;

    _BucketBase* next;
    Uint32 hash;
    Uint32 field;
};

class AMBREL_API _HashTableRep {
public:
    explicit _HashTableRep(Uint32 bucketCount);
    _HashTableRep(const _HashTableRep& other);
    _HashTableRep& operator=(const _HashTableRep& other);
    ~_HashTableRep();

    // The table keeps the bucket. A bucket with an equal key is replaced (and
    // freed); the answer is then false.
    bool insert(Uint32 hash, _BucketBase* bucket, const void* key);
    // The bucket whose key equals `key`, or null.
    _BucketBase* lookup(Uint32 hash, const void* key) const;
    // Removes and frees the bucket of `key`; true when there was one.
    bool remove(Uint32 hash, const void* key);
    Uint32 size() const { return count_; }
    Uint32 bucketCount() const { return bucketCount_; }

private:
    void grow();
    void freeAll();

    _BucketBase** buckets_;
    Uint32 bucketCount_;
    Uint32 count_;
};

template <class K>
struct HashFunc;

template <>
struct AMBREL_API HashFunc<String> {
    static Uint32 hash(const String& key);
};

template <>
struct HashFunc<unsigned int> {
    static Uint32 hash(unsigned int key) { return key * 2654435761u; }
};

template <class K>
struct EqualFunc {
    static bool equal(const K& a, const K& b) { return a == b; }
};

template <class K, class V, class EF = EqualFunc<K>>
class _Bucket : public _BucketBase {
public:
    _Bucket(const K& k, const V& v) : key(k), value(v) {}
    bool keyEquals(const void* other) const override {
        return EF::equal(*static_cast<const K*>(other), key);
    }
    _BucketBase* clone() const override {
        _Bucket* copy = new _Bucket(key, value);
        copy->hash = hash;
        return copy;
    }

    K key;
    V value;
};

template <class K, class V, class EF = EqualFunc<K>, class HF = HashFunc<K>>
class HashTable {
public:
    typedef _Bucket<K, V, EF> Bucket;

    explicit HashTable(Uint32 bucketCount = 32) : rep_(bucketCount) {}
    virtual ~HashTable() {}

    bool insert(const K& key, const V& value) {
        return rep_.insert(HF::hash(key), new Bucket(key, value), &key);
    }
    V* lookup(const K& key) {
        Bucket* b = static_cast<Bucket*>(rep_.lookup(HF::hash(key), &key));
        return b ? &b->value : nullptr;
    }
    const V* lookup(const K& key) const {
        const Bucket* b = static_cast<const Bucket*>(rep_.lookup(HF::hash(key), &key));
        return b ? &b->value : nullptr;
    }
    bool contains(const K& key) const { return lookup(key) != nullptr; }
    bool remove(const K& key) { return rep_.remove(HF::hash(key), &key); }
    Uint32 size() const { return rep_.size(); }
    _HashTableRep& rep() { return rep_; }

private:
    _HashTableRep rep_;
};

}  // namespace qln
