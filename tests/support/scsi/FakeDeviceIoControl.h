// A fake DeviceIoControl patched into Dravik.dll's import table, so that the
// library's real pass-through accessor runs against a model device. It
// answers only for the handles attached to it (made by makeHandle) and passes
// every other handle to the real call. It keeps each request as the system
// would have received it, and refuses requests a driver would refuse.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "ImportPatch.h"
#include "ModelScsiDevice.h"
#include "qln/FileHandle.h"

namespace scsi {
namespace test {

// One pass-through request as it reached the fake.
struct PassThroughRequest {
    DWORD controlCode = 0;
    bool sameBuffer = false;       // one buffer as input and output
    DWORD inSize = 0;
    DWORD outSize = 0;
    bool overlapped = false;       // an OVERLAPPED structure was passed
    bool bytesReturned = false;    // a byte-count output was passed
    SCSI_PASS_THROUGH header = {};  // as sent
    Bytes dataSent;                // DataTransferLength bytes of the data area, as sent
};

// One address request as it reached the fake.
struct AddressRequest {
    bool input = false;            // an input buffer or input length was passed
    DWORD outSize = 0;
    bool overlapped = false;
    SCSI_ADDRESS record = {};      // the output record as the caller filled it
};

class FakeDeviceIoControl {
public:
    // Patches the import of the named module (Dravik.dll unless told).
    explicit FakeDeviceIoControl(const wchar_t* module = L"Dravik.dll");
    ~FakeDeviceIoControl();

    bool applied() const { return patch_.applied(); }

    // A real handle (an event object) that the model answers for. The holder
    // closes it with its last use, like a device handle.
    qln::SharedFileHandle makeHandle(const ModelDevicePtr& model);
    // Lets the model answer on a handle the test opened itself.
    void attach(HANDLE handle, const ModelDevicePtr& model);

    const std::vector<PassThroughRequest>& requests() const { return requests_; }
    const PassThroughRequest& lastRequest() const { return requests_.back(); }
    int addressRequests() const { return addressRequests_; }
    const AddressRequest& lastAddressRequest() const { return lastAddress_; }
    void clear() {
        requests_.clear();
        addressRequests_ = 0;
        lastAddress_ = AddressRequest();
    }

    // Size of the request buffer for dataLen bytes: header, 252 bytes of
    // sense area, max(dataLen, 256) bytes of data area.
    static DWORD requestSizeFor(DWORD dataLen);
    // Checks what every request must hold whatever the command.
    static ::testing::AssertionResult wellFormed(const PassThroughRequest& request);

private:
    FakeDeviceIoControl(const FakeDeviceIoControl&) = delete;
    FakeDeviceIoControl& operator=(const FakeDeviceIoControl&) = delete;

    static BOOL WINAPI fake(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                            DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
    BOOL passThrough(const ModelDevicePtr& model, LPVOID in, DWORD inSize, LPVOID out,
                     DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped);
    BOOL address(const ModelDevicePtr& model, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                 LPDWORD returned, LPOVERLAPPED overlapped);

    static FakeDeviceIoControl* active_;
    qln::test::ImportPatch patch_;
    std::map<HANDLE, ModelDevicePtr> devices_;
    std::vector<PassThroughRequest> requests_;
    int addressRequests_;
    AddressRequest lastAddress_;
    FakeDeviceIoControl* previous_;
};

}  // namespace test
}  // namespace scsi
