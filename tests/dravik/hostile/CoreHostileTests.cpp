// The device core against hostile bytes: the sense summary, the dumps and the
// error texts; the guarded heap itself; and the allocations the library
// promises (none on a block command, one buffer per pass-through request,
// none for a message below the priority).
#include <windows.h>

#include <random>

#include <gtest/gtest.h>

#include "GuardHeap.h"
#include "Hostile.h"
#include "LogCapture.h"
#include "ModelRoads.h"
#include "ScsiDevice.h"
#include "ScsiDeviceAccessor.h"
#include "ScsiSBCDevice.h"

using qln::test::GuardedBuffer;
using qln::test::GuardHeap;
using scsi::test::ModelAnswer;
using scsi::test::ModelRoad;
using scsi::test::Road;

namespace {

// Reaches the transports' sense summary.
struct SenseSummary : scsi::ScsiDeviceAccessor {
    using scsi::ScsiDeviceAccessor::summarize_sense;
};

std::mt19937 randomFor(const char* what, unsigned n) {
    return std::mt19937(hostile::options().seed + n * 7919u +
                        std::uint32_t(std::hash<std::string>()(what)));
}

unsigned casesOf() {
    return hostile::options().answers * 4;
}

}  // namespace

// A guarded block ends at a no-access page, and the library's blocks come
// from the guarded heap.
TEST(GuardedHeap, BlocksEndAtANoAccessPage) {
    for (std::size_t size : {0u, 1u, 7u, 20u, 252u, 4096u, 5000u}) {
        SCOPED_TRACE(size);
        GuardedBuffer buffer(size);
        MEMORY_BASIC_INFORMATION after;
        ASSERT_NE(VirtualQuery(buffer.data() + size, &after, sizeof(after)), 0u);
        EXPECT_EQ(after.Protect, DWORD(PAGE_NOACCESS));
        EXPECT_TRUE(buffer.frontIntact());
    }
    auto model = std::make_shared<scsi::test::ModelScsiDevice>();
    model->on(ModelAnswer::good({0x00}));
    ModelRoad road(Road::PassThrough, model);
    ASSERT_TRUE(road.ready());
    std::unique_ptr<scsi::ScsiDevice> device = road.make<scsi::ScsiDevice>();
    unsigned char testUnitReady[6] = {0, 0, 0, 0, 0, 0};
    const long before = GuardHeap::allocations();
    EXPECT_TRUE(device->send_scsi_cmd(testUnitReady, 6, nullptr, 0, scsi::DXFER_NONE, 0));
    EXPECT_GT(GuardHeap::allocations(), before) << "the library's heap is not guarded";
}

TEST(HostileCore, SenseSummaryReadsOnlyTheSenseBytes) {
    for (unsigned n = 0; n < casesOf(); ++n) {
        std::mt19937 random = randomFor("summarize_sense", n);
        const unsigned length = random() % 253;
        SCOPED_TRACE("summarize_sense, length " + std::to_string(length) + ", case " +
                     std::to_string(n));
        GuardedBuffer sense(length);
        for (std::size_t i = 0; i < length; ++i)
            sense.data()[i] = std::uint8_t(random());
        if (length > 0)
            sense.data()[0] = std::uint8_t(0x70 + random() % 4);
        if (length > 7)
            sense.data()[7] = std::uint8_t(random() % 2 ? 0xFF : random());
        scsi::sense_info summary = {};
        SenseSummary::summarize_sense(summary, std::uint8_t(random() % 2 ? 2 : 0), sense.data(),
                                      length);
        scsi::ScsiDevice::getSenseErrStr(summary, true);
        ASSERT_TRUE(sense.frontIntact());
    }
}

