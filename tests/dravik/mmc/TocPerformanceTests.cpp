// Table of contents, performance and format capacities of the multimedia
// device against the model drive on both roads: each list read in its two
// steps (the header-sized probe, then the reported size), the descriptor size
// of every format, and tables of hostile answers whose length fields claim
// more than arrived, more than the buffer, a partial descriptor, or nothing.
// The plain commands of the family are one table of command blocks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../spc/SpcTest.h"
#include "MmcDeviceProbe.h"
#include "ScsiMMCDevice.h"

namespace scsi {
namespace test {
namespace {

// The descriptors are byte images of the drive's answer: the multi-byte
// fields sit where MMC puts them.
static_assert(offsetof(mmc_toc_hdr_t, first) == 2, "TOC header");
static_assert(offsetof(mmc_toc_fmt0h_trk_descriptor_t, track_number) == 2 &&
                  offsetof(mmc_toc_fmt0h_trk_descriptor_t, start_address) == 4,
              "TOC track descriptor");
static_assert(offsetof(mmc_toc_fmt1h_trk_descriptor_t, start_address) == 4, "session descriptor");
static_assert(offsetof(mmc_toc_fmt2h_trk_descriptor_t, point) == 3 &&
                  offsetof(mmc_toc_fmt2h_trk_descriptor_t, pframe) == 10,
              "full TOC descriptor");
static_assert(offsetof(mmc_toc_fmt3h_trk_descriptor_t, pframe) == 10, "PMA descriptor");
static_assert(offsetof(mmc_toc_fmt4h_trk_descriptor_t, lead_in_start) == 4 &&
                  offsetof(mmc_toc_fmt4h_trk_descriptor_t, s4_values) == 24,
              "ATIP descriptor");
static_assert(offsetof(mmc_toc_fmt5h_trk_descriptor_t, text) == 4 &&
                  offsetof(mmc_toc_fmt5h_trk_descriptor_t, crc) == 16,
              "CD-TEXT pack");
static_assert(offsetof(mmc_write_speed_desc_t, end_lba) == 4 && offsetof(mmc_write_speed_desc_t, read_speed) == 8 &&
                  offsetof(mmc_write_speed_desc_t, write_speed) == 12,
              "write speed descriptor");
static_assert(offsetof(mmc_performance_nom_desc_t, start_performance) == 4 &&
                  offsetof(mmc_performance_nom_desc_t, end_lba) == 8 &&
                  offsetof(mmc_performance_nom_desc_t, end_performance) == 12,
              "nominal performance descriptor");
static_assert(offsetof(mmc_max_cap_desc_t, descriptor_type) == 4 && offsetof(mmc_max_cap_desc_t, block_length) == 5,
              "current/maximum capacity descriptor");
static_assert(offsetof(mmc_format_cap_desc_t, format_type) == 4 && offsetof(mmc_format_cap_desc_t, type_parameter) == 5,
              "formattable capacity descriptor");

const wchar_t* const kMmcChannel = L"libDravik.ScsiMMCDevice";
const std::uint8_t kReadToc = 0x43;
const std::uint8_t kGetPerformance = 0xAC;
const std::uint8_t kReadFormatCapacities = 0x23;

// Body bytes that differ from one offset to the next, so a descriptor read
// from the wrong place shows.
std::uint8_t pattern(std::size_t i) {
    return static_cast<std::uint8_t>(i * 7 + 1);
}

// An answer of `size` bytes whose first `fieldBytes` bytes hold `length`
// big-endian; the rest is the pattern.
Bytes answerWithLength(std::uint64_t length, int fieldBytes, std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = pattern(i);
    for (int i = 0; i < fieldBytes && static_cast<std::size_t>(i) < size; ++i)
        b[i] = static_cast<std::uint8_t>(length >> (8 * (fieldBytes - 1 - i)));
    return b;
}

// READ TOC answer of `size` bytes with data length `length`.
Bytes toc(std::uint16_t length, std::size_t size) {
    return answerWithLength(length, 2, size);
}

// GET PERFORMANCE answer of `size` bytes with data length `length`.
Bytes performance(std::uint64_t length, std::size_t size) {
    return answerWithLength(length, 4, size);
}

// READ FORMAT CAPACITIES answer of `size` bytes with list length `length`
// (byte 3, after three reserved bytes).
Bytes capacities(std::uint8_t length, std::size_t size) {
    return answerWithLength(length, 4, size);
}

template <class T>
Bytes bytesOf(const qln::Array<T>& elements) {
    Bytes b;
    for (const T& e : elements) {
        const std::uint8_t* p = reinterpret_cast<const std::uint8_t*>(&e);
        b.insert(b.end(), p, p + sizeof(T));
    }
    return b;
}

// A list read of any descriptor type, flattened to bytes. The array starts
// with one stale element of AAh bytes, which a successful read replaces and
// a failed one keeps.
struct ListRead {
    bool ok = false;
    std::size_t count = 0;
    std::size_t size = 0;  // of one descriptor
    Bytes bytes;
};
typedef std::function<ListRead(ScsiMMCDevice&, mmc_toc_hdr_t*)> ListCall;

template <class T, class F>
ListCall listCall(F read) {
    return [read](ScsiMMCDevice& device, mmc_toc_hdr_t* header) {
        qln::Array<T> elements;
        T stale;
        std::memset(&stale, 0xAA, sizeof(stale));
        elements.append(stale);
        ListRead r;
        r.ok = read(device, elements, header);
        r.count = elements.size();
        r.size = sizeof(T);
        r.bytes = bytesOf(elements);
        return r;
    };
}

Bytes stale(std::size_t size) {
    return Bytes(size, 0xAA);
}

std::uint16_t be16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

class MmcListReadTest : public SpcTest {
protected:
    void SetUp() override {
        SpcTest::SetUp();
        mmc.reset(new ScsiMMCDevice(*device));
    }

