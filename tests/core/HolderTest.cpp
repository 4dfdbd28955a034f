#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "qln/Buffer.h"
#include "qln/SharedResource.h"

using qln::Buffer;
using qln::SharedResource;
using qln::TransferResource;

namespace {

// A descriptor storage that counts releases per value instead of closing anything.
struct CountingStorage {
    typedef int ValueType;
    struct OpenArgs {
        int result;
    };
    static int releases;
    static int lastReleased;
    static ValueType invalid() { return -1; }
    static ValueType open(const OpenArgs& args) { return args.result; }
    static void release(ValueType& value) {
        ++releases;
        lastReleased = value;
    }
};
int CountingStorage::releases = 0;
int CountingStorage::lastReleased = 0;

template <int Locked>
class SharedHolder : public ::testing::Test {
protected:
    typedef SharedResource<CountingStorage, Locked> Holder;
    void SetUp() override { CountingStorage::releases = 0; }
};

typedef ::testing::Types<std::integral_constant<int, 0>, std::integral_constant<int, 1>> Flavours;
template <class T>
class SharedHolderFlavour : public SharedHolder<T::value> {};
TYPED_TEST_SUITE(SharedHolderFlavour, Flavours);

TYPED_TEST(SharedHolderFlavour, LastReleaseFreesExactlyOnce) {
    typedef typename SharedHolder<TypeParam::value>::Holder Holder;
    Holder a(7);
    EXPECT_EQ(a.useCount(), 1);
    {
        Holder b(a);
        EXPECT_EQ(a.useCount(), 2);
        EXPECT_EQ(b.get(), 7);
        EXPECT_EQ(b.getManager(), a.getManager());
        b.release();
        EXPECT_EQ(b.get(), -1);
        EXPECT_EQ(b.getManager(), nullptr);
        b.release();  // an empty holder does nothing
        EXPECT_EQ(a.useCount(), 1);
        EXPECT_EQ(CountingStorage::releases, 0);
    }
    a.release();
    EXPECT_EQ(CountingStorage::releases, 1);
    EXPECT_EQ(CountingStorage::lastReleased, 7);
    a.release();
    EXPECT_EQ(CountingStorage::releases, 1);
}

TYPED_TEST(SharedHolderFlavour, AssignmentSharesAndReleases) {
    typedef typename SharedHolder<TypeParam::value>::Holder Holder;
    Holder a(1);
    Holder b(2);
    Holder sameManager(a);
    a = a;  // itself
    a = sameManager;  // same manager
    EXPECT_EQ(a.useCount(), 2);

    b = a;  // b gives up 2, shares 1
    EXPECT_EQ(CountingStorage::releases, 1);
    EXPECT_EQ(CountingStorage::lastReleased, 2);
    EXPECT_EQ(a.useCount(), 3);
    EXPECT_EQ(b.get(), 1);

    Holder empty;
    b = empty;  // assigning an empty holder empties the full one
    EXPECT_EQ(b.get(), -1);
    EXPECT_EQ(b.getManager(), nullptr);
    EXPECT_EQ(a.useCount(), 2);
    Holder alsoEmpty;
    alsoEmpty = empty;
    EXPECT_EQ(alsoEmpty.getManager(), nullptr);
    EXPECT_EQ(CountingStorage::releases, 1);
}

TYPED_TEST(SharedHolderFlavour, InvalidValueGetsAManagerButIsNeverReleased) {
    typedef typename SharedHolder<TypeParam::value>::Holder Holder;
    {
        Holder h(-1);
        EXPECT_NE(h.getManager(), nullptr);
        EXPECT_EQ(h.useCount(), 1);
    }
    EXPECT_EQ(CountingStorage::releases, 0);
}

TYPED_TEST(SharedHolderFlavour, OpeningFailsIntoAnEmptyHolder) {
    typedef typename SharedHolder<TypeParam::value>::Holder Holder;
    Holder failed(CountingStorage::OpenArgs{-1});
    EXPECT_EQ(failed.get(), -1);
    EXPECT_EQ(failed.getManager(), nullptr);
    Holder copy(failed);
    EXPECT_EQ(copy.getManager(), nullptr);

    Holder opened(CountingStorage::OpenArgs{42});
    EXPECT_EQ(opened.get(), 42);
    EXPECT_EQ(opened.useCount(), 1);
}

TEST(SharedHolderLocked, CountsAtomicallyAcrossThreads) {
    typedef SharedResource<CountingStorage, 1> Holder;
    CountingStorage::releases = 0;
    {
        Holder shared(9);
        std::vector<Holder> own(4, shared);  // one holder per thread
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&own, t] {
                for (int i = 0; i < 20000; ++i) {
                    Holder copy(own[t]);
                    Holder another;
                    another = copy;
                }
            });
        }
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(shared.useCount(), 5);
        EXPECT_EQ(CountingStorage::releases, 0);
    }
    EXPECT_EQ(CountingStorage::releases, 1);
}

