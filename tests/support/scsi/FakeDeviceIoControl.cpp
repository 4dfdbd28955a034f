#include "FakeDeviceIoControl.h"

#include <algorithm>
#include <cstring>

namespace scsi {
namespace test {

namespace {

const DWORD kSenseArea = 252;
const DWORD kMinDataArea = 256;

typedef BOOL(WINAPI* DeviceIoControlFn)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD,
                                        LPOVERLAPPED);

BOOL refuse(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

FakeDeviceIoControl* FakeDeviceIoControl::active_ = nullptr;

FakeDeviceIoControl::FakeDeviceIoControl(const wchar_t* module)
    : patch_(GetModuleHandleW(module), "kernel32.dll", "DeviceIoControl",
             reinterpret_cast<void*>(&FakeDeviceIoControl::fake)),
      addressRequests_(0),
      previous_(active_) {
    active_ = this;
}

FakeDeviceIoControl::~FakeDeviceIoControl() {
    active_ = previous_;
}

qln::SharedFileHandle FakeDeviceIoControl::makeHandle(const ModelDevicePtr& model) {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    attach(handle, model);
    return qln::SharedFileHandle(static_cast<qln::Handle>(handle));
}

void FakeDeviceIoControl::attach(HANDLE handle, const ModelDevicePtr& model) {
    devices_[handle] = model;
}

DWORD FakeDeviceIoControl::requestSizeFor(DWORD dataLen) {
    return static_cast<DWORD>(sizeof(SCSI_PASS_THROUGH)) + kSenseArea + std::max(dataLen, kMinDataArea);
}

::testing::AssertionResult FakeDeviceIoControl::wellFormed(const PassThroughRequest& r) {
    const DWORD header = sizeof(SCSI_PASS_THROUGH);
    const DWORD size = requestSizeFor(r.header.DataTransferLength);
    if (r.controlCode != 0x4D004)
        return ::testing::AssertionFailure() << "control code " << std::hex << r.controlCode;
    if (!r.sameBuffer)
        return ::testing::AssertionFailure() << "input and output are different buffers";
    if (r.inSize != size || r.outSize != size)
        return ::testing::AssertionFailure() << "sizes " << r.inSize << "/" << r.outSize
                                             << ", expected " << size << " for both";
    if (r.overlapped)
        return ::testing::AssertionFailure() << "an OVERLAPPED structure was passed";
    if (!r.bytesReturned)
        return ::testing::AssertionFailure() << "no byte-count output";
    if (r.header.Length != header)
        return ::testing::AssertionFailure() << "Length " << r.header.Length;
    if (r.header.SenseInfoLength != kSenseArea)
        return ::testing::AssertionFailure() << "SenseInfoLength " << int(r.header.SenseInfoLength);
    if (r.header.SenseInfoOffset != header)
        return ::testing::AssertionFailure() << "SenseInfoOffset " << r.header.SenseInfoOffset;
    if (r.header.DataBufferOffset != header + kSenseArea)
        return ::testing::AssertionFailure() << "DataBufferOffset " << r.header.DataBufferOffset;
    if (r.header.ScsiStatus || r.header.PathId || r.header.TargetId || r.header.Lun)
        return ::testing::AssertionFailure() << "status or address fields set";
    return ::testing::AssertionSuccess();
}

BOOL WINAPI FakeDeviceIoControl::fake(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                      DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    FakeDeviceIoControl* self = active_;
    if (self != nullptr) {
        std::map<HANDLE, ModelDevicePtr>::iterator it = self->devices_.find(handle);
        if (it != self->devices_.end()) {
            if (code == IOCTL_SCSI_PASS_THROUGH || code == 0x4D004)
                return self->passThrough(it->second, in, inSize, out, outSize, returned, overlapped);
            if (code == IOCTL_SCSI_GET_ADDRESS)
                return self->address(it->second, in, inSize, out, outSize, returned, overlapped);
            return refuse(ERROR_INVALID_FUNCTION);
        }
        DeviceIoControlFn real = self->patch_.originalAs<DeviceIoControlFn>();
        return real(handle, code, in, inSize, out, outSize, returned, overlapped);
    }
    return refuse(ERROR_INVALID_FUNCTION);
}

BOOL FakeDeviceIoControl::passThrough(const ModelDevicePtr& model, LPVOID in, DWORD inSize,
                                      LPVOID out, DWORD outSize, LPDWORD returned,
                                      LPOVERLAPPED overlapped) {
    PassThroughRequest request;
    request.controlCode = IOCTL_SCSI_PASS_THROUGH;
    request.sameBuffer = in != nullptr && in == out;
    request.inSize = inSize;
    request.outSize = outSize;
    request.overlapped = overlapped != nullptr;
    request.bytesReturned = returned != nullptr;
    if (in == nullptr || inSize < sizeof(SCSI_PASS_THROUGH)) {
        requests_.push_back(request);
        return refuse(ERROR_INVALID_PARAMETER);
    }
    std::memcpy(&request.header, in, sizeof(SCSI_PASS_THROUGH));
    const SCSI_PASS_THROUGH& h = request.header;
    const BYTE* input = static_cast<const BYTE*>(in);
    if (h.DataBufferOffset <= inSize && h.DataTransferLength <= inSize - h.DataBufferOffset)
        request.dataSent.assign(input + h.DataBufferOffset,
                                input + h.DataBufferOffset + h.DataTransferLength);
    requests_.push_back(request);

    // What a driver refuses.
    const DWORD work = std::max(inSize, outSize);
    if (h.Length != sizeof(SCSI_PASS_THROUGH) || h.CdbLength > 16 || out == nullptr ||
        h.SenseInfoOffset > outSize || h.SenseInfoLength > outSize - h.SenseInfoOffset ||
        h.DataBufferOffset > work || h.DataTransferLength > work - h.DataBufferOffset)
        return refuse(ERROR_INVALID_PARAMETER);

    // Buffered I/O: the driver works on a system copy of the input.
    std::vector<BYTE> copy(input, input + inSize);
    copy.resize(work, 0);
    SCSI_PASS_THROUGH* answer = reinterpret_cast<SCSI_PASS_THROUGH*>(copy.data());
    ModelOutcome outcome =
        model->execute(h.Cdb, h.CdbLength, request.dataSent.data(), copy.data() + h.DataBufferOffset,
                       work - static_cast<DWORD>(h.DataBufferOffset), h.DataTransferLength,
                       static_cast<DXFER_DIRECTION>(h.DataIn), h.TimeOutValue);
    if (outcome.transportCode != 0)
        return refuse(outcome.transportDetail);

    answer->ScsiStatus = outcome.status;
    const std::size_t senseBytes =
        std::min<std::size_t>(outcome.sense.size(), work - h.SenseInfoOffset);
    if (senseBytes)
        std::memcpy(copy.data() + h.SenseInfoOffset, outcome.sense.data(), senseBytes);
    answer->SenseInfoLength = static_cast<UCHAR>(outcome.reportedSenseLength);
    answer->DataTransferLength = outcome.transferred;

    std::memcpy(out, copy.data(), outSize);
    if (returned)
        *returned = outSize;
    return TRUE;
}

BOOL FakeDeviceIoControl::address(const ModelDevicePtr& model, LPVOID in, DWORD inSize, LPVOID out,
                                  DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    ++addressRequests_;
    lastAddress_ = AddressRequest();
    lastAddress_.input = in != nullptr || inSize != 0;
    lastAddress_.outSize = outSize;
    lastAddress_.overlapped = overlapped != nullptr;
    if (out != nullptr && outSize >= sizeof(SCSI_ADDRESS))
        std::memcpy(&lastAddress_.record, out, sizeof(SCSI_ADDRESS));
    if (in != nullptr || inSize != 0 || out == nullptr || outSize < sizeof(SCSI_ADDRESS))
        return refuse(ERROR_INVALID_PARAMETER);
    if (!model->hasAddress)
        return refuse(model->addressError);
    SCSI_ADDRESS* a = static_cast<SCSI_ADDRESS*>(out);
    a->Length = sizeof(SCSI_ADDRESS);
    a->PortNumber = model->address.portNumber;
    a->PathId = model->address.pathId;
    a->TargetId = model->address.targetId;
    a->Lun = model->address.lun;
    if (returned)
        *returned = sizeof(SCSI_ADDRESS);
    return TRUE;
}

}  // namespace test
}  // namespace scsi