    std::vector<qln::test::LogEntry> mmcEntries() const { return log.withPrefix(L"", kMmcChannel); }
    // The one message of the device, or fails the test.
    void expectOnlyMessage(const wchar_t* text, int level) const {
        const std::vector<qln::test::LogEntry> mine = mmcEntries();
        if (text == nullptr) {
            EXPECT_TRUE(mine.empty()) << log.dump();
            return;
        }
        ASSERT_EQ(mine.size(), 1u) << log.dump();
        EXPECT_EQ(mine[0].text, text);
        EXPECT_EQ(mine[0].level, level);
    }
    // A fresh model: `first` answers the first command, `second` the rest.
    void answer(const ModelAnswer& first, const ModelAnswer& second) {
        model->clearAnswers();
        model->clearCommands();
        log.clear();
        model->on(first.times(1));
        model->on(second);
    }
    const ModelCommand& command(std::size_t i) const { return model->commands().at(i); }
    // A successful read holds exactly `count` descriptors, copied from byte
    // `first` of the drive's answer on; a failed one the caller's stale one.
    static void expectElements(const ListRead& r, bool ok, std::size_t count, const Bytes& drive,
                               std::size_t first) {
        EXPECT_EQ(r.ok, ok);
        Bytes expected = stale(r.size);
        if (ok) {
            ASSERT_LE(first + count * r.size, drive.size());
            expected.assign(drive.begin() + first, drive.begin() + first + count * r.size);
            EXPECT_EQ(r.count, count);
        }
        EXPECT_EQ(r.bytes, expected);
    }

    std::unique_ptr<ScsiMMCDevice> mmc;
};

// --- READ TOC/PMA/ATIP: every format in its two steps ----------------------------

struct TocFormatCase {
    const char* name;
    ListCall call;
    std::uint8_t msfByte;    // byte 1 sent
    std::uint8_t format;     // byte 2 sent
    std::uint8_t trackByte;  // byte 6 sent
    std::size_t size;        // descriptor size
    std::uint16_t dataLength;
    std::size_t count;
};

std::vector<TocFormatCase> tocFormatCases() {
    return {
        {"format 0h, MSF, track 257 sends its low byte",
         listCall<mmc_toc_fmt0h_trk_descriptor_t>(
             [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, true, 257u, h); }),
         0x02, 0, 0x01, 8, 18, 2},
        {"format 0h, LBA, track AAh",
         listCall<mmc_toc_fmt0h_trk_descriptor_t>(
             [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, false, 0xAAu, h); }),
         0x00, 0, 0xAA, 8, 10, 1},
        {"format 1h, MSF",
         listCall<mmc_toc_fmt1h_trk_descriptor_t>(
             [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, true, h); }),
         0x02, 1, 0, 8, 10, 1},
        {"format 2h, session 102h sends its low byte, never MSF",
         listCall<mmc_toc_fmt2h_trk_descriptor_t>(
             [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, 0x102u, h); }),
         0x00, 2, 0x02, 11, 24, 2},
        {"format 3h always sends MSF",
         listCall<mmc_toc_fmt3h_trk_descriptor_t>(
             [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, h); }),
         0x02, 3, 0, 11, 35, 3},
        {"format 4h, one ATIP descriptor",
         listCall<mmc_toc_fmt4h_trk_descriptor_t>(
             [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, h); }),
         0x00, 4, 0, 28, 30, 1},
        {"format 5h, two CD-TEXT packs",
         listCall<mmc_toc_fmt5h_trk_descriptor_t>(
             [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, h); }),
         0x00, 5, 0, 18, 38, 2},
    };
}

