// The storage queries: real on the prefix's C: drive where Wine answers, and
// against a scripted device (opened by a path of the test's own, answered
// per control code) for the descriptor, media type and length answers that
// Wine does not give.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CommonStorage.h"
#include "LogCapture.h"
#include "ScriptedStorage.h"
#include "qln/Format.h"
#include "qln/System.h"

using libFennick::SharedDescriptorBuffer;
using libFennick::SharedDeviceHandle;
using namespace fennick_test;

namespace {
// The next array allocation of exactly this many bytes fails as if memory had
// run out (0: none); every other allocation of the program is served.
std::size_t s_failingArrayBytes = 0;
int s_failedArrays = 0;
}  // namespace

void* operator new[](std::size_t bytes) {
    if (bytes != 0 && bytes == s_failingArrayBytes) {
        s_failingArrayBytes = 0;
        ++s_failedArrays;
        throw std::bad_alloc();
    }
    return ::operator new(bytes);
}

namespace {

const wchar_t* const kChannel = L"libFennick.CommonStorage";

SharedDeviceHandle openDrive(const wchar_t* path) {
    qln::CreateFileOpenArgs args;
    args.path = path;
    args.desiredAccess = GENERIC_READ;
    args.shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE;
    args.creationDisposition = OPEN_EXISTING;
    args.flags = 0;
    return SharedDeviceHandle(args);
}

// ---------------------------------------------------------------------------
// Real answers of Wine's C: drive.

TEST(CommonStorageDrive, TheSystemDriveAnswersItsNumberGeometryAndLength) {
    SharedDeviceHandle drive = openDrive(L"\\\\.\\C:");
    ASSERT_TRUE(drive.isValid());

    STORAGE_DEVICE_NUMBER number;
    std::memset(&number, 0xCD, sizeof(number));
    EXPECT_TRUE(libFennick::getDeviceNumber(drive, number));
    EXPECT_EQ(static_cast<DWORD>(FILE_DEVICE_DISK), number.DeviceType);
    EXPECT_NE(0xCDCDCDCDu, number.DeviceNumber);

    DISK_GEOMETRY geometry;
    std::memset(&geometry, 0xCD, sizeof(geometry));
    ASSERT_TRUE(libFennick::getDriveGeometry(drive, geometry));
    EXPECT_GT(geometry.BytesPerSector, 0u);
    EXPECT_GT(geometry.Cylinders.QuadPart, 0);

    // Wine has no length request: the length comes from the geometry.
    const qln::Uint64 fromGeometry = static_cast<qln::Uint64>(geometry.BytesPerSector) *
                                     geometry.SectorsPerTrack * geometry.TracksPerCylinder *
                                     static_cast<qln::Uint64>(geometry.Cylinders.QuadPart);
    EXPECT_EQ(fromGeometry, libFennick::getDiskLength(drive));
    EXPECT_FALSE(libFennick::isFloppyMedia(drive));
}

TEST(CommonStorageDrive, AnEmptyHandleFailsEveryQuery) {
    qln::test::LogCapture log;
    SharedDeviceHandle none;

    EXPECT_FALSE(libFennick::isFloppyMedia(none));
    DISK_GEOMETRY geometry;
    EXPECT_FALSE(libFennick::getDriveGeometry(none, geometry));
    EXPECT_EQ(0u, libFennick::getDiskLength(none));
    SharedDescriptorBuffer descriptor;
    EXPECT_FALSE(libFennick::getStorageDeviceDescriptor(none, descriptor));
    EXPECT_FALSE(descriptor.isValid());
    EXPECT_TRUE(log.entries().empty()) << log.dump();

    STORAGE_DEVICE_NUMBER number;
    EXPECT_FALSE(libFennick::getDeviceNumber(none, number));
    const std::vector<qln::test::LogEntry> messages = log.withPrefix(L"70 ", kChannel);
    ASSERT_EQ(1u, messages.size()) << log.dump();
    EXPECT_EQ(3, messages[0].level);
    EXPECT_EQ(0u, messages[0].text.find(L"70 Could not get device number - error: ")) << log.dump();
}

// ---------------------------------------------------------------------------
// A scripted device.

const wchar_t* const kScriptedPath = L"\\\\?\\STORAGE#CommonStorageScripted";

class CommonStorageFake : public ::testing::Test {
protected:
    CommonStorageFake() : script(devices.add(kScriptedPath)) {}