// An object that records its copies and destructions.
struct Tracked {
    static std::vector<int>* journal;
    explicit Tracked(int i) : id(i) {}
    Tracked(const Tracked& other) : id(other.id + 100) { journal->push_back(id); }
    virtual ~Tracked() { journal->push_back(-id); }
    int id;
};
std::vector<int>* Tracked::journal = nullptr;

class TransferHolder : public ::testing::Test {
protected:
    typedef TransferResource<qln::PointerStorage<Tracked, 0, 3>> Holder;
    void SetUp() override { Tracked::journal = &journal; }
    std::vector<int> journal;
};

TEST_F(TransferHolder, MoveTakesTheObject) {
    Holder a(new Tracked(1));
    Holder b(std::move(a));
    EXPECT_EQ(a.get(), nullptr);
    ASSERT_NE(b.get(), nullptr);
    EXPECT_EQ(b->id, 1);
    Holder c(new Tracked(2));
    c = std::move(b);  // c first destroys its own object
    EXPECT_EQ(journal, std::vector<int>({-2}));
    EXPECT_EQ(b.get(), nullptr);
    EXPECT_EQ(c->id, 1);
    c = std::move(c);
    EXPECT_EQ(c->id, 1);
}

TEST_F(TransferHolder, ConstAssignmentClonesBeforeDestroying) {
    Holder a(new Tracked(1));
    const Holder source(new Tracked(2));
    a = source;
    // The copy (102) is made first, then the old object (1) is destroyed.
    EXPECT_EQ(journal, std::vector<int>({102, -1}));
    EXPECT_EQ(a->id, 102);
    EXPECT_EQ(source->id, 2);

    journal.clear();
    const Holder& self = a;
    a = self;  // one holder: nothing
    EXPECT_TRUE(journal.empty());

    const Holder none;
    a = none;
    EXPECT_EQ(a.get(), nullptr);
    EXPECT_EQ(journal, std::vector<int>({-102}));

    Holder copy(source);
    EXPECT_EQ(copy->id, 102);
    Holder nullCopy(none);
    EXPECT_EQ(nullCopy.get(), nullptr);
}

TEST_F(TransferHolder, ResetDestroysOnce) {
    Holder a(new Tracked(3));
    a.reset();
    a.reset();
    EXPECT_EQ(journal, std::vector<int>({-3}));
    Holder empty;
    empty.reset();
    EXPECT_EQ(journal.size(), 1u);
}

struct Shape {
    virtual ~Shape() {}
    virtual Shape* clone() const = 0;
    virtual int corners() const = 0;
};
struct Square : Shape {
    Shape* clone() const override { return new Square(*this); }
    int corners() const override { return 4; }
};

}  // namespace

namespace qln {
template <>
struct ClonePolicy<Shape> {
    static Shape* clone(const Shape& s) { return s.clone(); }
};
}  // namespace qln

