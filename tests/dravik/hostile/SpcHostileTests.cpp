// The primary-command device against hostile answers: INQUIRY standard and
// VPD, the page lists, MODE SENSE, LOG SENSE and its users, REPORT LUNS,
// supported operation codes, the serial number, self-test and temperature.
#include <functional>

#include <gtest/gtest.h>

#include "GuardHeap.h"
#include "Hostile.h"
#include "ScsiSPCDevice.h"

using hostile::Generator;
using hostile::lengthOf;
using hostile::mostArrived;
using hostile::wholeDescriptors;
using qln::test::GuardedBuffer;
using scsi::ScsiSPCDevice;

namespace {

typedef hostile::MethodCase<ScsiSPCDevice> MethodCase;

const MethodCase kMethods[] = {
    {"inquiry into the caller's buffer",
     [](ScsiSPCDevice& device, Generator& g) {
         const std::uint16_t length = std::uint16_t(lengthOf(g, {0, 1, 4, 5, 36, 96, 255, 256}));
         const bool evpd = g.pick(2) == 0;
         GuardedBuffer buffer(length);
         device.inquiry(evpd ? 0x80 : 0x00, buffer.data(), length, evpd);
         EXPECT_TRUE(buffer.frontIntact());
     }},
    {"standard inquiry cache and its texts",
     [](ScsiSPCDevice& device, Generator&) {
         GuardedBuffer data(sizeof(scsi::scsi_inquiry_t));
         if (device.inquiry(reinterpret_cast<scsi::scsi_inquiry_t*>(data.data()), false)) {
             EXPECT_LE(device.getVendorId().size(), 8u);
             EXPECT_LE(device.getProductId().size(), 16u);
             EXPECT_LE(device.getProductRevision().size(), 4u);
             device.getVendorName();
         }
         EXPECT_TRUE(data.frontIntact());
     }},
    {"VPD page list",
     [](ScsiSPCDevice& device, Generator& g) {
         device.hasVPDPage(std::uint8_t(g.pick(256)), true);
         device.hasVPDPage(0x80, false);
     }},
    {"serial number",
     [](ScsiSPCDevice& device, Generator& g) {
         const qln::String serial = device.getSerialNumber(true);
         EXPECT_LE(serial.size(), wholeDescriptors(mostArrived(g, 0x12), 4, 1));
     }},
    {"log page list",
     [](ScsiSPCDevice& device, Generator& g) {
         qln::Array<qln::String> pages;
         if (device.availLogPages(pages)) {
             EXPECT_LE(pages.size(), wholeDescriptors(mostArrived(g, 0x4D), 4, 1));
         }
         device.hasLogPage(std::uint8_t(g.pick(0x41)));
     }},
    {"mode page list",
     [](ScsiSPCDevice& device, Generator& g) {
         device.hasModePage(std::uint8_t(g.pick(0x40)), std::uint8_t(g.pick(2) ? 0 : 0xFF),
                            g.pick(2) == 0, true);
     }},
    {"MODE SENSE(6) and (10) into the caller's buffer",
     [](ScsiSPCDevice& device, Generator& g) {
         if (g.pick(2) == 0) {
             const std::uint8_t length = std::uint8_t(lengthOf(g, {0, 1, 2, 12, 20, 255}));
             GuardedBuffer buffer(length);
             std::uint8_t total = 0;
             device.modeSense6(0x08, buffer.data(), length, 0, &total);
             EXPECT_TRUE(buffer.frontIntact());
         } else {
             const std::uint16_t length = std::uint16_t(lengthOf(g, {0, 1, 2, 20, 256, 4096}));
             GuardedBuffer buffer(length);
             std::uint16_t total = 0;
             device.modeSense10(0x3F, buffer.data(), length, 0xFF, &total);
             EXPECT_TRUE(buffer.frontIntact());
         }
     }},
    {"LOG SENSE into the caller's buffer",
     [](ScsiSPCDevice& device, Generator& g) {
         const std::uint16_t length = std::uint16_t(lengthOf(g, {0, 1, 4, 64, 404, 1024}));
         GuardedBuffer buffer(length);
         device.logSense(0x0D, buffer.data(), length, 0, 0);
         EXPECT_TRUE(buffer.frontIntact());
     }},
    {"REPORT LUNS",
     [](ScsiSPCDevice& device, Generator& g) {
         const std::uint32_t length = lengthOf(g, {16, 24, 100, 1024});
         GuardedBuffer buffer(length);
         device.reportLUNS(reinterpret_cast<scsi::spc_report_luns_data*>(buffer.data()), length,
                           scsi::SPC_REPORT_LUNS_ALL);
         EXPECT_TRUE(buffer.frontIntact());
     }},
    {"supported operation codes",
     [](ScsiSPCDevice& device, Generator& g) {
         qln::Array<scsi::spc_supported_opcode_descriptor> descriptors;
         if (device.reportSupportedOpCodes(0, 0, descriptors)) {
             EXPECT_LE(descriptors.size(), wholeDescriptors(mostArrived(g, 0xA3), 4, 8));
         }
         bool supported = false;
         device.isOpCodeAndServiceActionSupported(0x9E, 0x10, supported);
     }},
    {"REQUEST SENSE",
     [](ScsiSPCDevice& device, Generator&) {
         GuardedBuffer sense(252);
         device.requestSense(sense.data());
         EXPECT_TRUE(sense.frontIntact());
     }},
    {"self-test results and progress",
     [](ScsiSPCDevice& device, Generator&) {
         GuardedBuffer results(sizeof(scsi::self_test_log_parameter_t[20]));
         device.getSelfTestResults(
             reinterpret_cast<scsi::self_test_log_parameter_t(*)[20]>(results.data()), false);
         EXPECT_TRUE(results.frontIntact());
         std::int8_t percent = 0;
         device.isSelfTestRunning(&percent);
     }},
    {"temperature and ATA detection",
     [](ScsiSPCDevice& device, Generator&) {
         std::uint8_t temperature = 0;
         device.getTemperature(temperature);
         device.getMaxTemperature(temperature);
         device.isATADevice();
     }},
};

}  // namespace

TEST(HostileSpc, EveryParserStaysInsideWhatArrived) {
    hostile::forEachMethod<ScsiSPCDevice>(kMethods, [](ScsiSPCDevice& device) {
        // What the device keeps must be readable after any answer.
        ScsiSPCDevice copy(device);
        copy.getLastErrStr();
    });
}