TEST_P(MmcListReadTest, TocFormatsReadInTwoStepsIntoTheirDescriptors) {
    for (const TocFormatCase& c : tocFormatCases()) {
        SCOPED_TRACE(c.name);
        // A well-formed drive sends data length + 2 bytes (the length counts
        // the bytes after its own 2), and that is what the full read asks for.
        const Bytes drive = toc(c.dataLength, c.dataLength + 2u);
        answer(ModelAnswer::good({kReadToc}, drive), ModelAnswer::good({kReadToc}, drive));
        mmc_toc_hdr_t header;
        std::memset(&header, 0xEE, sizeof(header));

        const ListRead r = c.call(*mmc, &header);
        EXPECT_EQ(r.size, c.size);
        expectElements(r, true, c.count, drive, 4);
        EXPECT_EQ(0, std::memcmp(&header, drive.data(), 4));
        // The read worked, and the last result says so.
        EXPECT_EQ(mmc->getLastResult().code, CMD_RESULT_OK);
        EXPECT_TRUE(mmc->lastCommandSuccess());

        EXPECT_EQ(model->commands().size(), 2u);
        if (model->commands().size() != 2u)
            continue;
        const std::uint32_t lengths[2] = {4, c.dataLength + 2u};
        for (std::size_t i = 0; i < 2; ++i) {
            const ModelCommand& cmd = command(i);
            const Bytes block = {kReadToc, c.msfByte, c.format, 0, 0, 0, c.trackByte,
                                 static_cast<std::uint8_t>(lengths[i] >> 8), static_cast<std::uint8_t>(lengths[i]),
                                 0};
            EXPECT_EQ(cmd.cdb, block);
            EXPECT_EQ(cmd.dataLen, lengths[i]);
            EXPECT_EQ(cmd.direction, DXFER_FROM_DEVICE);
            EXPECT_EQ(cmd.timeout, road->recordedTimeout(60000));
        }
        expectOnlyMessage(nullptr, 0);
    }
}

// --- READ TOC/PMA/ATIP: hostile and failing answers -------------------------------

const wchar_t* const k794 = L"794 ScsiMMCDevice::getTOCElementsImp : readTOCInformation(_MMC_READ_TOC_FORMAT_CODE:0, "
                            L"Boolean msf:1, ByteBuffer of size:4) FAILED";
const wchar_t* const k821 = L"821 ScsiMMCDevice::getTOCElementsImp : readTOCInformation(_MMC_READ_TOC_FORMAT_CODE:0, "
                            L"Boolean msf:1, ByteBuffer of size:20) FAILED";
const wchar_t* const k838 = L"838 ScsiMMCDevice::getTOCElementsImp : zero elements returned";

struct TocHostileCase {
    const char* name;
    ListCall call;
    ModelAnswer first;
    ModelAnswer second;
    bool ok;
    std::size_t count;         // descriptors returned, from answer byte 4 on
    bool headerFilled;
    const wchar_t* message;    // the device's one message, or null
    int level;
    std::size_t commands;
};