namespace {

TEST(TransferHolderPolymorphic, CloneGoesThroughTheObject) {
    typedef TransferResource<qln::PointerStorage<Shape, 0, 3>> Holder;
    const Holder square(new Square);
    Holder copy(square);
    ASSERT_NE(copy.get(), nullptr);
    EXPECT_NE(copy.get(), square.get());
    EXPECT_EQ(copy->corners(), 4);
}

struct Resize {
    std::size_t to;
    bool keepsBlock;
};

TEST(BufferResize, KeepsTheBlockAboveHalfItsCapacity) {
    const Resize cases[] = {{257, true}, {512, true}, {256, false}, {513, false}, {1, false}};
    for (const Resize& c : cases) {
        Buffer<unsigned char> b(512);
        b[0] = 0xAB;
        const unsigned char* block = b.getData();
        b.resize(c.to, true);
        EXPECT_EQ(b.getLength(), c.to);
        EXPECT_EQ(b.getData() == block, c.keepsBlock) << c.to;
        EXPECT_EQ(b.getCapacity(), c.keepsBlock ? 512u : c.to) << c.to;
        EXPECT_EQ(b[0], 0xAB);
    }
}

TEST(BufferResize, ZeroesTheNewTailWhenAsked) {
    Buffer<unsigned short> b(4);
    for (int i = 0; i < 4; ++i)
        b[i] = 0xFFFF;
    b.resize(2, false);
    b.resize(4, true);  // kept block: the tail is zeroed
    EXPECT_EQ(b[1], 0xFFFF);
    EXPECT_EQ(b[2], 0);
    b.resize(10, true);  // new block
    EXPECT_EQ(b[1], 0xFFFF);
    EXPECT_EQ(b[9], 0);
}

TEST(BufferAssign, FollowsTheBlockRule) {
    Buffer<unsigned char> b(512);
    const unsigned char* block = b.getData();
    std::vector<unsigned char> source(300, 7);
    b.assign(source.data(), 300);
    EXPECT_EQ(b.getData(), block);
    EXPECT_EQ(b.getLength(), 300u);
    b.assign(source.data(), 100);
    EXPECT_NE(b.getData(), block);
    EXPECT_EQ(b.getCapacity(), 100u);
    EXPECT_EQ(b[99], 7);
}

TEST(BufferAssign, FromItsOwnBlockIntoANewBlock) {
    // The part kept is read before the old block goes: a small block the
    // heap reuses at once, and a large one that is handed back to the system.
    struct Case {
        std::size_t size;
        std::size_t from;
        std::size_t n;
    } cases[] = {{512, 0, 100}, {512, 300, 200}, {4u << 20, 1000, 4096}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        Buffer<unsigned char> b(c.size);
        for (std::size_t i = 0; i < c.size; ++i)
            b[i] = static_cast<unsigned char>(i * 7 + 3);
        const unsigned char* block = b.getData();
        b.assign(b.getData() + c.from, c.n);
        ASSERT_NE(b.getData(), block);
        ASSERT_EQ(b.getLength(), c.n);
        EXPECT_EQ(b.getCapacity(), c.n);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < c.n; ++i)
            wrong += b[i] != static_cast<unsigned char>((c.from + i) * 7 + 3);
        EXPECT_EQ(0u, wrong);
    }
}

TEST(BufferAssign, FromItsOwnBlockKeptInPlace) {
    Buffer<unsigned short> b(10);
    for (int i = 0; i < 10; ++i)
        b[i] = static_cast<unsigned short>(i);
    const unsigned short* block = b.getData();
    b.assign(b.getData() + 4, 6);  // overlapping, the block stays
    EXPECT_EQ(b.getData(), block);
    ASSERT_EQ(b.getLength(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(b[i], i + 4);
}

TEST(BufferOwnership, NotOwnedMemoryIsNeverFreed) {
    unsigned char stack[16] = {1, 2, 3};
    {
        Buffer<unsigned char> wrap(stack, sizeof stack);
        EXPECT_EQ(wrap.getCapacity(), 0u);
        EXPECT_FALSE(wrap.ownsData());
        Buffer<unsigned char> copy(wrap);  // a copy owns exactly the length
        EXPECT_EQ(copy.getCapacity(), 16u);
        EXPECT_NE(copy.getData(), stack);
        wrap.resize(4, false);  // a wrapping buffer always allocates
        EXPECT_NE(wrap.getData(), stack);
        EXPECT_EQ(wrap[2], 3);
    }
    EXPECT_EQ(stack[2], 3);
}

TEST(BufferOwnership, CopyAndMove) {
    Buffer<unsigned short> b(600);
    b.resize(301, false);
    Buffer<unsigned short> copy(b);
    EXPECT_EQ(copy.getCapacity(), 301u);
    EXPECT_EQ(copy.getLength(), 301u);
    Buffer<unsigned short> moved(std::move(b));
    EXPECT_EQ(b.getData(), nullptr);
    EXPECT_EQ(b.getLength(), 0u);
    EXPECT_EQ(b.getCapacity(), 0u);
    EXPECT_EQ(moved.getCapacity(), 600u);
    Buffer<unsigned short> empty;
    Buffer<unsigned short> emptyCopy(empty);
    EXPECT_EQ(emptyCopy.getData(), nullptr);

    typedef TransferResource<qln::PointerStorage<Buffer<unsigned short>, 0, 3>> Holder;
    const Holder list(new Buffer<unsigned short>(copy));
    Holder clone(list);
    EXPECT_EQ(clone->getCapacity(), 301u);
    const Holder emptyList(new Buffer<unsigned short>());
    Holder emptyClone(emptyList);
    ASSERT_NE(emptyClone.get(), nullptr);
    EXPECT_EQ(emptyClone->getLength(), 0u);
}

}  // namespace
