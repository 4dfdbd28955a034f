// Fixture of the multimedia device tests that run over both roads: the
// primary-command fixture with a multimedia device probe on the same model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "../spc/SpcTest.h"
#include "MmcDeviceProbe.h"

namespace scsi {
namespace test {

const wchar_t* const kMmcChannel = L"libDravik.ScsiMMCDevice";

// A multimedia device on the model: built from a primary-command device on
// the test transport, from the shared file handle on the pass-through.
template <class Param>
class MmcRoadTest : public SpcRoadTest<Param> {
protected:
    // The multimedia commands hand the caller's memory to the transport as
    // it is: here the transport zeroes what the drive did not send, as the
    // pass-through does.
    MmcRoadTest() { this->model->leavesCallerBytes = false; }
    void SetUp() override {
        SpcRoadTest<Param>::SetUp();
        mmc = this->road->template make<MmcDeviceProbe>();
    }
    std::unique_ptr<MmcDeviceProbe> mmc;
};

// One command method with its arguments; the pointer is the caller's
// memory (data, parameter list or answer record).
typedef std::function<bool(ScsiMMCDevice&, std::uint8_t*)> MmcCall;

// The success rule through `call`: CHECK CONDITION with RECOVERED ERROR
// counts as success, another sense key fails.
inline void expectSuccessRule(ModelScsiDevice& model, ScsiMMCDevice& mmc, const MmcCall& call,
                              std::uint8_t* buffer) {
    model.on(ModelAnswer::checkCondition({}, fixedSense(0x01, 0x17, 0x01)));
    EXPECT_TRUE(call(mmc, buffer));
    model.clearAnswers();
    model.on(ModelAnswer::checkCondition({}, fixedSense(0x02, 0x3A, 0x00)));
    EXPECT_FALSE(call(mmc, buffer));
    EXPECT_EQ(CMD_RESULT_SCSI_ERROR, mmc.getLastResult().code);
    EXPECT_EQ(2u, model.commands().size());
}

// Every command of `cases` (each with `name` and `call`) fails on a device
// without transport, and none reaches a transport.
template <class Case>
void expectEveryCallFailsWithoutAccessor(const std::vector<Case>& cases, std::size_t bufferSize) {
    MmcDeviceProbe lone{AccessorTransfer()};
    std::vector<std::uint8_t> buffer(bufferSize);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.call(lone, buffer.data()));
        EXPECT_EQ(CMD_RESULT_OK, lone.getLastResult().code);
    }
}

// The caller's buffer of `n` bytes at b, not owned.
inline qln::Buffer<unsigned char> bufferAt(std::uint8_t* b, std::size_t n) {
    return qln::Buffer<unsigned char>(b, n);
}

}  // namespace test
}  // namespace scsi