    void SetUp() override {
        ASSERT_TRUE(devices.applied());
        device = openDrive(kScriptedPath);
        ASSERT_TRUE(device.isValid());
        devices.clearCalls();
    }

    void answer(DWORD code, const std::vector<unsigned char>& bytes) { script.answer(code, bytes); }
    void refuse(DWORD code, DWORD error) { script.refuse(code, error); }
    void answerMediaType(MEDIA_TYPE media) {
        answer(IOCTL_DISK_GET_MEDIA_TYPES, bytesOf(geometryOf(80, 2, 18, 512, media)));
    }
    const std::vector<IoCall>& calls() const { return devices.calls(); }

    std::vector<qln::test::LogEntry> messages(const wchar_t* prefix) const {
        return log.withPrefix(prefix, kChannel);
    }

    qln::test::LogCapture log;
    ScriptedDevices devices;
    ScriptedDevice& script;
    SharedDeviceHandle device;
};

// --- floppy media ----------------------------------------------------------

TEST_F(CommonStorageFake, OnlyTheClassicFloppyFormatsCountAsFloppyMedia) {
    const struct {
        MEDIA_TYPE media;
        bool floppy;
    } cases[] = {
        {Unknown, false},           {F5_1Pt2_512, true},   {F3_720_512, true},
        {F5_160_512, true},         {RemovableMedia, false}, {FixedMedia, false},
        {F3_120M_512, false},       {static_cast<MEDIA_TYPE>(25), false},
    };
    for (const auto& c : cases) {
        answerMediaType(c.media);
        EXPECT_EQ(c.floppy, libFennick::isFloppyMedia(device)) << "media type " << c.media;
    }
    ASSERT_FALSE(calls().empty());
    EXPECT_EQ(480u, calls().back().outputSize);
    EXPECT_TRUE(calls().back().input.empty());
}

TEST_F(CommonStorageFake, MediaTypesThatAreRefusedOrEmptyAreNoFloppy) {
    refuse(IOCTL_DISK_GET_MEDIA_TYPES, ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(libFennick::isFloppyMedia(device));
    answer(IOCTL_DISK_GET_MEDIA_TYPES, {});
    EXPECT_FALSE(libFennick::isFloppyMedia(device));
}

// --- device number ---------------------------------------------------------

TEST_F(CommonStorageFake, TheDeviceNumberIsTheDevicesRecord) {
    STORAGE_DEVICE_NUMBER answered = {FILE_DEVICE_CD_ROM, 3, 2};
    answer(IOCTL_STORAGE_GET_DEVICE_NUMBER, bytesOf(answered));
    STORAGE_DEVICE_NUMBER number;
    std::memset(&number, 0, sizeof(number));
    ASSERT_TRUE(libFennick::getDeviceNumber(device, number));
    EXPECT_EQ(static_cast<DWORD>(FILE_DEVICE_CD_ROM), number.DeviceType);
    EXPECT_EQ(3u, number.DeviceNumber);
    EXPECT_EQ(2u, number.PartitionNumber);
    EXPECT_EQ(12u, calls().at(0).outputSize);
    EXPECT_TRUE(log.entries().empty()) << log.dump();
}

TEST_F(CommonStorageFake, AFloppyDriveWithoutNumberIsADiskWithNoNumber) {
    refuse(IOCTL_STORAGE_GET_DEVICE_NUMBER, ERROR_NOT_SUPPORTED);
    answerMediaType(F3_1Pt44_512);
    STORAGE_DEVICE_NUMBER number = {FILE_DEVICE_TAPE, 5, 9};
    ASSERT_TRUE(libFennick::getDeviceNumber(device, number));
    EXPECT_EQ(static_cast<DWORD>(FILE_DEVICE_DISK), number.DeviceType);
    EXPECT_EQ(0xFFFFFFFFu, number.DeviceNumber);
    EXPECT_EQ(9u, number.PartitionNumber);
    EXPECT_TRUE(log.entries().empty()) << log.dump();
}

TEST_F(CommonStorageFake, AMissingNumberReportsTheErrorOfTheNumberRequest) {
    // The floppy check that follows fails with another code; the message
    // names the first one.
    refuse(IOCTL_STORAGE_GET_DEVICE_NUMBER, ERROR_NOT_SUPPORTED);
    refuse(IOCTL_DISK_GET_MEDIA_TYPES, ERROR_INVALID_FUNCTION);
    STORAGE_DEVICE_NUMBER number;
    EXPECT_FALSE(libFennick::getDeviceNumber(device, number));

    answerMediaType(F3_120M_512);
    EXPECT_FALSE(libFennick::getDeviceNumber(device, number));

    const std::vector<qln::test::LogEntry> found = messages(L"70 ");
    ASSERT_EQ(2u, found.size()) << log.dump();
    for (const qln::test::LogEntry& entry : found) {
        EXPECT_EQ(3, entry.level);
        EXPECT_EQ(L"70 Could not get device number - error: 50", entry.text);
    }
}

// --- storage device descriptor ---------------------------------------------

// A descriptor of `bytes` bytes whose Size field says `size`, with the four
// text offsets and texts written at their places.
struct Text {
    DWORD offset;
    std::string bytes;  // written as given, with no NUL added
};

std::vector<unsigned char> descriptorBytes(std::size_t bytes, DWORD size, DWORD vendor,
                                           DWORD product, DWORD revision, DWORD serial,
                                           const std::vector<Text>& texts = {}) {
    std::vector<unsigned char> raw(bytes < 40 ? 40 : bytes, 0);
    STORAGE_DEVICE_DESCRIPTOR fixed;
    std::memset(&fixed, 0, sizeof(fixed));
    fixed.Version = sizeof(fixed);
    fixed.Size = size;
    fixed.RemovableMedia = TRUE;
    fixed.VendorIdOffset = vendor;
    fixed.ProductIdOffset = product;
    fixed.ProductRevisionOffset = revision;
    fixed.SerialNumberOffset = serial;
    std::memcpy(raw.data(), &fixed, sizeof(fixed));
    for (const Text& text : texts)
        std::memcpy(raw.data() + text.offset, text.bytes.data(), text.bytes.size());
    raw.resize(bytes);
    return raw;
}

struct DescriptorTexts {
    qln::String vendor, product, revision, serial;
};

// Reads the four texts the way a drive does, over texts it already holds.
DescriptorTexts readTexts(const SharedDescriptorBuffer& holder) {
    DescriptorTexts texts{"old vendor", "old product", "old revision", "old serial"};
    const qln::Buffer<unsigned char>& buffer = *holder.get();
    STORAGE_DEVICE_DESCRIPTOR fixed;
    std::memcpy(&fixed, buffer.getData(), sizeof(fixed));
    libFennick::getDescriptorString(buffer, fixed.VendorIdOffset, texts.vendor);
    libFennick::getDescriptorString(buffer, fixed.ProductIdOffset, texts.product);
    libFennick::getDescriptorString(buffer, fixed.ProductRevisionOffset, texts.revision);
    libFennick::getDescriptorString(buffer, fixed.SerialNumberOffset, texts.serial);
    return texts;
}

std::wstring unterminatedMessage(DWORD offset, const qln::Buffer<unsigned char>& buffer) {
    const qln::String text =
        qln::String("136 String at offset ") + qln::String(std::to_string(offset).c_str()) +
        qln::String(" is not terminated in buffer :\n") +
        qln::HexDumpFormat(buffer.getData(), static_cast<qln::Uint32>(buffer.getLength()), 0, 0)
            .toString();
    return std::wstring(text.getUCS2Buffer());
}

TEST_F(CommonStorageFake, TheWholeDescriptorIsReadIntoABufferOfItsSize) {
    answer(IOCTL_STORAGE_QUERY_PROPERTY,
           descriptorBytes(90, 90, 40, 45, 0, 60,
                           {{40, std::string("VEND\0", 5)},
                            {45, std::string("Model 7\0", 8)},
                            {60, std::string("SN-0042\0", 8)}}));
    SharedDescriptorBuffer holder;
    ASSERT_TRUE(libFennick::getStorageDeviceDescriptor(device, holder));
    ASSERT_TRUE(holder.isValid());
    EXPECT_EQ(1, holder.useCount());
    EXPECT_EQ(90u, holder.get()->getLength());

    // The probe into the fixed part, then the full read; both ask the
    // standard query of the device property.
    ASSERT_EQ(2u, calls().size());
    EXPECT_EQ(40u, calls()[0].outputSize);
    EXPECT_EQ(90u, calls()[1].outputSize);
    for (const IoCall& call : calls()) {
        EXPECT_EQ(static_cast<DWORD>(IOCTL_STORAGE_QUERY_PROPERTY), call.code);
        EXPECT_EQ(std::vector<unsigned char>(12, 0), call.input);
    }

    const DescriptorTexts texts = readTexts(holder);
    EXPECT_EQ(qln::String("VEND"), texts.vendor);
    EXPECT_EQ(qln::String("Model 7"), texts.product);
    EXPECT_EQ(qln::String("old revision"), texts.revision);  // offset 0: no such text
    EXPECT_EQ(qln::String("SN-0042"), texts.serial);
    EXPECT_TRUE(log.entries().empty()) << log.dump();
}

TEST_F(CommonStorageFake, ADescriptorOfTheFixedPartAloneHasNoTexts) {
    answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorBytes(40, 40, 0, 0, 0, 0));
    SharedDescriptorBuffer holder;
    ASSERT_TRUE(libFennick::getStorageDeviceDescriptor(device, holder));
    EXPECT_EQ(40u, holder.get()->getLength());
    EXPECT_TRUE(holder.get()->getData()[offsetof(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia)] != 0);
    const DescriptorTexts texts = readTexts(holder);
    EXPECT_EQ(qln::String("old vendor"), texts.vendor);
    EXPECT_EQ(qln::String("old serial"), texts.serial);
    EXPECT_TRUE(log.entries().empty()) << log.dump();
}

// A Size below the fixed part cannot name the texts, and real descriptors take
// a few hundred bytes: outside 40 to 64 KiB the Size is refused before
// anything is allocated, and the holder keeps its buffer.
TEST_F(CommonStorageFake, ASizeOutside40BytesTo64KiBIsRefusedAndTheHolderKeepsItsBuffer) {
    const struct {
        const char* name;
        std::vector<unsigned char> probe;
        DWORD read;  // the Size of the full read; 0: refused
    } cases[] = {
        {"size 0", descriptorBytes(40, 0, 0, 0, 0, 0), 0},
        {"size 20", descriptorBytes(40, 20, 24, 28, 32, 36), 0},
        {"size 39", descriptorBytes(40, 39, 0, 0, 0, 0), 0},
        {"no bytes", {}, 0},
        {"size 40", descriptorBytes(40, 40, 0, 0, 0, 0), 40},
        {"size 65536", descriptorBytes(65536, 65536, 0, 0, 0, 0), 65536},
        {"size 65537", descriptorBytes(40, 65537, 0, 0, 0, 0), 0},
        {"size 1 MiB", descriptorBytes(40, 0x00100000, 0, 0, 0, 0), 0},
        {"size 7FFFFFFFh", descriptorBytes(40, 0x7FFFFFFF, 0, 0, 0, 0), 0},
        {"size C0000000h", descriptorBytes(40, 0xC0000000, 0, 0, 0, 0), 0},
        {"size FFFFFFFFh", descriptorBytes(40, 0xFFFFFFFF, 0, 0, 0, 0), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answer(IOCTL_STORAGE_QUERY_PROPERTY, c.probe);
        devices.clearCalls();
        qln::Buffer<unsigned char>* previous = new qln::Buffer<unsigned char>(7);
        SharedDescriptorBuffer holder(previous);
        SharedDescriptorBuffer other(holder);
        EXPECT_EQ(c.read != 0, libFennick::getStorageDeviceDescriptor(device, holder));
        if (c.read != 0) {
            ASSERT_EQ(2u, calls().size());
            EXPECT_EQ(c.read, calls()[1].outputSize);
            ASSERT_TRUE(holder.isValid());
            EXPECT_EQ(std::size_t(c.read), holder.get()->getLength());
            continue;
        }
        EXPECT_EQ(previous, holder.get());
        EXPECT_EQ(2, holder.useCount());
        EXPECT_EQ(7u, holder.get()->getLength());
        EXPECT_EQ(1u, calls().size());
    }
    refuse(IOCTL_STORAGE_QUERY_PROPERTY, ERROR_INVALID_FUNCTION);
    SharedDescriptorBuffer holder(new qln::Buffer<unsigned char>(3));
    EXPECT_FALSE(libFennick::getStorageDeviceDescriptor(device, holder));
    EXPECT_EQ(3u, holder.get()->getLength());
    EXPECT_TRUE(log.entries().empty()) << log.dump();
}

TEST_F(CommonStorageFake, ANewDescriptorLeavesThePreviousBufferToItsOtherHolders) {
    answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorBytes(64, 64, 0, 0, 0, 0));
    qln::Buffer<unsigned char>* previous = new qln::Buffer<unsigned char>(5);
    SharedDescriptorBuffer holder(previous);
    SharedDescriptorBuffer other(holder);
    ASSERT_TRUE(libFennick::getStorageDeviceDescriptor(device, holder));
    EXPECT_NE(previous, holder.get());
    EXPECT_EQ(1, holder.useCount());
    EXPECT_EQ(64u, holder.get()->getLength());
    EXPECT_EQ(previous, other.get());
    EXPECT_EQ(1, other.useCount());
}

// Memory may run out for a size within the limit too: the answer is false,
// not an exception, and the holder keeps its buffer.
TEST_F(CommonStorageFake, ADescriptorThatCannotBeAllocatedIsNotRead) {
    answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorBytes(40, 4000, 0, 0, 0, 0));
    qln::Buffer<unsigned char>* previous = new qln::Buffer<unsigned char>(7);
    SharedDescriptorBuffer holder(previous);
    s_failedArrays = 0;
    s_failingArrayBytes = 4000;
    const bool read = libFennick::getStorageDeviceDescriptor(device, holder);
    s_failingArrayBytes = 0;
    EXPECT_EQ(1, s_failedArrays);
    EXPECT_FALSE(read);
    EXPECT_EQ(1u, calls().size());
    EXPECT_EQ(previous, holder.get());
    EXPECT_EQ(1, holder.useCount());
    EXPECT_TRUE(log.entries().empty()) << log.dump();
}

