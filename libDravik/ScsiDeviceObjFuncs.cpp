#include "ScsiDeviceObjFuncs.h"

#include <cstring>

namespace {

DravikScsiDevice* __cdecl createScsiDevice(const DravikSharedFileHandle& fileHandle) {
    return new scsi::ScsiDevice(fileHandle);
}

void __cdecl destroyScsiDevice(DravikScsiDevice* device) {
    delete device;
}

DravikScsiDevice* __cdecl copyScsiDevice(const DravikScsiDevice* device) {
    // A C caller may hand over whatever it holds; there is nothing to copy.
    return device != nullptr ? new scsi::ScsiDevice(*device) : nullptr;
}

typedef decltype(ScsiDeviceObjFuncs_v2_t::send_scsi_cmd) SendEntry;
typedef decltype(ScsiDeviceObjFuncs_v2_t::getSenseBuffer) SenseBufferEntry;
typedef decltype(ScsiDeviceObjFuncs_v2_t::getResultData) ResultDataEntry;

}  // namespace

// Three entries are the members themselves, called with the device as the
// object. GCC turns a member constant into its code address at compile time;
// elsewhere the first word of the member pointer is that address (a member
// of a class without virtual bases or virtual functions).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpmf-conversions"
#define DRAVIK_MEMBER_ENTRY(Entry, member) ((Entry)(member))
#else
namespace {
template <class Entry, class Member>
Entry memberEntry(Member member) {
    static_assert(sizeof(Member) >= sizeof(Entry), "a member pointer starts with the code address");
    Entry entry;
    std::memcpy(&entry, &member, sizeof(entry));
    return entry;
}
}  // namespace
#define DRAVIK_MEMBER_ENTRY(Entry, member) (memberEntry<Entry>(member))
#endif

extern "C" const ScsiDeviceObjFuncs_v2_t ScsiDeviceObjFuncs_v2 = {
    createScsiDevice,
    destroyScsiDevice,
    DRAVIK_MEMBER_ENTRY(SendEntry, &scsi::ScsiDevice::send_scsi_cmd),
    DRAVIK_MEMBER_ENTRY(SenseBufferEntry, &scsi::ScsiDevice::getSenseBuffer),
    copyScsiDevice,
    DRAVIK_MEMBER_ENTRY(ResultDataEntry, &scsi::ScsiDevice::getResultData),
};
