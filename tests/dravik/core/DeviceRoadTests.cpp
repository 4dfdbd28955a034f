// The device core over a model transport: time-outs, the accessor check,
// the success rule, copies sharing one accessor, the sense buffer copy.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "ModelAccessor.h"
#include "ModelScsiDevice.h"
#include "ScsiDevice.h"
#include "ScsiDeviceProbe.h"

using namespace scsi;
using namespace scsi::test;

namespace {

unsigned char kTestUnitReady[6] = {0x00, 0, 0, 0, 0, 0};
unsigned char kInquiry36[6] = {0x12, 0, 0, 0, 36, 0};

class DeviceRoadTest : public qln::test::LogCaptureTest {
protected:
    DeviceRoadTest() : model(std::make_shared<ModelScsiDevice>()) {}
    bool testUnitReady(ScsiDevice& device, unsigned int timeoutMs = 0) {
        return device.send_scsi_cmd(kTestUnitReady, 6, nullptr, 0, DXFER_NONE, timeoutMs);
    }
    ModelDevicePtr model;
};

// --- time-outs -------------------------------------------------------------

struct TimeoutCase {
    unsigned int defaultMs;
    unsigned int argumentMs;
    unsigned int expectedMs;
};

class RoadTimeoutTest : public DeviceRoadTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(RoadTimeoutTest, HandsTheExactTimeoutToTheAccessor) {
    const TimeoutCase& c = GetParam();
    model->on(ModelAnswer::good({0x00}));
    ScsiDeviceProbe device(ModelAccessor::transfer(model));
    EXPECT_EQ(20000u, device.defaultTimeoutMs());
    device.setDefaultTimeoutMs(c.defaultMs);
    EXPECT_TRUE(testUnitReady(device, c.argumentMs));
    ASSERT_EQ(1u, model->commands().size());
    EXPECT_EQ(c.expectedMs, model->lastCommand().timeout);
}

INSTANTIATE_TEST_SUITE_P(Timeouts, RoadTimeoutTest,
                         ::testing::Values(TimeoutCase{20000, 0, 20000}, TimeoutCase{20000, 1500, 1500},
                                           TimeoutCase{20000, 1, 1}, TimeoutCase{60000, 0, 60000},
                                           TimeoutCase{60000, 5000, 5000},
                                           TimeoutCase{0, 0, 0}));

// --- the accessor check ----------------------------------------------------

TEST_F(DeviceRoadTest, DeviceWithoutAccessorSendsNothingAndKeepsItsResult) {
    ScsiDeviceProbe device{AccessorTransfer()};
    std::memset(device.record().senseBuffer, 0x5A, SENSE_BUFFER_SIZE);
    device.record().sense.valid = 1;
    device.record().result.code = CMD_RESULT_OK;
    device.record().result.detail = 77;
    command_result_info before = device.getResultData();

    unsigned char data[36] = {1, 2, 3};
    EXPECT_FALSE(device.send_scsi_cmd(kInquiry36, 6, data, 36, DXFER_FROM_DEVICE, 0));
    EXPECT_FALSE(testUnitReady(device));
    EXPECT_EQ(0, std::memcmp(&before, &device.getResultData(), sizeof(before)));
    EXPECT_EQ(1, data[0]);

    scsi_idlun address = {9, 9, 9, 9};
    EXPECT_FALSE(device.getAddress(address));
    EXPECT_EQ(9, address.targetId);
    EXPECT_EQ(0, device.isEmulated());

    std::vector<qln::test::LogEntry> invalid = log.withPrefix(L"34 ", L"libDravik.ScsiDevice");
    ASSERT_EQ(4u, invalid.size()) << log.dump();
    for (const qln::test::LogEntry& e : invalid) {
        EXPECT_EQ(L"34 Invalid Accessor", e.text);
        EXPECT_EQ(4, e.level);
    }
}

TEST_F(DeviceRoadTest, NewDeviceWithoutAccessorShowsCodeZero) {
    ScsiDevice device{AccessorTransfer()};
    EXPECT_FALSE(testUnitReady(device));
    EXPECT_EQ(CMD_RESULT_OK, device.getLastResult().code);
    EXPECT_EQ(0u, device.getLastResult().detail);
    EXPECT_EQ(0, device.getLastSense().valid);
}

TEST_F(DeviceRoadTest, MaxTransferWithoutAccessorIsZeroWithoutMessage) {
    ScsiDevice device{AccessorTransfer()};
    EXPECT_EQ(0u, device.getMaxXferSz());
    EXPECT_TRUE(log.withPrefix(L"34 ").empty()) << log.dump();
}

TEST_F(DeviceRoadTest, QueriesReachTheAccessor) {
    model->hasAddress = true;
    model->address = {3, 1, 2, 4};
    model->emulated = true;
    model->maxTransfer = 65536;
    ScsiDevice device(ModelAccessor::transfer(model));
    scsi_idlun address = {};
    EXPECT_TRUE(device.getAddress(address));
    EXPECT_EQ(3, address.targetId);
    EXPECT_EQ(1, address.lun);
    EXPECT_EQ(2, address.pathId);
    EXPECT_EQ(4, address.portNumber);
    EXPECT_EQ(1, device.isEmulated());
    EXPECT_EQ(65536u, device.getMaxXferSz());
    EXPECT_EQ(ScsiDevice::USB_MASS_STORAGE_NONE, device.isUSBMassStorage());
    EXPECT_TRUE(model->commands().empty());
    EXPECT_EQ(CMD_RESULT_OK, device.getLastResult().code);
}

// --- transport outcomes through the road ------------------------------------

TEST_F(DeviceRoadTest, TransportFailuresFailTheRoadAndClearValid) {
    struct Case {
        int code;
        unsigned int detail;
    } cases[] = {{CMD_RESULT_DRIVER_ERROR, 31}, {CMD_RESULT_HOST_ERROR, 7}, {CMD_RESULT_TIMED_OUT, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ModelDevicePtr m = std::make_shared<ModelScsiDevice>();
        m->on(ModelAnswer::checkCondition({0x12}, fixedSense(0x06, 0x29, 0x00)).times(1));
        m->on(ModelAnswer::transportFailure({0x12}, c.code, c.detail));
        ScsiDevice device(ModelAccessor::transfer(m));
        unsigned char data[36];
        EXPECT_FALSE(device.send_scsi_cmd(kInquiry36, 6, data, 36, DXFER_FROM_DEVICE, 0));
        ASSERT_EQ(1, device.getLastSense().valid);
        EXPECT_FALSE(device.send_scsi_cmd(kInquiry36, 6, data, 36, DXFER_FROM_DEVICE, 0));
        EXPECT_EQ(c.code, device.getLastResult().code);
        EXPECT_EQ(c.detail, device.getLastResult().detail);
        // The road clears the valid bit; the rest stays from the command before.
        EXPECT_EQ(0, device.getLastSense().valid);
        EXPECT_EQ(0x06, device.getLastSense().senseKey);
        EXPECT_EQ(0x29, device.getLastSense().asc);
        EXPECT_EQ(0x70, device.getResultData().senseBuffer[0]);
        EXPECT_FALSE(device.success());
    }
}

TEST_F(DeviceRoadTest, ShortReadFailsTheRoadWithUnderrun) {
    ModelAnswer a = ModelAnswer::good({0x12}, Bytes(30, 0x41));
    model->on(a);
    ScsiDevice device(ModelAccessor::transfer(model));
    unsigned char data[36];
    EXPECT_FALSE(device.send_scsi_cmd(kInquiry36, 6, data, 36, DXFER_FROM_DEVICE, 0));
    EXPECT_EQ(CMD_RESULT_UNDERRUN, device.getLastResult().code);
    EXPECT_EQ(6u, device.getLastResult().detail);
}

// --- the success rule -------------------------------------------------------

struct RuleCase {
    int code;
    int valid;
    unsigned char status;
    unsigned char senseKey;
    bool success;
};

class SuccessRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(SuccessRuleTest, DecidesFromTheResultRecord) {
    const RuleCase& c = GetParam();
    ScsiDeviceProbe device{AccessorTransfer()};
    device.record().result.code = c.code;
    device.record().result.detail = 12;
    device.record().sense.valid = c.valid;
    device.record().sense.status = c.status;
    device.record().sense.senseKey = c.senseKey;
    EXPECT_EQ(c.success, device.success());
    EXPECT_EQ(c.success, device.lastCommandSuccess());
}

INSTANTIATE_TEST_SUITE_P(
    Rule, SuccessRuleTest,
    ::testing::Values(
        RuleCase{0, 0, 0x02, 5, true},   // code 0 alone decides
        RuleCase{0, 1, 0x00, 0, true},
        RuleCase{1, 1, 0x00, 0, true},   // valid, status GOOD
        RuleCase{1, 1, 0x02, 1, true},   // CHECK CONDITION, RECOVERED ERROR
        RuleCase{1, 1, 0x02, 0, false},  // CHECK CONDITION without sense
        RuleCase{1, 1, 0x02, 5, false},
        RuleCase{1, 0, 0x02, 1, false},  // summary rejected
        RuleCase{1, 0, 0x00, 0, false},
        RuleCase{1, 1, 0x08, 0, false},  // BUSY
        RuleCase{1, 1, 0x22, 1, false},  // status is compared as a whole byte
        RuleCase{1, 1, 0x18, 1, false},
        RuleCase{2, 1, 0x00, 0, false}, RuleCase{3, 1, 0x00, 0, false},
        RuleCase{4, 1, 0x00, 0, false}, RuleCase{5, 1, 0x00, 0, false},
        RuleCase{6, 1, 0x00, 0, false}, RuleCase{7, 1, 0x00, 0, false},
        RuleCase{8, 1, 0x00, 0, false}, RuleCase{9, 1, 0x00, 0, false},
        RuleCase{-1, 1, 0x00, 0, false}));

// --- copies -----------------------------------------------------------------

TEST_F(DeviceRoadTest, CopiesShareOneAccessorAndKeepTheirOwnResults) {
    model->on(ModelAnswer::checkCondition({0x00}, fixedSense(0x02, 0x3A, 0x00)).times(1));
    model->on(ModelAnswer::good({0x00}));
    std::unique_ptr<ScsiDeviceProbe> first(new ScsiDeviceProbe(ModelAccessor::transfer(model)));
    first->setDefaultTimeoutMs(7000);
    EXPECT_FALSE(testUnitReady(*first));
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, first->getLastResult().code);

    ScsiDeviceProbe copy(*first);
    EXPECT_EQ(1, model->accessorsAlive);
    EXPECT_EQ(7000u, copy.defaultTimeoutMs());
    EXPECT_EQ(0, std::memcmp(&first->getResultData(), &copy.getResultData(), sizeof(command_result_info)));

    EXPECT_TRUE(testUnitReady(copy));
    EXPECT_EQ(CMD_RESULT_OK, copy.getLastResult().code);
    EXPECT_EQ(0x00, copy.getLastSense().status);
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, first->getLastResult().code);
    EXPECT_EQ(0x02, first->getLastSense().status);