typedef BOOL(WINAPI* IoControlFn)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD,
                                  LPOVERLAPPED);
IoControlFn s_scriptedIoControl = nullptr;
HANDLE s_probedDevice = nullptr;

// The scripted device sees every request; its probe answers a size, then the
// full read fails.
BOOL WINAPI probeThenFail(HANDLE device, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                          DWORD outputSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    const BOOL answered =
        s_scriptedIoControl(device, code, input, inputSize, output, outputSize, returned, overlapped);
    if (device == s_probedDevice && code == IOCTL_STORAGE_QUERY_PROPERTY && outputSize != 40) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    return answered;
}

TEST_F(CommonStorageFake, AFailedFullReadEmptiesTheHolderWithAMessage) {
    qln::test::ImportPatch failing(GetModuleHandleW(nullptr), "kernel32.dll", "DeviceIoControl",
                                   reinterpret_cast<void*>(&probeThenFail));
    ASSERT_TRUE(failing.applied());
    s_scriptedIoControl = failing.originalAs<IoControlFn>();
    s_probedDevice = static_cast<HANDLE>(device.get());
    answer(IOCTL_STORAGE_QUERY_PROPERTY, descriptorBytes(40, 72, 0, 0, 0, 0));
    SharedDescriptorBuffer holder(new qln::Buffer<unsigned char>(5));
    SharedDescriptorBuffer other(holder);
    EXPECT_FALSE(libFennick::getStorageDeviceDescriptor(device, holder));
    EXPECT_FALSE(holder.isValid());
    EXPECT_EQ(0, holder.useCount());
    EXPECT_EQ(1, other.useCount());
    ASSERT_EQ(2u, calls().size());
    EXPECT_EQ(72u, calls()[1].outputSize);

    const std::vector<qln::test::LogEntry> found = messages(L"114 ");
    ASSERT_EQ(1u, found.size()) << log.dump();
    EXPECT_EQ(3, found[0].level);
    const qln::String expected = qln::String("114 getStorageDeviceDescriptor() error: 31 - ") +
                                 qln::System::getSystemErrorMsg(ERROR_GEN_FAILURE, false);
    EXPECT_EQ(std::wstring(expected.getUCS2Buffer()), found[0].text);
}