std::vector<TocHostileCase> tocHostileCases() {
    const ListCall format0 = listCall<mmc_toc_fmt0h_trk_descriptor_t>(
        [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, true, 1u, h); });
    const ListCall format2 = listCall<mmc_toc_fmt2h_trk_descriptor_t>(
        [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, 1u, h); });
    const ListCall format4 = listCall<mmc_toc_fmt4h_trk_descriptor_t>(
        [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, h); });
    auto good = [](const Bytes& data) { return ModelAnswer::good({kReadToc}, data); };
    const ModelAnswer rejected = ModelAnswer::checkCondition({kReadToc}, fixedSense(0x05, 0x24, 0x00));
    return {
        {"second answer short by 3", format0, good(toc(18, 4)), good(toc(18, 17)), false, 0, false, k821,
         qln::LOG_ERROR, 2},
        // Up to 2 bytes short of the data length is still read, as far as
        // whole descriptors arrived.
        {"second answer short by 2", format0, good(toc(18, 4)), good(toc(18, 18)), true, 1, true, nullptr, 0, 2},
        {"whole answer transferred", format0, good(toc(18, 22)), good(toc(18, 22)), true, 2, true, nullptr, 0, 2},
        {"data length 2: no descriptor", format0, good(toc(2, 6)), good(toc(2, 6)), false, 0, true, k838,
         qln::LOG_WARN, 2},
        {"data length 9: one byte short of a descriptor", format0, good(toc(9, 11)), good(toc(9, 11)), false, 0,
         true, k838, qln::LOG_WARN, 2},
        {"data length zero", format0, good(toc(0, 4)), good(toc(0, 4)), false, 0, true, k838, qln::LOG_WARN, 2},
        {"data length 1", format0, good(toc(1, 4)), good(toc(1, 4)), false, 0, true, k838, qln::LOG_WARN, 2},
        {"second data length beyond the answer and the buffer", format0, good(toc(18, 4)), good(toc(0xFFFF, 20)),
         true, 2, true, nullptr, 0, 2},
        {"second data length beyond a full buffer", format0, good(toc(18, 4)), good(toc(0xFFFF, 0x100)), true,
         2, true, nullptr, 0, 2},
        {"data length not a whole number of descriptors", format0, good(toc(21, 23)), good(toc(21, 23)), true, 2,
         true, nullptr, 0, 2},
        {"full TOC: second length claims a third descriptor that never came", format2, good(toc(24, 4)),
         good(toc(40, 26)), true, 2, true, nullptr, 0, 2},
        {"ATIP: descriptor cut short", format4, good(toc(29, 31)), good(toc(29, 31)), false, 0, true,
         L"838 ScsiMMCDevice::getTOCElementsImp : zero elements returned", qln::LOG_WARN, 2},
        {"probe rejected", format0, rejected, rejected, false, 0, false, k794, qln::LOG_ERROR, 1},
        {"probe answered short", format0, good(toc(18, 3)), good(toc(18, 3)), false, 0, false, k794,
         qln::LOG_ERROR, 1},
        {"full read rejected", format0, good(toc(18, 4)), rejected, false, 0, false, k821, qln::LOG_ERROR, 2},
    };
}

TEST_P(MmcListReadTest, TocHostileAnswers) {
    for (const TocHostileCase& c : tocHostileCases()) {
        SCOPED_TRACE(c.name);
        answer(c.first, c.second);
        mmc_toc_hdr_t header;
        std::memset(&header, 0xEE, sizeof(header));
        const ListRead r = c.call(*mmc, &header);
        expectElements(r, c.ok, c.count, c.second.data, 4);
        if (c.headerFilled)
            EXPECT_EQ(0, std::memcmp(&header, c.second.data.data(), 4));
        else
            EXPECT_EQ(header.first, 0xEE);
        EXPECT_EQ(model->commands().size(), c.commands);
        expectOnlyMessage(c.message, c.level);
    }
}

TEST_P(MmcListReadTest, TocHeaderIsOptional) {
    const Bytes drive = toc(10, 12);
    answer(ModelAnswer::good({kReadToc}, drive), ModelAnswer::good({kReadToc}, drive));
    qln::Array<mmc_toc_fmt1h_trk_descriptor_t> sessions;
    ASSERT_TRUE(mmc->getTOCElements(sessions, false, nullptr));
    EXPECT_EQ(sessions.size(), 1u);
}

// --- GET PERFORMANCE ---------------------------------------------------------------

const wchar_t* const k886 = L"886 ScsiMMCDevice::getPerformanceInfoImp : ERROR issuing getPerformance("
                            L"_MMC_PERFORMANCE_TYPE: 3 , data_type: 0 , lba: 0x0 , max_desc: 0 , buffer)";
const wchar_t* const k898 = L"898 ScsiMMCDevice::getPerformanceInfoImp : computed number of desc < 0)";
const wchar_t* const k903 = L"903 ScsiMMCDevice::getPerformanceInfoImp : no information available for type code: 3 "
                            L"type_data 0";

struct PerformanceCase {
    const char* name;
    ListCall call;
    ModelAnswer first;
    ModelAnswer second;
    bool ok;
    std::size_t count;  // descriptors returned, from answer byte 8 on
    const wchar_t* message;
    int level;
    // The full read: its block's byte 1, LBA, descriptor count and data
    // length; no second command when dataLen is 0.
    std::uint8_t dataType;
    std::uint32_t lba;
    std::uint16_t maxDescriptors;
    std::uint32_t dataLen;
};

ListCall writeSpeeds() {
    return listCall<mmc_write_speed_desc_t>(
        [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t*) { return d.getPerformanceInfo(a); });
}

ListCall nominal(std::uint32_t maximum, std::uint32_t lba, bool write) {
    return listCall<mmc_performance_nom_desc_t>([=](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t*) {
        return d.getPerformanceInfo(a, maximum, lba, write);
    });
}

