// What the test program and DravikTestAccessor.dll share. The program exports
// one site; the library finds it in the program's export table at each
// factory call, so the records outlive the library's unloading.
#pragma once

#include <string>
#include <vector>

#include "ModelScsiDevice.h"

namespace scsi {
namespace test {

struct AccessorSite {
    // The device the library's accessors answer from.
    ModelDevicePtr model;
    // The factory answers null.
    bool answerNull = false;
    // The accessors' clone answers null.
    bool failClone = false;
    // The tokens of every factory call, in order.
    std::vector<std::vector<std::wstring>> calls;
    // The file of every load of the library, in order: a copy under another
    // name records its own.
    std::vector<std::wstring> loads;
};

// Export name of the program's site and of the library's factory.
const char* const kAccessorSiteExport = "dravikAccessorSite";
const char* const kFactoryExport = "makeModelAccessor";
const wchar_t* const kAccessorLibrary = L"DravikTestAccessor.dll";

}  // namespace test
}  // namespace scsi