    first.reset();
    EXPECT_EQ(1, model->accessorsAlive);
    EXPECT_TRUE(testUnitReady(copy));
    EXPECT_EQ(3u, model->commands().size());
    EXPECT_EQ(7000u, model->lastCommand().timeout);
}

TEST_F(DeviceRoadTest, AccessorGoesWithTheLastDevice) {
    {
        ScsiDevice a(ModelAccessor::transfer(model));
        {
            ScsiDevice b(a);
            ScsiDevice c(b);
            EXPECT_EQ(1, model->accessorsAlive);
        }
        EXPECT_EQ(1, model->accessorsAlive);
    }
    EXPECT_EQ(0, model->accessorsAlive);
}

TEST_F(DeviceRoadTest, AssignmentSharesTheOtherAccessor) {
    ModelDevicePtr other = std::make_shared<ModelScsiDevice>();
    other->on(ModelAnswer::good({0x00}));
    ScsiDeviceProbe target(ModelAccessor::transfer(model));
    ScsiDeviceProbe source(ModelAccessor::transfer(other));
    source.setDefaultTimeoutMs(9000);
    EXPECT_TRUE(testUnitReady(source));

    target = source;
    EXPECT_EQ(0, model->accessorsAlive);  // the target held the last use
    EXPECT_EQ(1, other->accessorsAlive);
    EXPECT_EQ(9000u, target.defaultTimeoutMs());
    EXPECT_EQ(0, std::memcmp(&source.getResultData(), &target.getResultData(), sizeof(command_result_info)));

    target = source;  // already sharing: nothing changes
    ScsiDevice& self = target;
    self = target;
    EXPECT_EQ(1, other->accessorsAlive);
    EXPECT_TRUE(testUnitReady(target));
    EXPECT_EQ(2u, other->commands().size());
    EXPECT_TRUE(model->commands().empty());
}

