// Facts that an open storage device answers through its control codes: floppy
// media, the storage device number, the storage device descriptor and its
// texts, the geometry and the length. Every request is synchronous and the
// functions keep no state of their own.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include "qln/Buffer.h"
#include "qln/Config.h"
#include "qln/String.h"

// The holders, with the complete device that the drive holder destroys.
#include "WindowsDevice.h"

namespace libFennick {

// True when the first media type the device reports is a classic floppy
// format (F5_1Pt2_512 to F5_160_512); later floppy types do not count.
bool isFloppyMedia(const SharedDeviceHandle& handle);

// Fills `number`. A floppy drive without a device number is reported as a
// disk with device number 0xFFFFFFFF (the partition number stays as given).
bool getDeviceNumber(const SharedDeviceHandle& handle, STORAGE_DEVICE_NUMBER& number);

// Reads the whole storage device descriptor into a new buffer of `holder`.
// When the device reports no usable descriptor the holder keeps what it held;
// when the full read fails the holder is left empty.
bool getStorageDeviceDescriptor(const SharedDeviceHandle& handle, SharedDescriptorBuffer& holder);

// Stores in `text` the NUL-terminated 8-bit text at `offset` of a descriptor.
// Offset 0 means no such text; an offset outside the buffer or a text without
// its NUL inside the buffer leaves `text` alone.
void getDescriptorString(const qln::Buffer<unsigned char>& descriptor, qln::Uint32 offset,
                         qln::String& text);

// Fills `geometry` (zeroed first); true when the device answered.
bool getDriveGeometry(const SharedDeviceHandle& handle, DISK_GEOMETRY& geometry);

// The length in bytes, from the length request or else from the geometry
// (a product taken modulo 2^64); 0 when neither answers.
qln::Uint64 getDiskLength(const SharedDeviceHandle& handle);

}  // namespace libFennick