std::vector<PerformanceCase> performanceCases() {
    auto good = [](const Bytes& data) { return ModelAnswer::good({kGetPerformance}, data); };
    const ModelAnswer rejected = ModelAnswer::checkCondition({kGetPerformance}, fixedSense(0x05, 0x24, 0x00));
    const Bytes none;
    return {
        {"write speeds: two descriptors", writeSpeeds(), good(performance(36, 40)), good(performance(36, 40)), true,
         2, nullptr, 0, 0x00, 0, 2, 40},
        {"nominal: the caller's maximum caps the read", nominal(1, 0x00A0B0C0, false), good(performance(52, 56)),
         good(performance(52, 56)), true, 1, nullptr, 0, 0x10, 0x00A0B0C0, 1, 24},
        {"nominal: a maximum above the drive's count is no cap", nominal(5, 7, true), good(performance(36, 40)),
         good(performance(36, 40)), true, 2, nullptr, 0, 0x14, 7, 2, 40},
        {"nominal without write: 8 bytes short is accepted, the missing descriptor is not read",
         nominal(0, 0, false), good(performance(36, 40)), good(performance(36, 32)), true, 1, nullptr, 0, 0x10, 0, 2,
         40},
        {"nominal with write: 8 bytes short fails", nominal(0, 0, true), good(performance(36, 40)),
         good(performance(36, 32)), false, 0,
         L"918 ScsiMMCDevice::getPerformanceInfoImp : ERROR issuing getPerformance(_MMC_PERFORMANCE_TYPE: 0 , "
         L"data_type: 20 , lba: 0x0 , max_desc: 2 , buffer)",
         qln::LOG_ERROR, 0x14, 0, 2, 40},
        {"write speeds: 1 byte short fails", writeSpeeds(), good(performance(36, 40)), good(performance(36, 39)),
         false, 0,
         L"918 ScsiMMCDevice::getPerformanceInfoImp : ERROR issuing getPerformance(_MMC_PERFORMANCE_TYPE: 3 , "
         L"data_type: 0 , lba: 0x0 , max_desc: 2 , buffer)",
         qln::LOG_ERROR, 0x00, 0, 2, 40},
        {"data length 4: no descriptors", writeSpeeds(), good(performance(4, 8)), good(performance(4, 8)), true, 0,
         k903, qln::LOG_INFO, 0, 0, 0, 0},
        {"data length zero", writeSpeeds(), good(performance(0, 8)), good(performance(0, 8)), true, 0, k903,
         qln::LOG_INFO, 0, 0, 0, 0},
        {"data length 80000h: count's bit 15 set", writeSpeeds(), good(performance(0x80000, 8)), good(none), false,
         0, k898, qln::LOG_ERROR, 0, 0, 0, 0},
        {"data length 100000h: count beyond 16 bits", writeSpeeds(), good(performance(0x100000, 8)), good(none),
         false, 0, k898, qln::LOG_ERROR, 0, 0, 0, 0},
        {"data length FFFFFFFFh", writeSpeeds(), good(performance(0xFFFFFFFFu, 8)), good(none), false, 0, k898,
         qln::LOG_ERROR, 0, 0, 0, 0},
        {"remainder below 4: the announced descriptor does not fit the answer", writeSpeeds(),
         good(performance(16, 20)), good(performance(16, 20)), true, 0, nullptr, 0, 0x00, 0, 1, 20},
        {"data length not 4 plus whole descriptors", writeSpeeds(), good(performance(28, 32)),
         good(performance(28, 32)), true, 1, nullptr, 0, 0x00, 0, 1, 32},
        {"second data length beyond the buffer", writeSpeeds(), good(performance(36, 40)),
         good(performance(0xFFFFFFF0u, 0x200)), true, 2, nullptr, 0, 0x00, 0, 2, 40},
        {"second data length below the expected size", nominal(0, 0, false), good(performance(40, 44)),
         good(performance(20, 44)), false, 0,
         L"927 ScsiMMCDevice::getPerformanceInfoImp : amount of data returned incorrect : expected size 44 "
         L"returned data size 24",
         qln::LOG_ERROR, 0x10, 0, 2, 44},
        {"probe rejected", writeSpeeds(), rejected, rejected, false, 0, k886, qln::LOG_ERROR, 0, 0, 0, 0},
    };
}