// --- descriptor texts ------------------------------------------------------

TEST_F(CommonStorageFake, TextsOutsideTheBufferOrWithoutTheirNulAreLeftAlone) {
    // Size 90; the serial's bytes run to the end of the buffer with no NUL.
    const std::vector<unsigned char> raw =
        descriptorBytes(90, 90, 40, 90, 400, 80,
                        {{40, std::string("VEND\0", 5)}, {80, std::string("0123456789")}});
    answer(IOCTL_STORAGE_QUERY_PROPERTY, raw);
    SharedDescriptorBuffer holder;
    ASSERT_TRUE(libFennick::getStorageDeviceDescriptor(device, holder));

    const DescriptorTexts texts = readTexts(holder);
    EXPECT_EQ(qln::String("VEND"), texts.vendor);
    EXPECT_EQ(qln::String("old product"), texts.product);    // offset at the end
    EXPECT_EQ(qln::String("old revision"), texts.revision);  // offset beyond it
    EXPECT_EQ(qln::String("old serial"), texts.serial);      // no NUL

    const std::vector<qln::test::LogEntry> found = messages(L"136 ");
    ASSERT_EQ(3u, found.size()) << log.dump();
    const DWORD offsets[] = {90, 400, 80};
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(3, found[i].level);
        EXPECT_EQ(unterminatedMessage(offsets[i], *holder.get()), found[i].text);
    }
}

