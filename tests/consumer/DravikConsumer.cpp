// A program on the installed Dravik package: opens a device path, sends TEST
// UNIT READY and prints the device's error line, then the versions of the
// package it was built against and of the DLLs it loaded.
//
//   dravik_consumer [device path]      (default \\.\CdRom0)
#include <windows.h>

#include <cstdio>
#include <vector>

#include "ScsiSPCDevice.h"
#include "qln/String.h"

namespace {

// The file version of a loaded module as a.b.c.d, or "none".
void printVersion(const wchar_t* module) {
    wchar_t path[MAX_PATH];
    HMODULE handle = GetModuleHandleW(module);
    DWORD length = handle ? GetModuleFileNameW(handle, path, MAX_PATH) : 0;
    DWORD size = (length && length < MAX_PATH) ? GetFileVersionInfoSizeW(path, nullptr) : 0;
    std::vector<unsigned char> data(size ? size : 1);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!size || !GetFileVersionInfoW(path, 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        infoSize < sizeof(VS_FIXEDFILEINFO)) {
        std::printf("%ls version: none\n", module);
        return;
    }
    std::printf("%ls version: %lu.%lu.%lu.%lu\n", module,
                static_cast<unsigned long>(HIWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(LOWORD(info->dwFileVersionMS)),
                static_cast<unsigned long>(HIWORD(info->dwFileVersionLS)),
                static_cast<unsigned long>(LOWORD(info->dwFileVersionLS)));
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "\\\\.\\CdRom0";
    qln::SharedFileHandle handle = scsi::ScsiDevice::openScsiDevice(
        path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    std::printf("%s: %s\n", path, handle.isValid() ? "opened" : "cannot be opened");

    scsi::ScsiSPCDevice device(handle);
    const bool ready = device.testUnitReady();
    std::printf("TEST UNIT READY: %s\n", ready ? "succeeded" : "failed");
    qln::CString error = device.getLastErrStr().getLowerByteString();
    std::printf("last error: %s\n", error.c_str());

    std::printf("package version: %s\n", DRAVIK_PACKAGE_VERSION);
    printVersion(L"Dravik.dll");
    printVersion(L"Ambrel.dll");
    return 0;
}