TEST_P(MmcListReadTest, PerformanceReadsAndHostileAnswers) {
    for (const PerformanceCase& c : performanceCases()) {
        SCOPED_TRACE(c.name);
        answer(c.first, c.second);
        const ListRead r = c.call(*mmc, nullptr);
        EXPECT_EQ(r.size, 16u);
        expectElements(r, c.ok, c.count, c.second.data, 8);
        expectOnlyMessage(c.message, c.level);

        // The probe asks for no descriptor limit into 8 bytes.
        EXPECT_GE(model->commands().size(), 1u);
        if (model->commands().size() < 1u)
            continue;
        const ModelCommand& probe = command(0);
        EXPECT_EQ(probe.cdb.size(), 12u);
        if (probe.cdb.size() != 12u)
            continue;
        EXPECT_EQ(probe.cdb[0], kGetPerformance);
        EXPECT_EQ(be16(probe.cdb, 8), 0);
        EXPECT_EQ(probe.dataLen, 8u);
        EXPECT_EQ(probe.direction, DXFER_FROM_DEVICE);
        if (c.dataLen == 0) {
            EXPECT_EQ(model->commands().size(), 1u);
            continue;
        }
        EXPECT_EQ(model->commands().size(), 2u);
        if (model->commands().size() != 2u)
            continue;
        const ModelCommand& full = command(1);
        const Bytes block = {kGetPerformance,
                             c.dataType,
                             static_cast<std::uint8_t>(c.lba >> 24),
                             static_cast<std::uint8_t>(c.lba >> 16),
                             static_cast<std::uint8_t>(c.lba >> 8),
                             static_cast<std::uint8_t>(c.lba),
                             0,
                             0,
                             static_cast<std::uint8_t>(c.maxDescriptors >> 8),
                             static_cast<std::uint8_t>(c.maxDescriptors),
                             probe.cdb[10],
                             0};
        EXPECT_EQ(full.cdb, block);
        EXPECT_EQ(Bytes(probe.cdb.begin() + 1, probe.cdb.begin() + 8), Bytes(block.begin() + 1, block.begin() + 8));
        EXPECT_EQ(full.dataLen, c.dataLen);
        EXPECT_EQ(full.timeout, road->recordedTimeout(60000));
    }
}

TEST_P(MmcListReadTest, PerformanceTypeByteOfEachRead) {
    const Bytes drive = performance(20, 24);
    answer(ModelAnswer::good({kGetPerformance}, drive), ModelAnswer::good({kGetPerformance}, drive));
    qln::Array<mmc_write_speed_desc_t> speeds;
    ASSERT_TRUE(mmc->getPerformanceInfo(speeds));
    EXPECT_EQ(command(0).cdb[10], MMC_PERFORMANCE_TYPE_WRITE_SPEED);
    EXPECT_EQ(command(1).cdb[10], MMC_PERFORMANCE_TYPE_WRITE_SPEED);

    answer(ModelAnswer::good({kGetPerformance}, drive), ModelAnswer::good({kGetPerformance}, drive));
    qln::Array<mmc_performance_nom_desc_t> nominalList;
    ASSERT_TRUE(mmc->getPerformanceInfo(nominalList, 0, 0x12345678, false));
    EXPECT_EQ(command(0).cdb[10], MMC_PERFORMANCE_TYPE_PERFORMANCE);
    EXPECT_EQ(Bytes(command(0).cdb.begin() + 1, command(0).cdb.begin() + 6), (Bytes{0x10, 0x12, 0x34, 0x56, 0x78}));
}

TEST_P(MmcListReadTest, NoInformationEmptiesTheArray) {
    answer(ModelAnswer::good({kGetPerformance}, performance(4, 8)),
           ModelAnswer::good({kGetPerformance}, performance(4, 8)));
    qln::Array<mmc_performance_nom_desc_t> list;
    list.append(mmc_performance_nom_desc_t());
    list.append(mmc_performance_nom_desc_t());
    EXPECT_TRUE(mmc->getPerformanceInfo(list, 0, 0x20, true));
    EXPECT_EQ(list.size(), 0u);
    expectOnlyMessage(L"903 ScsiMMCDevice::getPerformanceInfoImp : no information available for type code: 0 "
                      L"type_data 20",
                      qln::LOG_INFO);
}

// --- READ FORMAT CAPACITIES -----------------------------------------------------------

struct CapacityCase {
    const char* name;
    ModelAnswer first;
    ModelAnswer second;
    bool ok;
    std::size_t formattable;  // descriptors appended, from answer byte 12 on
    std::size_t commands;
    std::uint32_t fullLength;  // data length of the full read
};