TEST(CommonStorageTexts, ATextEndsAtItsNulAndMayBeEmpty) {
    qln::test::LogCapture log;
    const unsigned char raw[] = {'A', 'B', 0, 'C', 0, 0, 'x', 0xE9, 0};
    const qln::Buffer<unsigned char> buffer(const_cast<unsigned char*>(raw), sizeof(raw));
    const struct {
        qln::Uint32 offset;
        const wchar_t* text;
    } cases[] = {
        {1, L"B"}, {2, L""}, {3, L"C"}, {5, L""}, {6, L"x\x00E9"},
    };
    for (const auto& c : cases) {
        qln::String text("kept");
        libFennick::getDescriptorString(buffer, c.offset, text);
        EXPECT_EQ(std::wstring(c.text), std::wstring(text.getUCS2Buffer())) << "offset " << c.offset;
    }
    qln::String text("kept");
    libFennick::getDescriptorString(buffer, 0, text);
    EXPECT_EQ(qln::String("kept"), text);
    EXPECT_TRUE(log.entries().empty()) << log.dump();

    const qln::Buffer<unsigned char> empty;
    libFennick::getDescriptorString(empty, 1, text);
    EXPECT_EQ(qln::String("kept"), text);
    EXPECT_EQ(1u, log.withPrefix(L"136 String at offset 1 is not terminated in buffer :\n", kChannel).size())
        << log.dump();
}

