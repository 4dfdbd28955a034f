// Descriptor counts of the multimedia answers: well-formed answers give the
// drive's count, and hostile length fields (larger than the answer, larger
// than the buffer, not a whole number of descriptors, zero) give only the
// whole descriptors that lie inside the bytes that arrived.
#include <cstddef>
#include <vector>

#include <gtest/gtest.h>

#include "ScsiMMCParsers.h"
#include "ScsiMMCTypes.h"

namespace {

using Bytes = std::vector<unsigned char>;
using namespace scsi::mmc_parse;

Bytes tocAnswer(unsigned dataLength, std::size_t received) {
    Bytes b(received, 0xEE);
    if (received >= 2) {
        b[0] = static_cast<unsigned char>(dataLength >> 8);
        b[1] = static_cast<unsigned char>(dataLength);
    }
    return b;
}

struct TocCase {
    const char* what;
    unsigned dataLength;
    std::size_t received;
    std::size_t size;
    std::size_t count;
};

const TocCase kTocCases[] = {
    {"format 0h, length 18, 20 bytes arrived", 18, 20, sizeof(scsi::mmc_toc_fmt0h_trk_descriptor_t), 2},
    {"format 0h, length 9: one byte short of a descriptor", 9, 11, 8, 0},
    {"format 0h, length 10", 10, 12, 8, 1},
    {"format 2h, length 24: two 11-byte descriptors", 24, 26, sizeof(scsi::mmc_toc_fmt2h_trk_descriptor_t), 2},
    {"format 3h, length 13", 13, 15, sizeof(scsi::mmc_toc_fmt3h_trk_descriptor_t), 1},
    {"format 4h, length 30: one ATIP descriptor", 30, 32, sizeof(scsi::mmc_toc_fmt4h_trk_descriptor_t), 1},
    {"format 5h, length 38: two packs", 38, 40, sizeof(scsi::mmc_toc_fmt5h_trk_descriptor_t), 2},
    {"length zero", 0, 4, 8, 0},
    {"length 1", 1, 4, 8, 0},
    {"length 2, header only", 2, 4, 8, 0},
    {"length beyond the answer", 0xFFFF, 20, 8, 2},
    {"length beyond the answer, partial tail", 0xFFFF, 23, 8, 2},
    {"length not a whole number of descriptors", 21, 23, 8, 2},
    {"answer shorter than a header", 18, 3, 8, 0},
};

TEST(MmcParsers, TocDescriptorCount) {
    for (const TocCase& c : kTocCases) {
        SCOPED_TRACE(c.what);
        const Bytes b = tocAnswer(c.dataLength, c.received);
        EXPECT_EQ(tocDescriptorCount(b.data(), b.size(), c.size), c.count);
    }
    EXPECT_EQ(tocDescriptorCount(nullptr, 20, 8), 0u);
    const Bytes b = tocAnswer(18, 20);
    EXPECT_EQ(tocDescriptorCount(b.data(), b.size(), 0), 0u);
}

Bytes be32Answer(unsigned long long length, std::size_t received) {
    Bytes b(received, 0xEE);
    for (std::size_t i = 0; i < 4 && i < received; ++i)
        b[i] = static_cast<unsigned char>(length >> (24 - 8 * i));
    return b;
}

struct PerformanceCase {
    const char* what;
    unsigned long length;
    std::size_t received;
    std::size_t count;
};

const PerformanceCase kPerformanceCases[] = {
    {"two descriptors", 4 + 32, 40, 2},
    {"header only", 4, 8, 0},
    {"length zero", 0, 8, 0},
    {"remainder below 4: length 3", 3, 8, 0},
    {"length not a multiple of 16", 4 + 20, 28, 1},
    {"length beyond the answer", 4 + 160, 40, 2},
    {"length FFFFFFFFh", 0xFFFFFFFFul, 40, 2},
    {"answer shorter than the header", 36, 7, 0},
};

TEST(MmcParsers, PerformanceDescriptorCount) {
    for (const PerformanceCase& c : kPerformanceCases) {
        SCOPED_TRACE(c.what);
        const Bytes b = be32Answer(c.length, c.received);
        EXPECT_EQ(performanceDescriptorCount(b.data(), b.size()), c.count);
    }
}

struct AnnouncedCase {
    const char* what;
    unsigned long long length;
    std::size_t received;
    long count;
};

const AnnouncedCase kAnnouncedCases[] = {
    {"two descriptors", 4 + 32, 8, 2},
    {"below one descriptor", 15, 8, 0},
    {"remainder below 4 still announces one", 16, 8, 1},
    {"largest count", 0x7FFFF, 8, 0x7FFF},
    {"count's bit 15 set", 0x80000, 8, -1},
    {"count beyond 16 bits, low bits zero", 0x100000, 8, -1},
    {"length FFFFFFFFh", 0xFFFFFFFFull, 8, -1},
    {"header cut short", 36, 3, 0},
};

TEST(MmcParsers, PerformanceAnnouncedCount) {
    for (const AnnouncedCase& c : kAnnouncedCases) {
        SCOPED_TRACE(c.what);
        const Bytes b = be32Answer(c.length, c.received);
        EXPECT_EQ(performanceAnnouncedCount(b.data(), b.size()), c.count);
    }
    EXPECT_EQ(performanceAnnouncedCount(nullptr, 8), 0);
}

struct CapacityCase {
    const char* what;
    unsigned char listLength;
    std::size_t received;
    bool current;
    std::size_t formattable;
};

const CapacityCase kCapacityCases[] = {
    {"current descriptor and two formattable", 24, 28, true, 2},
    {"current descriptor only", 8, 12, true, 0},
    {"list length below 8", 7, 12, false, 0},
    {"list length zero", 0, 4, false, 0},
    {"list length beyond the answer", 0xF8, 28, true, 2},
    {"list length not a multiple of 8", 20, 24, true, 1},
    {"answer shorter than the current descriptor", 16, 10, false, 0},
};

TEST(MmcParsers, FormatCapacityCount) {
    for (const CapacityCase& c : kCapacityCases) {
        SCOPED_TRACE(c.what);
        Bytes b(c.received, 0xEE);
        if (b.size() > 3)
            b[3] = c.listLength;
        EXPECT_EQ(hasCurrentCapacity(b.data(), b.size()), c.current);
        EXPECT_EQ(formatCapacityCount(b.data(), b.size()), c.formattable);
    }
}

// A GET CONFIGURATION answer: header, then descriptors of the given codes
// and additional lengths.
Bytes configuration(const std::vector<std::pair<unsigned short, unsigned char>>& descriptors) {
    Bytes b(8, 0);
    for (const auto& d : descriptors) {
        b.push_back(static_cast<unsigned char>(d.first >> 8));
        b.push_back(static_cast<unsigned char>(d.first));
        b.push_back(0x03);
        b.push_back(d.second);
        b.insert(b.end(), d.second, 0x5A);
    }
    const std::size_t length = b.size() - 4;
    b[2] = static_cast<unsigned char>(length >> 8);
    b[3] = static_cast<unsigned char>(length);
    return b;
}

TEST(MmcParsers, FeatureCodesWalkOnlyTheAnswer) {
    Bytes b = configuration({{0x0000, 8}, {0x0001, 4}, {0x0108, 0}});
    unsigned short codes[8] = {};
    ASSERT_EQ(featureCodes(b.data(), b.size(), codes, 8), 3u);
    EXPECT_EQ(codes[0], 0x0000);
    EXPECT_EQ(codes[1], 0x0001);
    EXPECT_EQ(codes[2], 0x0108);

    // The last descriptor's additional length runs past the answer: the
    // descriptor's header lies inside, so its code counts, but the walk ends.
    Bytes longTail = configuration({{0x0001, 4}, {0x0003, 0}});
    longTail.back() = 0xFF;
    EXPECT_EQ(featureCodes(longTail.data(), longTail.size(), codes, 8), 2u);

    // A data length larger than the bytes that arrived reads only those.
    b[0] = 0xFF;
    EXPECT_EQ(featureCodes(b.data(), b.size(), codes, 8), 3u);
    // A descriptor header cut short by the end of the answer is not read.
    EXPECT_EQ(featureCodes(b.data(), b.size() - 2, codes, 8), 2u);
    // The caller's capacity bounds the writes.
    EXPECT_EQ(featureCodes(b.data(), b.size(), codes, 1), 1u);
    // A data length of zero: no descriptors.
    Bytes empty = configuration({{0x0001, 4}});
    empty[3] = 0;
    EXPECT_EQ(featureCodes(empty.data(), empty.size(), codes, 8), 0u);
}

Bytes profileList(const std::vector<unsigned short>& numbers) {
    std::vector<std::pair<unsigned short, unsigned char>> one = {
        {0x0000, static_cast<unsigned char>(4 * numbers.size())}};
    Bytes b = configuration(one);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        b[12 + 4 * i] = static_cast<unsigned char>(numbers[i] >> 8);
        b[13 + 4 * i] = static_cast<unsigned char>(numbers[i]);
    }
    return b;
}

