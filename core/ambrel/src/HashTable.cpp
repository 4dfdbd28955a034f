#include "qln/HashTable.h"

namespace qln {

_BucketBase::~_BucketBase() {}

_HashTableRep::_HashTableRep(Uint32 bucketCount)
    : buckets_(nullptr), bucketCount_(bucketCount ? bucketCount : 1), count_(0) {
    buckets_ = new _BucketBase*[bucketCount_]();
}

_HashTableRep::_HashTableRep(const _HashTableRep& other)
    : buckets_(new _BucketBase*[other.bucketCount_]()), bucketCount_(other.bucketCount_), count_(0) {
    for (Uint32 i = 0; i < other.bucketCount_; ++i) {
        for (_BucketBase* b = other.buckets_[i]; b; b = b->next) {
            _BucketBase* copy = b->clone();
            copy->hash = b->hash;
            copy->next = buckets_[i];
            buckets_[i] = copy;
            ++count_;
        }
    }
}

_HashTableRep& _HashTableRep::operator=(const _HashTableRep& other) {
    if (this != &other) {
        _HashTableRep copy(other);
        freeAll();
        delete[] buckets_;
        buckets_ = copy.buckets_;
        bucketCount_ = copy.bucketCount_;
        count_ = copy.count_;
        copy.buckets_ = new _BucketBase*[1]();
        copy.bucketCount_ = 1;
        copy.count_ = 0;
    }
    return *this;
}

_HashTableRep::~_HashTableRep() {
    freeAll();
    delete[] buckets_;
}

void _HashTableRep::freeAll() {
    for (Uint32 i = 0; i < bucketCount_; ++i) {
        _BucketBase* b = buckets_[i];
        while (b) {
            _BucketBase* next = b->next;
            delete b;
            b = next;
        }
        buckets_[i] = nullptr;
    }
    count_ = 0;
}

bool _HashTableRep::insert(Uint32 hash, _BucketBase* bucket, const void* key) {
    bucket->hash = hash;
    _BucketBase** link = &buckets_[hash % bucketCount_];
    for (; *link; link = &(*link)->next) {
        if ((*link)->hash == hash && (*link)->keyEquals(key)) {
            _BucketBase* old = *link;
            bucket->next = old->next;
            *link = bucket;
            delete old;
            return false;
        }
    }
    bucket->next = nullptr;
    *link = bucket;
    ++count_;
    if (count_ > bucketCount_ * 2)
        grow();
    return true;
}

_BucketBase* _HashTableRep::lookup(Uint32 hash, const void* key) const {
    for (_BucketBase* b = buckets_[hash % bucketCount_]; b; b = b->next)
        if (b->hash == hash && b->keyEquals(key))
            return b;
    return nullptr;
}

bool _HashTableRep::remove(Uint32 hash, const void* key) {
    for (_BucketBase** link = &buckets_[hash % bucketCount_]; *link; link = &(*link)->next) {
        if ((*link)->hash == hash && (*link)->keyEquals(key)) {
            _BucketBase* old = *link;
            *link = old->next;
            delete old;
            --count_;
            return true;
        }
    }
    return false;
}

void _HashTableRep::grow() {
    Uint32 count = bucketCount_ * 2;
    _BucketBase** grown = new _BucketBase*[count]();
    for (Uint32 i = 0; i < bucketCount_; ++i) {
        _BucketBase* b = buckets_[i];
        while (b) {
            _BucketBase* next = b->next;
            b->next = grown[b->hash % count];
            grown[b->hash % count] = b;
            b = next;
        }
    }
    delete[] buckets_;
    buckets_ = grown;
    bucketCount_ = count;
}

Uint32 HashFunc<String>::hash(const String& key) {
    Uint32 h = 2166136261u;
    for (Uint32 i = 0; i < key.size(); ++i) {
        h ^= static_cast<Uint16>(key[i]);
        h *= 16777619u;
    }
    return h;
}

}  // namespace qln