TEST_F(DeviceRoadTest, DerivedDeviceBuildsOnACopy) {
    ScsiDevice base(ModelAccessor::transfer(model));
    ScsiDeviceProbe derived(base);
    EXPECT_EQ(1, model->accessorsAlive);
    model->on(ModelAnswer::good({0x00}));
    EXPECT_TRUE(testUnitReady(derived));
    EXPECT_EQ(1u, model->commands().size());
}

// --- the sense buffer copy --------------------------------------------------

class SenseBufferTest : public DeviceRoadTest {
protected:
    void SetUp() override {
        Bytes sense = fixedSense(0x05, 0x24, 0x00, 252);
        for (std::size_t i = 18; i < sense.size(); ++i)
            sense[i] = static_cast<unsigned char>(i);
        model->on(ModelAnswer::checkCondition({0x00}, sense));
        device.reset(new ScsiDevice(ModelAccessor::transfer(model)));
        testUnitReady(*device);
    }
    void expectSenseCopy(const qln::Buffer<unsigned char>& buffer) {
        ASSERT_EQ(252u, buffer.getLength());
        EXPECT_EQ(0, std::memcmp(buffer.getData(), device->getResultData().senseBuffer, 252));
    }
    std::unique_ptr<ScsiDevice> device;
};

TEST_F(SenseBufferTest, ReusesAnOwnedBlockOfThreeHundredBytes) {
    qln::Buffer<unsigned char> buffer(300);
    const unsigned char* block = buffer.getData();
    device->getSenseBuffer(buffer);
    expectSenseCopy(buffer);
    EXPECT_EQ(block, buffer.getData());
    EXPECT_EQ(300u, buffer.getCapacity());
}