TEST(MmcParsers, ProfileNumbersReversedWithinTheAnswer) {
    Bytes b = profileList({0x0012, 0x0011, 0x0010});
    unsigned short numbers[8] = {};
    ASSERT_EQ(profileNumbersReversed(b.data(), b.size(), numbers, 8), 3u);
    EXPECT_EQ(numbers[0], 0x0010);
    EXPECT_EQ(numbers[1], 0x0011);
    EXPECT_EQ(numbers[2], 0x0012);

    struct Hostile {
        const char* what;
        unsigned char additional;
        std::size_t cut;  // bytes taken off the end of the answer
        std::size_t count;
    };
    const Hostile kHostile[] = {
        {"additional length claims more than arrived", 0xFC, 0, 3},
        {"additional length not a multiple of 4", 10, 0, 2},
        {"additional length zero", 0, 0, 0},
        {"answer cut inside the last descriptor", 12, 2, 2},
    };
    for (const Hostile& h : kHostile) {
        SCOPED_TRACE(h.what);
        Bytes c = b;
        c[11] = h.additional;
        c.resize(c.size() - h.cut);
        EXPECT_EQ(profileNumbersReversed(c.data(), c.size(), numbers, 8), h.count);
    }
    // A data length that claims less than the descriptor header: nothing.
    Bytes shortLength = b;
    shortLength[3] = 4;
    EXPECT_EQ(profileNumbersReversed(shortLength.data(), shortLength.size(), numbers, 8), 0u);
}

}  // namespace
