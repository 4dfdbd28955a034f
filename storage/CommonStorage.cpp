#include "CommonStorage.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "qln/Format.h"
#include "qln/Log.h"
#include "qln/System.h"

namespace libFennick {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libFennick.CommonStorage";

static_assert(IOCTL_DISK_GET_MEDIA_TYPES == 0x70C00, "media types control code");
static_assert(IOCTL_STORAGE_GET_DEVICE_NUMBER == 0x2D1080, "device number control code");
static_assert(IOCTL_STORAGE_QUERY_PROPERTY == 0x2D1400, "query property control code");
static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY == 0x70000, "drive geometry control code");
static_assert(IOCTL_DISK_GET_LENGTH_INFO == 0x7405C, "length control code");
static_assert(sizeof(STORAGE_DEVICE_NUMBER) == 12, "device number record");
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12, "property query record");
static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40, "fixed part of the descriptor");
static_assert(sizeof(DISK_GEOMETRY) == 24, "geometry record");
static_assert(sizeof(GET_LENGTH_INFORMATION) == 8, "length record");

// Room for the media types a drive may list.
const DWORD kMediaTypeCount = 20;
// Real descriptors take a few hundred bytes. A larger Size is a faulty
// answer, and allocating it could fail or hold gigabytes for the drive's life.
const DWORD kMaxDescriptorBytes = 65536;

HANDLE deviceOf(const SharedDeviceHandle& handle) {
    return static_cast<HANDLE>(handle.get());
}

// One synchronous request; `returned` is the byte count the device wrote.
bool request(const SharedDeviceHandle& handle, DWORD code, void* input, DWORD inputSize,
             void* output, DWORD outputSize, DWORD& returned) {
    returned = 0;
    return DeviceIoControl(deviceOf(handle), code, input, inputSize, output, outputSize, &returned,
                           nullptr) != FALSE;
}

}  // namespace

bool isFloppyMedia(const SharedDeviceHandle& handle) {
    DISK_GEOMETRY media[kMediaTypeCount];
    std::memset(media, 0, sizeof(media));
    DWORD returned = 0;
    if (!request(handle, IOCTL_DISK_GET_MEDIA_TYPES, nullptr, 0, media, sizeof(media), returned) ||
        returned == 0)
        return false;
    const DWORD type = static_cast<DWORD>(media[0].MediaType);
    return type >= static_cast<DWORD>(F5_1Pt2_512) && type <= static_cast<DWORD>(F5_160_512);
}

bool getDeviceNumber(const SharedDeviceHandle& handle, STORAGE_DEVICE_NUMBER& number) {
    DWORD returned = 0;
    if (request(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof(number),
                returned))
        return true;
    const DWORD error = GetLastError();
    if (isFloppyMedia(handle)) {
        number.DeviceType = FILE_DEVICE_DISK;
        number.DeviceNumber = 0xFFFFFFFFu;
        return true;
    }
    QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
            "70 " + "Could not get device number - error: " + static_cast<unsigned long>(error));
    return false;
}

bool getStorageDeviceDescriptor(const SharedDeviceHandle& handle, SharedDescriptorBuffer& holder) {
    STORAGE_PROPERTY_QUERY query;
    std::memset(&query, 0, sizeof(query));
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;

    STORAGE_DEVICE_DESCRIPTOR probe;
    std::memset(&probe, 0, sizeof(probe));
    DWORD returned = 0;
    if (!request(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &probe,
                 sizeof(probe), returned) ||
        returned == 0)
        return false;
    // A size below the fixed part cannot hold the fields that name the texts;
    // one above the limit is no real descriptor.
    const DWORD size = probe.Size;
    if (size < sizeof(STORAGE_DEVICE_DESCRIPTOR) || size > kMaxDescriptorBytes)
        return false;

    // Built before the holder lets go of its buffer, so that a failed
    // allocation leaves the holder as it was; no exception leaves here.
    try {
        std::unique_ptr<qln::Buffer<unsigned char>> buffer(new qln::Buffer<unsigned char>(size));
        SharedDescriptorBuffer fresh(buffer.get());
        buffer.release();
        holder = fresh;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (request(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query),
                holder.get()->getData(), size, returned))
        return true;

    const DWORD error = GetLastError();
    QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
            "114 " + "getStorageDeviceDescriptor() error: " + static_cast<unsigned long>(error) +
                " - " + qln::System::getSystemErrorMsg(error, false));
    holder.release();
    return false;
}

void getDescriptorString(const qln::Buffer<unsigned char>& descriptor, qln::Uint32 offset,
                         qln::String& text) {
    if (offset == 0)
        return;
    const std::size_t length = descriptor.getLength();
    const unsigned char* data = descriptor.getData();
    for (std::size_t end = offset; end < length; ++end) {
        if (data[end] == 0) {
            text = qln::String(reinterpret_cast<const char*>(data + offset),
                               static_cast<qln::Uint32>(end - offset));
            return;
        }
    }
    QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
            "136 " +
                qln::SprintfFormat("String at offset %u is not terminated in buffer :\n",
                                   static_cast<unsigned int>(offset))
                    .toString() +
                qln::HexDumpFormat(data, static_cast<qln::Uint32>(length), 0, 0).toString());
}

bool getDriveGeometry(const SharedDeviceHandle& handle, DISK_GEOMETRY& geometry) {
    std::memset(&geometry, 0, sizeof(geometry));
    DWORD returned = 0;
    return request(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                   sizeof(geometry), returned) &&
           returned > 0;
}

qln::Uint64 getDiskLength(const SharedDeviceHandle& handle) {
    GET_LENGTH_INFORMATION length;
    std::memset(&length, 0, sizeof(length));
    DWORD returned = 0;
    if (request(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof(length),
                returned))
        return static_cast<qln::Uint64>(length.Length.QuadPart);

    DISK_GEOMETRY geometry;
    if (!getDriveGeometry(handle, geometry))
        return 0;
    qln::Uint64 bytes = static_cast<qln::Uint64>(geometry.BytesPerSector) *
                        static_cast<qln::Uint64>(geometry.SectorsPerTrack);
    bytes *= static_cast<qln::Uint64>(geometry.TracksPerCylinder);
    bytes *= static_cast<qln::Uint64>(geometry.Cylinders.QuadPart);
    return bytes;
}

}  // namespace libFennick