// --- geometry and length ---------------------------------------------------

TEST_F(CommonStorageFake, TheGeometryIsZeroedAndFilledByTheDevice) {
    DISK_GEOMETRY geometry;
    std::memset(&geometry, 0xCD, sizeof(geometry));
    answer(IOCTL_DISK_GET_DRIVE_GEOMETRY, {});
    EXPECT_FALSE(libFennick::getDriveGeometry(device, geometry));
    EXPECT_EQ(0, geometry.Cylinders.QuadPart);
    EXPECT_EQ(0u, geometry.BytesPerSector);

    answer(IOCTL_DISK_GET_DRIVE_GEOMETRY, bytesOf(geometryOf(1000, 255, 63, 512)));
    ASSERT_TRUE(libFennick::getDriveGeometry(device, geometry));
    EXPECT_EQ(1000, geometry.Cylinders.QuadPart);
    EXPECT_EQ(255u, geometry.TracksPerCylinder);
    EXPECT_EQ(24u, calls().back().outputSize);

    refuse(IOCTL_DISK_GET_DRIVE_GEOMETRY, ERROR_NOT_READY);
    EXPECT_FALSE(libFennick::getDriveGeometry(device, geometry));
}

TEST_F(CommonStorageFake, TheLengthRequestAnswersFirst) {
    GET_LENGTH_INFORMATION length;
    length.Length.QuadPart = 0x123456789ALL;
    answer(IOCTL_DISK_GET_LENGTH_INFO, bytesOf(length));
    answer(IOCTL_DISK_GET_DRIVE_GEOMETRY, bytesOf(geometryOf(1000, 255, 63, 512)));
    EXPECT_EQ(0x123456789AULL, libFennick::getDiskLength(device));
    ASSERT_EQ(1u, calls().size());
    EXPECT_EQ(8u, calls()[0].outputSize);
}

