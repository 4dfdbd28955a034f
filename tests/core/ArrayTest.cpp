#include <gtest/gtest.h>

#include <string>

#include "LogCapture.h"
#include "qln/Array.h"
#include "qln/String.h"

using qln::Array;
using qln::ArrayRep;
using qln::Uint32;
using qln::test::LogCaptureTest;

namespace {

template <int N>
struct Bytes {
    unsigned char b[N];
};

const wchar_t kRepPath[] = L"projects\\common\\src\\libAmbrel\\QLNArray\\QLN\\QLNArrayRep";
const wchar_t kRepExpr[] = L"initialCapacity <= (Uint32(0xffffffffU)-sizeof(ArrayRep<T>))/sizeof(T)";

struct Growth {
    Uint32 request;
    Uint32 capacity;
};

class ArrayGrowth : public ::testing::TestWithParam<Growth> {};

TEST_P(ArrayGrowth, CapacityDoublesFromEight) {
    EXPECT_EQ(ArrayRep<char>::capacityFor(GetParam().request), GetParam().capacity);
}

INSTANTIATE_TEST_SUITE_P(Requests, ArrayGrowth,
                         ::testing::Values(Growth{0, 8}, Growth{1, 8}, Growth{8, 8}, Growth{9, 16},
                                           Growth{16, 16}, Growth{17, 32}, Growth{1000, 1024},
                                           Growth{0x80000000u, 0x80000000u},
                                           Growth{0x80000001u, 0x80000001u},
                                           Growth{0xFFFFFFFFu, 0xFFFFFFFFu}));

TEST(ArrayRepCreate, SmallBlocksHoldTheirRoundedCapacity) {
    const Growth cases[] = {{0, 8}, {8, 8}, {9, 16}, {1000, 1024}};
    for (const Growth& c : cases) {
        ArrayRep<int>* rep = ArrayRep<int>::create(c.request);
        EXPECT_EQ(rep->count, c.request);
        EXPECT_EQ(rep->capacity, c.capacity);
        rep->count = 0;  // the places were never initialised
        ArrayRep<int>::destroy(rep);
        EXPECT_EQ(rep, nullptr);
    }
    ArrayRep<int>* none = nullptr;
    ArrayRep<int>::destroy(none);
    EXPECT_EQ(none, nullptr);
}

TEST(ArrayRepLimit, LargestCapacityPerElementSize) {
    EXPECT_EQ(ArrayRep<Bytes<4>>::largestCapacity(), 1073741821u);
    EXPECT_EQ(ArrayRep<Bytes<8>>::largestCapacity(), 536870910u);
    EXPECT_EQ(ArrayRep<Bytes<11>>::largestCapacity(), 390451571u);
    EXPECT_EQ(ArrayRep<Bytes<16>>::largestCapacity(), 268435455u);
    EXPECT_EQ(ArrayRep<Bytes<18>>::largestCapacity(), 238609293u);
    EXPECT_EQ(ArrayRep<Bytes<28>>::largestCapacity(), 153391688u);
}

class ArrayRepLimitLog : public LogCaptureTest {
protected:
    // Runs `create` and expects the assertion, logged and raised.
    template <class T>
    void expectOverLimit(Uint32 request) {
        log.clear();
        try {
            ArrayRep<T>::create(request);
            ADD_FAILURE() << "no failure for " << request;
        } catch (const qln::Exception& e) {
            EXPECT_EQ(e.getCode(), 7);
        }
        ASSERT_EQ(log.entries().size(), 1u) << log.dump();
        const qln::test::LogEntry& entry = log.entries()[0];
        EXPECT_EQ(entry.channel, L"qln.Assert");
        EXPECT_EQ(entry.level, 4);
        EXPECT_NE(entry.text.find(kRepExpr), std::wstring::npos) << log.dump();
        EXPECT_NE(entry.text.find(std::wstring(kRepPath) + L":107"), std::wstring::npos) << log.dump();
    }
};

TEST_F(ArrayRepLimitLog, LimitIsTestedOnTheRoundedCapacity) {
    // 4-byte elements: 2^29 is accepted as it is, 2^29 + 1 rounds to 2^30 > 1073741821.
    EXPECT_EQ(ArrayRep<Bytes<4>>::capacityFor(536870912u), 536870912u);
    EXPECT_NO_THROW(ArrayRep<Bytes<4>>::checkCapacity(536870912u));
    expectOverLimit<Bytes<4>>(536870913u);
    // 32-byte elements: 67108865 is below the limit but rounds to 134217728.
    EXPECT_LT(67108865u, ArrayRep<Bytes<32>>::largestCapacity());
    expectOverLimit<Bytes<32>>(67108865u);
    // Above 2^31 the capacity is the request itself.
    expectOverLimit<Bytes<2>>(0x80000001u);
    expectOverLimit<Bytes<1>>(0xFFFFFFFFu);
    EXPECT_NO_THROW(ArrayRep<Bytes<1>>::checkCapacity(0xFFFFFFF7u));
}

TEST_F(ArrayRepLimitLog, IndexAtOrBeyondTheCountIsAnAssertion) {
    Array<int> numbers;
    numbers.append(5);
    EXPECT_EQ(numbers[0], 5);
    const Uint32 bad[] = {1, 8, 0xFFFFFFFFu};
    for (Uint32 index : bad) {
        log.clear();
        try {
            (void)numbers[index];
            ADD_FAILURE() << "no failure for index " << index;
        } catch (const qln::Exception& e) {
            EXPECT_EQ(e.getCode(), 7);
        }
        ASSERT_EQ(log.entries().size(), 1u);
        EXPECT_NE(log.entries()[0].text.find(L"index < size() (projects\\common\\src\\libAmbrel\\"
                                             L"QLNArray\\QLN\\QLNArrayCommon:268)"),
                  std::wstring::npos)
            << log.dump();
    }
}

TEST(ArrayOfStrings, GrowsCopiesAndClears) {
    Array<qln::String> a;
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(a.capacity(), 8u);
    for (int i = 0; i < 9; ++i)
        a.append(qln::String(std::to_wstring(i).c_str()));
    EXPECT_EQ(a.size(), 9u);
    EXPECT_EQ(a.capacity(), 16u);
    a.append(a[0]);  // an element of the array itself
    EXPECT_EQ(a[9], qln::String("0"));

    Array<qln::String> copy(a);
    EXPECT_EQ(copy.capacity(), a.capacity());
    EXPECT_NE(copy.rep(), a.rep());
    EXPECT_TRUE(copy.contains(qln::String("8")));
    EXPECT_FALSE(copy.contains(qln::String("10")));

    const ArrayRep<qln::String>* before = copy.rep();
    copy = copy;  // assignment to itself keeps the block
    EXPECT_EQ(copy.rep(), before);

    Array<qln::String> other;
    other.append(qln::String("x"));
    other = a;
    EXPECT_EQ(other.size(), 10u);
    EXPECT_EQ(other[3], qln::String("3"));

    a.clear();
    EXPECT_EQ(a.size(), 0u);
    EXPECT_EQ(copy.size(), 10u);
}

TEST(ArrayReserve, GrowsOnlyBeyondTheCapacity) {
    Array<unsigned int> a;
    a.append(1);
    a.append(2);
    const ArrayRep<unsigned int>* block = a.rep();
    a.reserve(8);
    EXPECT_EQ(a.rep(), block);
    a.reserve(9);
    EXPECT_EQ(a.capacity(), 16u);
    EXPECT_EQ(a.size(), 2u);
    EXPECT_EQ(a[1], 2u);
}

}  // namespace