std::vector<CapacityCase> capacityCases() {
    auto good = [](const Bytes& data) { return ModelAnswer::good({kReadFormatCapacities}, data); };
    const ModelAnswer rejected = ModelAnswer::checkCondition({kReadFormatCapacities}, fixedSense(0x02, 0x3A, 0x00));
    return {
        {"current and two formattable", good(capacities(24, 28)), good(capacities(24, 28)), true, 2, 2, 28},
        {"current only", good(capacities(8, 12)), good(capacities(8, 12)), true, 0, 2, 12},
        {"second list length zero", good(capacities(24, 28)), good(capacities(0, 28)), false, 0, 2, 28},
        {"list length 7", good(capacities(7, 11)), good(capacities(7, 11)), false, 0, 2, 11},
        {"list length not a multiple of 8", good(capacities(20, 24)), good(capacities(20, 24)), true, 1, 2, 24},
        {"second list length beyond the buffer", good(capacities(16, 20)), good(capacities(0xF8, 20)), true, 1, 2,
         20},
        {"first list length zero, second claims a descriptor", good(capacities(0, 4)), good(capacities(8, 12)),
         false, 0, 2, 4},
        {"probe rejected", rejected, rejected, false, 0, 1, 0},
        {"full read short", good(capacities(24, 4)), good(capacities(24, 20)), false, 0, 2, 28},
    };
}