TEST_F(SenseBufferTest, ReplacesBlocksOutsideTheReuseRange) {
    struct Case {
        std::size_t capacity;
        bool kept;
    } cases[] = {{0, false}, {251, false}, {252, true}, {503, true}, {504, false}, {600, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capacity);
        qln::Buffer<unsigned char> buffer(c.capacity);
        const unsigned char* block = buffer.getData();
        device->getSenseBuffer(buffer);
        expectSenseCopy(buffer);
        EXPECT_EQ(c.kept ? c.capacity : 252u, buffer.getCapacity());
        if (c.kept) {
            EXPECT_EQ(block, buffer.getData());
        }
    }
}

TEST_F(SenseBufferTest, DoesNotWriteIntoWrappedMemory) {
    unsigned char foreign[300];
    std::memset(foreign, 0xCC, sizeof(foreign));
    qln::Buffer<unsigned char> buffer(foreign, sizeof(foreign));
    device->getSenseBuffer(buffer);
    expectSenseCopy(buffer);
    EXPECT_NE(foreign, buffer.getData());
    EXPECT_EQ(252u, buffer.getCapacity());
    for (unsigned char b : foreign)
        ASSERT_EQ(0xCC, b);
}

TEST_F(SenseBufferTest, NullDeviceEmptiesTheBuffer) {
    // As the exported function table may call it: the member with a null device.
    void (ScsiDevice::*getSense)(qln::Buffer<unsigned char>&) = &ScsiDevice::getSenseBuffer;
    ScsiDevice* volatile none = nullptr;
    qln::Buffer<unsigned char> buffer(300);
    (none->*getSense)(buffer);
    EXPECT_EQ(nullptr, buffer.getData());
    EXPECT_EQ(0u, buffer.getLength());
    EXPECT_EQ(0u, buffer.getCapacity());
}

}  // namespace
