// Fixture of the multimedia device tests that run over both roads: the
// primary-command fixture with a multimedia device probe on the same model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

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
    void SetUp() override {
        SpcRoadTest<Param>::SetUp();
        mmc = this->road->template make<MmcDeviceProbe>();
    }
    std::unique_ptr<MmcDeviceProbe> mmc;
};

// The caller's buffer of `n` bytes at b, not owned.
inline qln::Buffer<unsigned char> bufferAt(std::uint8_t* b, std::size_t n) {
    return qln::Buffer<unsigned char>(b, n);
}

}  // namespace test
}  // namespace scsi
