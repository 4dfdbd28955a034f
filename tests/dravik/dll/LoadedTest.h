// Fixture of the loaded-accessor tests: the site the test accessor library
// answers from, a model device behind it, the log capture, and ways to look
// at a wrapper from outside.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AccessorSite.h"
#include "DLLScsiDeviceAccessor.h"
#include "LogCapture.h"
#include "ModelScsiDevice.h"
#include "ScsiDevice.h"
#include "ScsiDeviceProbe.h"

extern "C" __declspec(dllexport) scsi::test::AccessorSite dravikAccessorSite;

namespace scsi {
namespace test {

// The string that names the test library's factory, and its tokens.
const char* const kGoodString = "dll:DravikTestAccessor.dll:makeModelAccessor";
const std::vector<std::wstring> kGoodTokens = {L"dll", L"DravikTestAccessor.dll", L"makeModelAccessor"};

const wchar_t* const kDeviceChannel = L"libDravik.ScsiDevice";
const wchar_t* const kLoadedChannel = L"libDravik.DLLScsiDeviceAccessor";

inline bool accessorLibraryLoaded() {
    return GetModuleHandleW(kAccessorLibrary) != nullptr;
}

// The protected transport operations, called from outside as a device calls
// them (a member pointer named through a derived class reaches any accessor).
struct AccessorCalls : ScsiDeviceAccessor {
    static void send(ScsiDeviceAccessor& a, void* cdb, unsigned int cdbLen, void* data,
                     unsigned int dataLen, DXFER_DIRECTION direction, unsigned int timeoutMs,
                     command_result_info& result) {
        (a.*(&AccessorCalls::send_scsi_cmd))(cdb, cdbLen, data, dataLen, direction, timeoutMs, result);
    }
    static const char* name(const ScsiDeviceAccessor& a) { return (a.*(&AccessorCalls::vGetName))(); }
    static bool emulated(const ScsiDeviceAccessor& a) { return (a.*(&AccessorCalls::isEmulated))(); }
    static int reset(ScsiDeviceAccessor& a) { return (a.*(&AccessorCalls::doReset))(SCSI_RESET_BUS); }
    static bool address(const ScsiDeviceAccessor& a, scsi_idlun& out) {
        return (a.*(&AccessorCalls::getAddress))(out);
    }
    static unsigned int maxTransfer(const ScsiDeviceAccessor& a) {
        return (a.*(&AccessorCalls::getMaxXferSz))();
    }
    static bool driverText(const ScsiDeviceAccessor& a, unsigned int code, qln::String& out) {
        return (a.*(&AccessorCalls::getDriverErrStr))(code, out);
    }
    static const qln::SharedFileHandle& handle(const ScsiDeviceAccessor& a) {
        return (a.*(&AccessorCalls::getFileHandle))();
    }
    static bool hostText(const ScsiDeviceAccessor& a, unsigned int code, qln::String& out) {
        return (a.*(&AccessorCalls::getHostErrStr))(code, out);
    }
};

// The library holder of a wrapper: its second member after the base, by the
// class's fixed member order.
inline const SharedAccessorLibrary& libraryOf(const DLLScsiDeviceAccessor& wrapper) {
    const char* base = reinterpret_cast<const char*>(&wrapper);
    return *reinterpret_cast<const SharedAccessorLibrary*>(base + sizeof(ScsiDeviceAccessor) +
                                                           sizeof(AccessorTransfer));
}

// The wrapper a device holds, null when it holds another kind of transport.
inline DLLScsiDeviceAccessor* wrapperOf(const ScsiDevice& device) {
    ScsiDeviceProbe probe(device);
    return dynamic_cast<DLLScsiDeviceAccessor*>(probe.transport());
}

inline std::vector<std::wstring> tokensOf(const std::wstring& text) {
    std::vector<std::wstring> tokens;
    std::wstring piece;
    for (const wchar_t* p = text.c_str();; ++p) {
        if (*p == L':' || *p == 0) {
            tokens.push_back(piece);
            piece.clear();
            if (*p == 0)
                break;
        } else {
            piece.push_back(*p);
        }
    }
    return tokens;
}

class LoadedTest : public qln::test::LogCaptureTest {
protected:
    LoadedTest() : model(std::make_shared<ModelScsiDevice>()) {}

    void SetUp() override {
        ASSERT_FALSE(accessorLibraryLoaded()) << "a test before left the library loaded";
        dravikAccessorSite = AccessorSite();
        dravikAccessorSite.model = model;
    }
    void TearDown() override {
        dravikAccessorSite = AccessorSite();
        EXPECT_FALSE(accessorLibraryLoaded());
        EXPECT_EQ(0, model->accessorsAlive);
    }

    AccessorSite& site() { return dravikAccessorSite; }

    // The test library loaded by the test itself, in a holder of its own.
    static SharedAccessorLibrary loadLibrary() {
        SharedAccessorLibrary holder(new qln::DynamicLibrary(qln::String(kAccessorLibrary)));
        holder.get()->load();
        return holder;
    }
    // An accessor made by the library's factory, as a caller of
    // wrapExternalAccessor would make it.
    static AccessorTransfer makeWith(const SharedAccessorLibrary& library, const char* serialization) {
        ScsiDeviceAccessorFactory factory =
            reinterpret_cast<ScsiDeviceAccessorFactory>(library.get()->getSymbol(kFactoryExport));
        if (factory == nullptr)
            return AccessorTransfer();
        return AccessorTransfer(factory(qln::String(serialization).tokenize(":")));
    }

    ModelDevicePtr model;
};

}  // namespace test
}  // namespace scsi