TEST_P(MmcListReadTest, FormatCapacitiesAppendWithinTheAnswer) {
    for (const CapacityCase& c : capacityCases()) {
        SCOPED_TRACE(c.name);
        answer(c.first, c.second);
        mmc_max_cap_desc_t current;
        std::memset(&current, 0xEE, sizeof(current));
        qln::Array<mmc_format_cap_desc_t> formats;
        mmc_format_cap_desc_t held;
        std::memset(&held, 0xAA, sizeof(held));
        formats.append(held);

        EXPECT_EQ(mmc->getFormatCapacities(current, formats), c.ok);
        const Bytes& drive = c.second.data;
        Bytes expected = stale(8);
        if (c.ok) {
            EXPECT_EQ(0, std::memcmp(&current, drive.data() + 4, 8));
            expected.insert(expected.end(), drive.begin() + 12, drive.begin() + 12 + 8 * c.formattable);
        } else {
            EXPECT_EQ(current.descriptor_type, 0xEE);
        }
        EXPECT_EQ(bytesOf(formats), expected);
        expectOnlyMessage(nullptr, 0);

        EXPECT_EQ(model->commands().size(), c.commands);
        if (model->commands().size() != c.commands)
            continue;
        const std::uint32_t lengths[2] = {4, c.fullLength};
        for (std::size_t i = 0; i < c.commands; ++i) {
            const Bytes block = {kReadFormatCapacities, 0, 0, 0, 0, 0, 0,
                                 static_cast<std::uint8_t>(lengths[i] >> 8), static_cast<std::uint8_t>(lengths[i]), 0};
            EXPECT_EQ(command(i).cdb, block);
            EXPECT_EQ(command(i).dataLen, lengths[i]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, MmcListReadTest, SPC_BOTH_ROADS, ParamNamer());

// --- plain commands ---------------------------------------------------------------------

const unsigned int kDefaultMs = 7000;  // set on the device, so "default" is recognisable

struct PlainCase {
    const char* name;
    std::function<bool(ScsiMMCDevice&, qln::Buffer<unsigned char>&)> call;
    Bytes cdb;
    DXFER_DIRECTION direction;
    std::uint32_t dataLen;
};

std::ostream& operator<<(std::ostream& out, const PlainCase& c) {
    return out << c.name;
}

std::vector<PlainCase> plainCases() {
    return {
        {"ReadSubChannelSubQMsf",
         [](ScsiMMCDevice& d, qln::Buffer<unsigned char>& b) {
             return d.readSubChannel(MMC_SUB_CHAN_PARM_CURRENT_POSITION, b, true, true);
         },
         {0x42, 0x02, 0x40, 0x01, 0, 0, 0, 0x01, 0x30, 0}, DXFER_FROM_DEVICE, 0x130},
        {"ReadSubChannelParameterUnchanged",
         [](ScsiMMCDevice& d, qln::Buffer<unsigned char>& b) {
             return d.readSubChannel(static_cast<_MMC_SUB_CHAN_PARM>(0xF3), b, false, false);
         },
         {0x42, 0x00, 0x00, 0xF3, 0, 0, 0, 0x01, 0x30, 0}, DXFER_FROM_DEVICE, 0x130},
        {"ReadSubChannelParameterCutToItsByte",
         [](ScsiMMCDevice& d, qln::Buffer<unsigned char>& b) {
             return d.readSubChannel(static_cast<_MMC_SUB_CHAN_PARM>(0x140), b, true, false);
         },
         {0x42, 0x00, 0x40, 0x40, 0, 0, 0, 0x01, 0x30, 0}, DXFER_FROM_DEVICE, 0x130},
        {"SetCDSpeedRotationCutToTwoBits",
         [](ScsiMMCDevice& d, qln::Buffer<unsigned char>&) {
             return d.setCDSpeed(static_cast<_MMC_ROT_CNTL>(5), 0x1234, 0xFFFF);
         },
         {0xBB, 0x01, 0x12, 0x34, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"SetCDSpeedUnnamedRotation",
         [](ScsiMMCDevice& d, qln::Buffer<unsigned char>&) {
             return d.setCDSpeed(static_cast<_MMC_ROT_CNTL>(3), 0, 0x0102);
         },
         {0xBB, 0x03, 0x00, 0x00, 0x01, 0x02, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"SetCDSpeedClv",
         [](ScsiMMCDevice& d, qln::Buffer<unsigned char>&) { return d.setCDSpeed(MMC_ROT_CNTL_CLV, 0xFFFF, 0); },
         {0xBB, 0x00, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}, DXFER_NONE, 0},
        {"SetReadAhead",
         [](ScsiMMCDevice& d, qln::Buffer<unsigned char>&) { return d.setReadAhead(0x01020304, 0xA0B0C0D0u); },
         {0xA7, 0, 0x01, 0x02, 0x03, 0x04, 0xA0, 0xB0, 0xC0, 0xD0, 0, 0}, DXFER_NONE, 0},
    };
}

class MmcPlainCommandTest : public SpcRoadTest<std::tuple<Road, PlainCase>> {
protected:
    void SetUp() override {
        SpcRoadTest<std::tuple<Road, PlainCase>>::SetUp();
        mmc = road->make<MmcDeviceProbe>();
        mmc->setDefaultTimeoutMs(kDefaultMs);
    }
    std::unique_ptr<MmcDeviceProbe> mmc;
};

TEST_P(MmcPlainCommandTest, SendsItsBlockDirectionAndBuffer) {
    const PlainCase& c = std::get<1>(GetParam());
    model->on(ModelAnswer::good({}, Bytes(0x130, 0x5C)));
    qln::Buffer<unsigned char> buffer(0x130);
    EXPECT_TRUE(c.call(*mmc, buffer));
    expectSentAsTabled(*model, c, road->recordedTimeout(kDefaultMs));
    if (HasFatalFailure())
        return;
    if (c.direction == DXFER_FROM_DEVICE) {
        EXPECT_EQ(Bytes(buffer.getData(), buffer.getData() + buffer.getLength()), Bytes(0x130, 0x5C));
    }

    model->clearAnswers();
    model->on(ModelAnswer::checkCondition({}, fixedSense(0x05, 0x24, 0x00)));
    EXPECT_FALSE(c.call(*mmc, buffer));
    EXPECT_EQ(mmc->getLastResult().code, CMD_RESULT_SCSI_ERROR);
}

INSTANTIATE_TEST_SUITE_P(Plain, MmcPlainCommandTest,
                         ::testing::Combine(SPC_BOTH_ROADS, ::testing::ValuesIn(plainCases())), ParamNamer());

// Without a transport every read fails at its probe, logs its failure and
// leaves the caller's outputs alone; the plain commands just fail.
class MmcNoTransportTest : public qln::test::LogCaptureTest {};

TEST_F(MmcNoTransportTest, ReadsFailAtTheProbeAndKeepTheOutputs) {
    MmcDeviceProbe lone{AccessorTransfer()};
    const ListCall toc = listCall<mmc_toc_fmt0h_trk_descriptor_t>(
        [](ScsiMMCDevice& d, auto& a, mmc_toc_hdr_t* h) { return d.getTOCElements(a, true, 1u, h); });
    mmc_toc_hdr_t header;
    std::memset(&header, 0xEE, sizeof(header));
    const ListRead tocRead = toc(lone, &header);
    EXPECT_FALSE(tocRead.ok);
    EXPECT_EQ(tocRead.bytes, stale(8));
    EXPECT_EQ(header.first, 0xEE);
    EXPECT_EQ(log.withPrefix(k794, kMmcChannel).size(), 1u) << log.dump();

    const ListRead speeds = writeSpeeds()(lone, nullptr);
    EXPECT_FALSE(speeds.ok);
    EXPECT_EQ(speeds.bytes, stale(16));
    EXPECT_EQ(log.withPrefix(k886, kMmcChannel).size(), 1u) << log.dump();

    mmc_max_cap_desc_t current;
    std::memset(&current, 0xEE, sizeof(current));
    qln::Array<mmc_format_cap_desc_t> formats;
    EXPECT_FALSE(lone.getFormatCapacities(current, formats));
    EXPECT_EQ(current.descriptor_type, 0xEE);
    EXPECT_EQ(formats.size(), 0u);

    qln::Buffer<unsigned char> buffer(16);
    for (const PlainCase& c : plainCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.call(lone, buffer));
    }
}

}  // namespace
}  // namespace test
}  // namespace scsi