TEST_F(CommonStorageFake, WithoutTheLengthRequestTheLengthIsTheGeometrysProduct) {
    const struct {
        const char* name;
        DISK_GEOMETRY geometry;
        qln::Uint64 length;
    } cases[] = {
        {"hard disk", geometryOf(1000, 255, 63, 512), 1000ULL * 255 * 63 * 512},
        {"beyond 32 bits", geometryOf(1, 1, 0x10000, 0x10000), 0x100000000ULL},
        {"wraps modulo 2^64", geometryOf(3, 5, 0x80000000u, 0x80000000u), 0xC000000000000000ULL},
        {"negative cylinders", geometryOf(-1, 1, 1, 512), 0xFFFFFFFFFFFFFE00ULL},
    };
    refuse(IOCTL_DISK_GET_LENGTH_INFO, ERROR_INVALID_FUNCTION);
    for (const auto& c : cases) {
        answer(IOCTL_DISK_GET_DRIVE_GEOMETRY, bytesOf(c.geometry));
        EXPECT_EQ(c.length, libFennick::getDiskLength(device)) << c.name;
    }
}

TEST_F(CommonStorageFake, NoAnswerGivesNoLength) {
    refuse(IOCTL_DISK_GET_LENGTH_INFO, ERROR_INVALID_FUNCTION);
    refuse(IOCTL_DISK_GET_DRIVE_GEOMETRY, ERROR_INVALID_FUNCTION);
    EXPECT_EQ(0u, libFennick::getDiskLength(device));
    answer(IOCTL_DISK_GET_DRIVE_GEOMETRY, {});
    EXPECT_EQ(0u, libFennick::getDiskLength(device));
}

}  // namespace
