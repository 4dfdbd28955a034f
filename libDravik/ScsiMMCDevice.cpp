#include "ScsiMMCDevice.h"

#include <cstring>
#include <utility>

#include "ScsiMMCParsers.h"
#include "ScsiMMCTables.h"
#include "qln/Format.h"
#include "qln/Log.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiMMCDevice";

const std::uint8_t kGetConfiguration = 0x46;

// GET CONFIGURATION answers: 8-byte header, the Profile List's own 4-byte
// header, and the feature list's working buffer with the largest total read.
const std::size_t kConfigurationHeader = 8;
const std::size_t kProfileListHead = 12;
const std::size_t kFeatureBufferSize = 65536;
const std::size_t kFeatureListMaxTotal = 0xFFFA;
// length + 8 must fit the 16-bit allocation length.
const std::uint16_t kFeatureMaxLength = 0xFFFF - 8;

std::uint32_t be32At(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint16_t be16At(const unsigned char* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

qln::String decimal(std::uint32_t value) {
    return qln::QLNValue(value).toString(qln::QLNValue::nilValue);
}

typedef qln::Buffer<std::uint16_t> CodeList;

}  // namespace

// --- construction, copying, destruction -------------------------------------

ScsiMMCDevice::ScsiMMCDevice(qln::SharedFileHandle& fileHandle)
    : ScsiSPCDevice(fileHandle), featureList(), profileList() {
    defaultTimeout = MMC_DEFAULT_TIMEOUT_MS;
}

ScsiMMCDevice::ScsiMMCDevice(ScsiSPCDevice& device)
    : ScsiSPCDevice(device), featureList(), profileList() {
    defaultTimeout = MMC_DEFAULT_TIMEOUT_MS;
}

ScsiMMCDevice::ScsiMMCDevice(const ScsiMMCDevice& other)
    : ScsiSPCDevice(other), featureList(other.featureList), profileList(other.profileList) {}

ScsiMMCDevice::ScsiMMCDevice(ScsiMMCDevice&& other)
    : ScsiSPCDevice(std::move(other)),
      featureList(std::move(other.featureList)),
      profileList(std::move(other.profileList)) {}

ScsiMMCDevice& ScsiMMCDevice::operator=(const ScsiMMCDevice& other) {
    ScsiSPCDevice::operator=(other);
    featureList = other.featureList;
    profileList = other.profileList;
    return *this;
}

ScsiMMCDevice& ScsiMMCDevice::operator=(ScsiMMCDevice&& other) {
    ScsiSPCDevice::operator=(std::move(other));
    featureList = std::move(other.featureList);
    profileList = std::move(other.profileList);
    return *this;
}

ScsiMMCDevice::~ScsiMMCDevice() {
    profileList.reset();
    featureList.reset();
}

}  // namespace scsi

// --- features, profiles and their caches ------------------------------------

namespace scsi {

bool ScsiMMCDevice::getConfiguration(_MMC_FEATURES startingFeature,
                                     mmc_get_configuration_feature_list_hdr_t& header,
                                     std::uint16_t allocationLength, _MMC_GET_CONFIGURATION_RT_FIELD rt) {
    std::uint8_t cdb[10] = {kGetConfiguration};
    cdb[1] = static_cast<std::uint8_t>(rt & 0x03);
    cdb[2] = static_cast<std::uint8_t>((startingFeature >> 8) & 0xFF);
    cdb[3] = static_cast<std::uint8_t>(startingFeature & 0xFF);
    cdb[7] = static_cast<std::uint8_t>(allocationLength >> 8);
    cdb[8] = static_cast<std::uint8_t>(allocationLength & 0xFF);
    return send_scsi_cmd(cdb, sizeof(cdb), &header, allocationLength, DXFER_FROM_DEVICE, 0);
}

bool ScsiMMCDevice::getFeature(_MMC_FEATURES feature, mmc_feature_generic_t& descriptor, std::uint16_t length,
                               _MMC_GET_CONFIGURATION_RT_FIELD rt) {
    if (length < 4) {
        QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                "426 " + "The requested feature buffer is too small to store the generic feature descriptor");
        return false;
    }
    // The allocation length (length + 8) would not fit its 16-bit field.
    if (length > kFeatureMaxLength)
        return false;
    const std::uint16_t allocation = static_cast<std::uint16_t>(length + kConfigurationHeader);
    qln::Buffer<unsigned char> answer(allocation);
    unsigned char* bytes = answer.getData();
    if (!getConfiguration(feature, *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(bytes),
                          allocation, rt))
        return false;
    const std::uint32_t dataLength = be32At(bytes);
    if (dataLength < 4) {
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "441 " + qln::SprintfFormat("GET CONFIGURATION returned short buffer of size: %u bytes",
                                            static_cast<unsigned int>(dataLength)));
        return false;
    }
    if (be16At(bytes + kConfigurationHeader) != (static_cast<std::uint32_t>(feature) & 0xFFFF))
        return false;
    const std::uint32_t copy = dataLength - 4 < length ? dataLength - 4 : length;
    if (copy != 0)
        std::memcpy(&descriptor, bytes + kConfigurationHeader, copy);
    return true;
}

bool ScsiMMCDevice::hasFeature(_MMC_FEATURES feature, bool current) {
    if (current) {
        mmc_feature_generic_t descriptor;
        return getFeature(feature, descriptor, 4, MMC_GET_CONFIGURATION_RT_CURRENT);
    }
    if (!updateFeaturesList(false))
        return false;
    const CodeList& list = *featureList.get();
    const std::uint16_t code = static_cast<std::uint16_t>(feature & 0xFFFF);
    for (std::size_t i = 0; i < list.getLength(); ++i)
        if (list.getData()[i] == code)
            return true;
    return false;
}

