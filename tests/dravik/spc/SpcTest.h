// Fixture of the primary-command device tests: a model device reached by the
// road of the test parameter, a device probe on it and the log capture.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "LogCapture.h"
#include "ModelRoads.h"
#include "ModelScsiDevice.h"
#include "SpcDeviceProbe.h"

namespace scsi {
namespace test {

inline Road roadOf(Road road) {
    return road;
}
template <class T>
Road roadOf(const std::tuple<Road, T>& param) {
    return std::get<0>(param);
}

const wchar_t* const kSpcChannel = L"libDravik.ScsiSPCDevice";
const wchar_t* const kSpcInfoChannel = L"libDravik.ScsiSPCDevice.Info";

// Standard INQUIRY data of `size` bytes (n + 5 unless told) with ADDITIONAL
// LENGTH n: a disk of vendor "QUILLON ", product "MODEL DISK 0001 ",
// revision "1.23", and no zero byte after the revision.
inline Bytes standardData(std::uint8_t n, std::size_t size = 0) {
    Bytes data(size ? size : n + 5u);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x80 | (i & 0x7F));
    const char ids[] = "QUILLON MODEL DISK 0001 1.23";
    for (std::size_t i = 0; i < 28 && 8 + i < data.size(); ++i)
        data[8 + i] = static_cast<std::uint8_t>(ids[i]);
    const std::uint8_t head[5] = {0x00, 0x00, 0x06, 0x02, n};
    for (std::size_t i = 0; i < 5 && i < data.size(); ++i)
        data[i] = head[i];
    return data;
}

template <class Param>
class SpcRoadTest : public qln::test::LogCaptureTest, public ::testing::WithParamInterface<Param> {
protected:
    // The test transport does not zero the caller's bytes, so every zero the
    // device promises past an answer must come from the device itself.
    SpcRoadTest() : model(std::make_shared<ModelScsiDevice>()) { model->leavesCallerBytes = true; }

    void SetUp() override {
        road.reset(new ModelRoad(roadOf(this->GetParam()), model));
        ASSERT_TRUE(road->ready());
        device = road->template make<SpcDeviceProbe>();
    }

    // Texts of the device's own messages, in order.
    std::vector<std::wstring> spcMessages() const { return messagesOn(kSpcChannel); }
    // Texts of its messages on the information channel, in order.
    std::vector<std::wstring> infoMessages() const { return messagesOn(kSpcInfoChannel); }
    std::vector<std::wstring> messagesOn(const wchar_t* channel) const {
        std::vector<std::wstring> texts;
        for (const qln::test::LogEntry& e : log.entries())
            if (e.channel == channel)
                texts.push_back(e.text);
        return texts;
    }
    // Level of the device's message that starts with `prefix`; 0 when none.
    int levelOf(const std::wstring& prefix) const {
        std::vector<qln::test::LogEntry> found = log.withPrefix(prefix, kSpcChannel);
        return found.empty() ? 0 : found[0].level;
    }
    // The device's messages are exactly `message` (none when null), at
    // `level`.
    ::testing::AssertionResult onlySpcMessage(const wchar_t* message, int level) const {
        std::vector<std::wstring> expected;
        if (message)
            expected.push_back(message);
        if (spcMessages() != expected)
            return ::testing::AssertionFailure() << "messages:\n" << log.dump();
        const int found = message ? levelOf(std::wstring(message).substr(0, 4)) : level;
        if (found != level)
            return ::testing::AssertionFailure() << "level " << found << " instead of " << level;
        return ::testing::AssertionSuccess();
    }
    std::vector<std::uint32_t> dataLengths() const {
        std::vector<std::uint32_t> lengths;
        for (const ModelCommand& c : model->commands())
            lengths.push_back(c.dataLen);
        return lengths;
    }

    ModelDevicePtr model;
    std::unique_ptr<ModelRoad> road;
    std::unique_ptr<SpcDeviceProbe> device;
};

typedef SpcRoadTest<Road> SpcTest;

// The one command the model received is the case's block, direction and
// data length, sent with `timeout` as the model records it.
template <class Case>
void expectSentAsTabled(const ModelScsiDevice& model, const Case& c, std::uint32_t timeout) {
    ASSERT_EQ(1u, model.commands().size());
    const ModelCommand& sent = model.lastCommand();
    EXPECT_EQ(c.cdb, sent.cdb);
    EXPECT_EQ(c.direction, sent.direction);
    EXPECT_EQ(c.dataLen, sent.dataLen);
    EXPECT_EQ(timeout, sent.timeout);
}

inline std::string paramName(Road road) {
    return roadName(road);
}
template <class T>
std::string paramName(const std::tuple<Road, T>& param) {
    return std::string(roadName(std::get<0>(param))) + "_" + std::get<1>(param).name;
}

struct ParamNamer {
    template <class P>
    std::string operator()(const ::testing::TestParamInfo<P>& info) const {
        return paramName(info.param);
    }
};

#define SPC_BOTH_ROADS ::testing::Values(::scsi::test::Road::TestAccessor, ::scsi::test::Road::PassThrough)

}  // namespace test
}  // namespace scsi