TEST(HostileCore, DumpsReadOnlyTheGivenBytes) {
    qln::test::LogCapture log(qln::LOG_TRACE);
    typedef void (*Dump)(const void*, int);
    const Dump dumps[] = {&scsi::ScsiDevice::print_cdb, &scsi::ScsiDevice::print_sense_buffer,
                          &scsi::ScsiDevice::print_cdb_response};
    // Dumps are slow to build: fewer cases, and lengths up to a few lines.
    for (unsigned n = 0; n < hostile::options().answers / 2; ++n) {
        std::mt19937 random = randomFor("dumps", n);
        const int lengths[] = {0, 1, 15, 16, 17, 252, int(random() % 600)};
        const int length = lengths[random() % 7];
        GuardedBuffer bytes{std::size_t(length)};
        for (int i = 0; i < length; ++i)
            bytes.data()[i] = std::uint8_t(random());
        for (Dump dump : dumps)
            dump(bytes.data(), length);
        ASSERT_TRUE(bytes.frontIntact());
        log.clear();
    }
    for (Dump dump : dumps) {
        GuardedBuffer one(1);
        dump(one.data(), -1);
        dump(nullptr, 16);
    }
}

TEST(HostileCore, ErrorTextsOfAnyResult) {
    auto model = std::make_shared<scsi::test::ModelScsiDevice>();
    ModelRoad road(Road::TestAccessor, model);
    std::unique_ptr<scsi::ScsiDevice> device = road.make<scsi::ScsiDevice>();
    for (unsigned n = 0; n < casesOf(); ++n) {
        std::mt19937 random = randomFor("error texts", n);
        scsi::command_result_info info = {};
        for (std::uint8_t& b : info.senseBuffer)
            b = std::uint8_t(random());
        info.sense.status = std::uint8_t(random());
        info.sense.valid = random() % 2;
        info.sense.senseKey = random() % 16;
        info.sense.asc = std::uint8_t(random());
        info.sense.ascq = std::uint8_t(random());
        info.result.code = std::int32_t(random() % 12) - 1;
        info.result.detail = random();
        device->getErrStr(info);
        scsi::ScsiDevice::getSenseErrStr(info.sense, random() % 2 == 0);
    }
}

// A block command allocates nothing; a pass-through request allocates its one
// buffer; a message below the priority allocates nothing (the library's
// traces and dumps are gated off at the default priority).
TEST(Allocations, AsTheLibraryPromises) {
    auto model = std::make_shared<scsi::test::ModelScsiDevice>();
    model->on(ModelAnswer::good({0x25}, scsi::test::Bytes{0, 0, 0x10, 0, 0, 0, 2, 0}));
    model->on(ModelAnswer::good({}));
    {
        ModelRoad road(Road::TestAccessor, model);
        std::unique_ptr<hostile::SbcDeviceOnModel> device = road.make<hostile::SbcDeviceOnModel>();
        scsi::sbc_capacity capacity = {};
        device->readCapacity(capacity);  // the channel's logger is made on first use
        const long before = GuardHeap::allocations();
        EXPECT_TRUE(device->readCapacity(capacity));
        EXPECT_TRUE(device->synchronizeCache10(0, 8, false));
        EXPECT_TRUE(device->testUnitReady());
        EXPECT_EQ(GuardHeap::allocations() - before, 0) << "a block command allocated";
    }
    ModelRoad road(Road::PassThrough, model);
    ASSERT_TRUE(road.ready());
    std::unique_ptr<hostile::SbcDeviceOnModel> device = road.make<hostile::SbcDeviceOnModel>();
    device->testUnitReady();
    const unsigned kCommands = 5;
    long before = GuardHeap::allocations();
    for (unsigned i = 0; i < kCommands; ++i)
        EXPECT_TRUE(device->testUnitReady());
    EXPECT_EQ(GuardHeap::allocations() - before, long(kCommands))
        << "one request buffer per pass-through command, nothing for its gated-off traces";

    // The same commands with their traces admitted do allocate: the count
    // above would see a message that is built.
    qln::test::LogCapture log(qln::LOG_TRACE);
    before = GuardHeap::allocations();
    EXPECT_TRUE(device->testUnitReady());
    EXPECT_GT(GuardHeap::allocations() - before, 1);
}