bool ScsiMMCDevice::updateFeaturesList(bool force) {
    if (featureList.isValid() && !force)
        return true;
    featureList = CodeListHolder(new CodeList());
    qln::Buffer<unsigned char> work(kFeatureBufferSize);
    unsigned char* bytes = work.getData();
    mmc_get_configuration_feature_list_hdr_t& header =
        *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(bytes);
    bool read = false;
    if (getConfiguration(MMC_FEATURE_PROFILE_LIST, header, kConfigurationHeader, MMC_GET_CONFIGURATION_RT_ALL)) {
        const std::uint64_t total = std::uint64_t(be32At(bytes)) + 4;
        if (total <= kFeatureListMaxTotal &&
            getConfiguration(MMC_FEATURE_PROFILE_LIST, header, static_cast<std::uint16_t>(total),
                             MMC_GET_CONFIGURATION_RT_ALL) &&
            std::uint64_t(be32At(bytes)) + 4 == total) {
            CodeList& list = *featureList.get();
            // Every descriptor takes at least its 4-byte header.
            const std::size_t after = total > kConfigurationHeader ? static_cast<std::size_t>(total) - kConfigurationHeader : 0;
            list.resize(after / 4, false);
            const std::size_t count = mmc_parse::featureCodes(bytes, static_cast<std::size_t>(total),
                                                              list.getData(), list.getLength());
            list.resize(count, false);
            read = true;
        }
    }
    // A forced re-read that fails must not leave a list that counts as read.
    if (!read && force)
        featureList.reset();
    return read;
}

bool ScsiMMCDevice::updateProfilesList(bool force) {
    if (profileList.isValid() && !force)
        return true;
    profileList = CodeListHolder(new CodeList());
    qln::Buffer<unsigned char> answer(kProfileListHead);
    bool read = false;
    if (getConfiguration(MMC_FEATURE_PROFILE_LIST,
                         *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(answer.getData()),
                         kProfileListHead, MMC_GET_CONFIGURATION_RT_ALL)) {
        const std::uint32_t dataLength = be32At(answer.getData());
        if (dataLength < 8 || std::uint64_t(dataLength) + 4 > 0xFFFF) {
            QLN_LOG(s_logger, kChannel, qln::LOG_ERROR, "687 " + "Invalid buffer size returned: " + decimal(dataLength));
        } else {
            const std::uint16_t total = static_cast<std::uint16_t>(dataLength + 4);
            answer.resize(total, true);
            unsigned char* bytes = answer.getData();
            if (getConfiguration(MMC_FEATURE_PROFILE_LIST,
                                 *reinterpret_cast<mmc_get_configuration_feature_list_hdr_t*>(bytes), total,
                                 MMC_GET_CONFIGURATION_RT_ALL)) {
                const std::uint32_t newLength = be32At(bytes);
                if (newLength < 8 || newLength > dataLength) {
                    QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                            "698 " + "Invalid buffer size returned: " + decimal(newLength));
                } else {
                    CodeList& list = *profileList.get();
                    list.resize(bytes[11] / 4u, false);
                    // Only the profile descriptors inside the answer are read.
                    const std::size_t count = mmc_parse::profileNumbersReversed(bytes, total, list.getData(),
                                                                                list.getLength());
                    list.resize(count, false);
                    read = true;
                }
            }
        }
    }
    if (!read && force)
        profileList.reset();
    return read;
}

bool ScsiMMCDevice::getFeatures(qln::Array<_MMC_FEATURES>& features) {
    const bool read = updateFeaturesList(false);
    features = qln::Array<_MMC_FEATURES>();
    if (read) {
        const CodeList& list = *featureList.get();
        for (std::size_t i = 0; i < list.getLength(); ++i)
            features.append(static_cast<_MMC_FEATURES>(list.getData()[i]));
    }
    return read;
}

bool ScsiMMCDevice::getProfiles(qln::Array<_MMC_PROFILES>& profiles) {
    const bool read = updateProfilesList(false);
    profiles = qln::Array<_MMC_PROFILES>();
    if (read) {
        const CodeList& list = *profileList.get();
        for (std::size_t i = 0; i < list.getLength(); ++i)
            profiles.append(static_cast<_MMC_PROFILES>(list.getData()[i]));
    }
    return read;
}

bool ScsiMMCDevice::hasProfile(_MMC_PROFILES profile) {
    if (!updateProfilesList(false))
        return false;
    const CodeList& list = *profileList.get();
    const std::uint16_t number = static_cast<std::uint16_t>(profile & 0xFFFF);
    for (std::size_t i = 0; i < list.getLength(); ++i)
        if (list.getData()[i] == number)
            return true;
    return false;
}

const char* ScsiMMCDevice::getFeatureName(_MMC_FEATURES feature) {
    if (static_cast<std::int32_t>(feature) > 0xFFFF)
        return nullptr;
    const unsigned int code = static_cast<unsigned int>(feature) & 0xFFFF;
    const char* name = mmc_tables::featureName(static_cast<unsigned short>(code));
    if (name == nullptr)
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN, "597 " + qln::SprintfFormat("Unrecognized MMC feature: 0x%04X", code));
    return name;
}

const char* ScsiMMCDevice::getProfileName(_MMC_PROFILES profile) {
    if (static_cast<std::int32_t>(profile) > 0xFFFF)
        return nullptr;
    const unsigned int number = static_cast<unsigned int>(profile) & 0xFFFF;
    const char* name = mmc_tables::profileName(static_cast<unsigned short>(number));
    if (name == nullptr)
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN, "645 " + qln::SprintfFormat("Unrecognized MMC profile: 0x%04X", number));
    return name;
}

}  // namespace scsi
