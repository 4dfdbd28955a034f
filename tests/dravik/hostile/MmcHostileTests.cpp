// The multimedia device against hostile answers: its interpreting commands,
// features and profiles, the table of contents, performance, format
// capacities and the sub-channel.
#include <functional>

#include <gtest/gtest.h>

#include "GuardHeap.h"
#include "Hostile.h"
#include "ScsiMMCDevice.h"

using hostile::Generator;
using hostile::lengthOf;
using hostile::MmcDeviceOnModel;
using hostile::mostArrived;
using hostile::wholeDescriptors;
using qln::test::GuardedBuffer;
using namespace scsi;

namespace {

typedef hostile::MethodCase<MmcDeviceOnModel> MethodCase;

const std::uint8_t kGetConfiguration = 0x46;
const std::uint8_t kReadToc = 0x43;
const std::uint8_t kGetPerformance = 0xAC;
const std::uint8_t kReadFormatCapacities = 0x23;

template <class Descriptor>
void checkToc(bool ok, const qln::Array<Descriptor>& elements, Generator& g) {
    if (ok) {
        EXPECT_LE(elements.size(), wholeDescriptors(mostArrived(g, kReadToc), 4, sizeof(Descriptor)));
    }
}

const MethodCase kMethods[] = {
    {"readCapacity and getCurrentProfile",
     [](MmcDeviceOnModel& device, Generator&) {
         std::uint32_t lastLba = 0;
         std::uint32_t blockLength = 0;
         device.readCapacity(lastLba, blockLength);
         device.getCurrentProfile();
     }},
    {"modeSense10 into the caller's buffer",
     [](MmcDeviceOnModel& device, Generator& g) {
         const std::uint16_t length = std::uint16_t(lengthOf(g, {0, 1, 8, 20, 256}));
         GuardedBuffer buffer(length);
         device.modeSense10(MMC_PAGE_CACHING, buffer.data(), length, MMC_PAGE_CONTROL_CURRENT);
         EXPECT_TRUE(buffer.frontIntact());
     }},
    {"getFeature into the caller's descriptor",
     [](MmcDeviceOnModel& device, Generator& g) {
         const std::uint16_t length = std::uint16_t(lengthOf(g, {4, 5, 8, 12, 256}));
         GuardedBuffer descriptor(length);
         device.getFeature(MMC_FEATURE_CORE, *reinterpret_cast<mmc_feature_generic_t*>(descriptor.data()),
                           length, MMC_GET_CONFIGURATION_RT_ONE);
         EXPECT_TRUE(descriptor.frontIntact());
         device.hasFeature(MMC_FEATURE_CORE, true);
     }},
    {"feature and profile lists",
     [](MmcDeviceOnModel& device, Generator& g) {
         qln::Array<_MMC_FEATURES> features;
         if (device.getFeatures(features)) {
             // Each listed feature is a whole 4-byte header inside the answer.
             EXPECT_LE(features.size(), wholeDescriptors(mostArrived(g, kGetConfiguration), 8, 4));
         }
         qln::Array<_MMC_PROFILES> profiles;
         if (device.getProfiles(profiles)) {
             EXPECT_LE(profiles.size(), wholeDescriptors(mostArrived(g, kGetConfiguration), 12, 4));
         }
         device.hasProfile(MMC_PROFILE_DVD_ROM);
         device.hasFeature(MMC_FEATURE_PROFILE_LIST, false);
     }},
    {"table of contents, every format",
     [](MmcDeviceOnModel& device, Generator& g) {
         mmc_toc_hdr_t header = {};
         switch (g.pick(6)) {
         case 0: {
             qln::Array<mmc_toc_fmt0h_trk_descriptor_t> tracks;
             checkToc(device.getTOCElements(tracks, g.pick(2) == 0, 1, &header), tracks, g);
             break;
         }
         case 1: {
             qln::Array<mmc_toc_fmt1h_trk_descriptor_t> sessions;
             checkToc(device.getTOCElements(sessions, false, &header), sessions, g);
             break;
         }
         case 2: {
             qln::Array<mmc_toc_fmt2h_trk_descriptor_t> entries;
             checkToc(device.getTOCElements(entries, 1, &header), entries, g);
             break;
         }
         case 3: {
             qln::Array<mmc_toc_fmt3h_trk_descriptor_t> entries;
             checkToc(device.getTOCElements(entries, &header), entries, g);
             break;
         }
         case 4: {
             qln::Array<mmc_toc_fmt4h_trk_descriptor_t> atip;
             checkToc(device.getTOCElements(atip, &header), atip, g);
             break;
         }
         default: {
             qln::Array<mmc_toc_fmt5h_trk_descriptor_t> packs;
             checkToc(device.getTOCElements(packs, nullptr), packs, g);
             break;
         }
         }
     }},
    {"performance: write speeds and nominal performance",
     [](MmcDeviceOnModel& device, Generator& g) {
         if (g.pick(2) == 0) {
             qln::Array<mmc_write_speed_desc_t> speeds;
             if (device.getPerformanceInfo(speeds)) {
                 EXPECT_LE(speeds.size(), wholeDescriptors(mostArrived(g, kGetPerformance), 8,
                                                           sizeof(mmc_write_speed_desc_t)));
             }
         } else {
             qln::Array<mmc_performance_nom_desc_t> performance;
             if (device.getPerformanceInfo(performance, 1 + g.pick(40), 0, g.pick(2) == 0)) {
                 EXPECT_LE(performance.size(), wholeDescriptors(mostArrived(g, kGetPerformance), 8,
                                                                sizeof(mmc_performance_nom_desc_t)));
             }
         }
     }},
    {"format capacities",
     [](MmcDeviceOnModel& device, Generator& g) {
         mmc_max_cap_desc_t current = {};
         qln::Array<mmc_format_cap_desc_t> formats;
         if (device.getFormatCapacities(current, formats)) {
             EXPECT_LE(formats.size(),
                       wholeDescriptors(mostArrived(g, kReadFormatCapacities), 4 + 8, 8));
         }
     }},
    {"sub-channel and disc information into the caller's memory",
     [](MmcDeviceOnModel& device, Generator& g) {
         qln::Buffer<unsigned char> buffer(lengthOf(g, {0, 4, 16, 24, 48}));
         device.readSubChannel(static_cast<_MMC_SUB_CHAN_PARM>(1 + g.pick(3)), buffer, true, false);
     }},
};

}  // namespace

TEST(HostileMmc, EveryParserStaysInsideWhatArrived) {
    hostile::forEachMethod<MmcDeviceOnModel>(kMethods, [](MmcDeviceOnModel& device) {
        ScsiMMCDevice copy(device);
        qln::Array<_MMC_FEATURES> features;
        copy.getFeatures(features);
        copy.getLastErrStr();
    });
}
