// libFennick::Volume and the volume list: for real on the prefix's drives and
// the hidden test volume, and with scripted volumes for the mount points,
// letters and network drives that Wine does not have.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "FennickTestDevices.h"
#include "LogCapture.h"
#include "ScriptedStorage.h"
#include "Volume.h"
#include "qln/System.h"

using libFennick::Volume;
using libFennick::VolumeList;
using qln::String;
using namespace fennick_test;

namespace {

const wchar_t* const kChannel = L"libFennick.Volume";
const wchar_t* const kVolumeE = L"\\\\?\\Volume{51e0f0e0-0000-0000-0000-00000000000e}\\";
const wchar_t* const kVolumeFG = L"\\\\?\\Volume{51e0f0e0-0000-0000-0000-0000000000fg}\\";
const wchar_t* const kVolumeFolder = L"\\\\?\\Volume{51e0f0e0-0000-0000-0000-0000000000d0}\\";
const wchar_t* const kVolumeK = L"\\\\?\\Volume{51e0f0e0-0000-0000-0000-00000000000b}\\";
const wchar_t* const kVolumeHidden = L"\\\\?\\Volume{51e0f0e0-0000-0000-0000-0000000000ff}\\";

const Volume* findVolume(const VolumeList& volumes, const std::wstring& name) {
    for (const Volume& volume : volumes) {
        if (volume.getVolumeName().native() == name)
            return &volume;
    }
    return nullptr;
}

const Volume* findByDevicePath(const VolumeList& volumes, const std::wstring& path) {
    for (const Volume& volume : volumes) {
        if (volume.getDevicePath().native() == path)
            return &volume;
    }
    return nullptr;
}

char letterOf(const Volume& volume) {
    char letter = 0;
    volume.getDriveLetter(letter);
    return letter;
}

std::wstring systemVolumeNameOf(char letter) {
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    wchar_t name[MAX_PATH] = {};
    if (!GetVolumeNameForVolumeMountPointW(root, name, MAX_PATH))
        return std::wstring();
    return name;
}

char firstLetterOf(const wchar_t* path) {
    return static_cast<char>(std::towupper(path[0]));
}

}  // namespace

// ---------------------------------------------------------------------------
// The prefix's own volumes

TEST_F(FennickTest, EachLetterVolumeOfTheMachineCarriesItsLetterAndFlags) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(path, MAX_PATH), 0u);
    const char systemLetter = firstLetterOf(path);
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    const char programLetter = firstLetterOf(path);

    VolumeList volumes;
    ASSERT_TRUE(libFennick::enumerateVolumes(volumes));

    const DWORD drives = GetLogicalDrives();
    int letterVolumes = 0;
    bool sawSystem = false;
    bool sawProgram = false;
    for (int i = 0; i < 26; ++i) {
        const char letter = static_cast<char>('A' + i);
        const std::wstring name = (drives & (1u << i)) ? systemVolumeNameOf(letter) : L"";
        if (name.empty())
            continue;
        SCOPED_TRACE(letter);
        ++letterVolumes;
        const Volume* volume = findVolume(volumes, name);
        ASSERT_NE(nullptr, volume);
        EXPECT_EQ(letter, letterOf(*volume));
        EXPECT_EQ(name, volume->getRootPath().native());
        const wchar_t devicePath[] = {L'\\', L'\\', L'.', L'\\', static_cast<wchar_t>(letter), L':', 0};
        EXPECT_EQ(std::wstring(devicePath), volume->getDevicePath().native());
        qln::Uint32 flags = libFennick::VOLUME_HAS_LETTER;
        if (letter == systemLetter) {
            flags |= libFennick::VOLUME_SYSTEM_DRIVE;
            sawSystem = true;
        }
        if (letter == programLetter) {
            flags |= libFennick::VOLUME_PROGRAM_DRIVE;
            sawProgram = true;
        }
        EXPECT_EQ(flags, volume->getVolumeFlags());
        EXPECT_FALSE(volume->isFloppyControllerVolume());
    }
    EXPECT_GT(letterVolumes, 0);
    EXPECT_TRUE(sawSystem);
    EXPECT_TRUE(sawProgram);
    EXPECT_EQ(systemLetter, Volume::systemDriveLetter());
    EXPECT_EQ(programLetter, Volume::programDriveLetter());
}

TEST_F(FennickTest, HiddenVolumesOfTheDeviceTreeFollowTheSearchedVolumes) {
    VolumeList volumes;
    ASSERT_TRUE(libFennick::enumerateVolumes(volumes));
    const std::wstring hiddenPath = interfacePath(HIDDEN_VOLUME, libFennick::DEVINTERFACE_HIDDEN_VOLUME);
    ASSERT_FALSE(hiddenPath.empty());

    int position = -1;
    for (qln::Uint32 i = 0; i < volumes.size(); ++i) {
        if (volumes[i].getDevicePath().native() == hiddenPath)
            position = static_cast<int>(i);
    }
    ASSERT_GE(position, 0);
    const Volume& hidden = volumes[position];
    // Wine resolves no volume name for such a root: the path stays the locator.
    EXPECT_EQ(hiddenPath + L"\\", hidden.getRootPath().native());
    EXPECT_TRUE(hidden.getVolumeName().isEmpty());
    EXPECT_EQ(0, letterOf(hidden));
    EXPECT_EQ(0u, hidden.getVolumeFlags());
    for (qln::Uint32 i = static_cast<qln::Uint32>(position) + 1; i < volumes.size(); ++i)
        EXPECT_TRUE(volumes[i].getVolumeName().isEmpty()) << "only hidden volumes after it";
    // The ordinary volume interface is not a hidden volume.
    EXPECT_EQ(nullptr, findByDevicePath(volumes, interfacePath(VOLUME, libFennick::DEVINTERFACE_VOLUME)));
}

TEST_F(FennickTest, ALetterVolumeOpensForItsAttributes) {
    const Volume system(String(L"\\\\.\\C:"));
    libFennick::SharedDeviceHandle handle = system.openVolumeHandle();
    ASSERT_TRUE(handle.isValid());
    EXPECT_EQ(1, handle.useCount());
}

// ---------------------------------------------------------------------------
// Scripted volumes

class VolumeScriptTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(volumes.applied()); }

    // The volume `name` of a new list of the machine's volumes.
    const Volume* listed(const wchar_t* name) {
        EXPECT_TRUE(libFennick::enumerateVolumes(list));
        return findVolume(list, name);
    }

    std::vector<qln::test::LogEntry> multipleLetters() const {
        return log.withPrefix(L"165 ", kChannel);
    }

    qln::test::LogCapture log;
    ScriptedVolumes volumes;
    VolumeList list;
};

TEST_F(VolumeScriptTest, AVolumeWithOneLetterTakesItFromTheLetterMap) {
    volumes.add(kVolumeE, {L"E:\\", L"C:\\mnt\\e\\"});
    const Volume* volume = listed(kVolumeE);
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ('E', letterOf(*volume));
    EXPECT_EQ(L"\\\\.\\E:", volume->getDevicePath().native());
    EXPECT_EQ(kVolumeE, volume->getRootPath().native());
    EXPECT_EQ(static_cast<qln::Uint32>(libFennick::VOLUME_HAS_LETTER), volume->getVolumeFlags());
    // The letter came from the map: the mount points were not asked.
    EXPECT_TRUE(volumes.pathNameCalls().empty());
    EXPECT_TRUE(multipleLetters().empty()) << log.dump();
}

TEST_F(VolumeScriptTest, AVolumeWithSeveralLettersTakesTheFirstListedLetterMountPoint) {
    // Listed G: before F: (G in lower case); the folder comes first and is passed over.
    volumes.add(kVolumeFG, {L"C:\\mnt\\fg\\", L"g:\\", L"F:\\"});
    const Volume* volume = listed(kVolumeFG);
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ('G', letterOf(*volume));
    EXPECT_EQ(L"\\\\.\\G:", volume->getDevicePath().native());
    EXPECT_EQ(static_cast<qln::Uint32>(libFennick::VOLUME_HAS_LETTER), volume->getVolumeFlags());

    const std::vector<qln::test::LogEntry> found = multipleLetters();
    ASSERT_EQ(1u, found.size()) << log.dump();
    EXPECT_EQ(3, found[0].level);
    EXPECT_EQ(L"165 Multiple drive letters are associated with this volume", found[0].text);
}

TEST_F(VolumeScriptTest, AVolumeMountedOnlyInAFolderHasNoLetter) {
    volumes.add(kVolumeFolder, {L"C:\\mnt\\data\\", L"C:\\x\\"});
    const Volume* volume = listed(kVolumeFolder);
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ(0, letterOf(*volume));
    EXPECT_EQ(0u, volume->getVolumeFlags());
    EXPECT_EQ(std::wstring(kVolumeFolder).substr(0, wcslen(kVolumeFolder) - 1),
              volume->getDevicePath().native());
    EXPECT_EQ(kVolumeFolder, volume->getRootPath().native());
    EXPECT_EQ(std::vector<DWORD>{260}, volumes.pathNameCalls());
}

TEST_F(VolumeScriptTest, ANetworkDriveNeverEntersTheLetterMap) {
    // N: resolves to the same volume as K:; counted, it would make two letters.
    volumes.add(kVolumeK, {L"K:\\"});
    volumes.addNetworkDrive('N', kVolumeK);
    const Volume* volume = listed(kVolumeK);
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ('K', letterOf(*volume));
    EXPECT_TRUE(multipleLetters().empty()) << log.dump();
    EXPECT_TRUE(volumes.pathNameCalls().empty());
    const std::vector<int>& asked = volumes.netDriveCalls();
    EXPECT_NE(asked.end(), std::find(asked.begin(), asked.end(), 'N' - 'A'));
    EXPECT_NE(asked.end(), std::find(asked.begin(), asked.end(), 'K' - 'A'));
}

TEST_F(VolumeScriptTest, AHiddenVolumeThatResolvesTakesTheNameAndLetterOfIt) {
    // A volume known to the system only through the hidden volume's root.
    const std::wstring hiddenPath = L"\\\\?\\STORAGE#HiddenVolume#{51e0f0e0-aaaa}";
    volumes.add(kVolumeHidden, {L"C:\\mnt\\h\\", L"H:\\"}).searched = false;
    volumes.resolveRoot(hiddenPath + L"\\", kVolumeHidden);

    const Volume hidden((String(hiddenPath.c_str())));
    EXPECT_EQ(kVolumeHidden, hidden.getVolumeName().native());
    EXPECT_EQ(kVolumeHidden, hidden.getRootPath().native());
    EXPECT_EQ('H', letterOf(hidden));
    EXPECT_EQ(L"\\\\.\\H:", hidden.getDevicePath().native());
    EXPECT_EQ(static_cast<qln::Uint32>(libFennick::VOLUME_HAS_LETTER), hidden.getVolumeFlags());

    const Volume unresolved(String(L"\\\\?\\STORAGE#Elsewhere"));
    EXPECT_TRUE(unresolved.getVolumeName().isEmpty());
    EXPECT_EQ(L"\\\\?\\STORAGE#Elsewhere\\", unresolved.getRootPath().native());
    EXPECT_EQ(L"\\\\?\\STORAGE#Elsewhere", unresolved.getDevicePath().native());
}

namespace {

HDEVINFO(WINAPI* s_realGetClassDevs)(const GUID*, PCWSTR, HWND, DWORD) = nullptr;

HDEVINFO WINAPI noHiddenVolumes(const GUID* classGuid, PCWSTR enumerator, HWND parent, DWORD flags) {
    if (classGuid != nullptr && IsEqualGUID(*classGuid, libFennick::DEVINTERFACE_HIDDEN_VOLUME)) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    return s_realGetClassDevs(classGuid, enumerator, parent, flags);
}

}  // namespace

TEST(VolumeList, AMachineWithoutVolumesGivesAnEmptyList) {
    ScriptedVolumes none(true);
    ASSERT_TRUE(none.applied());
    qln::test::ImportPatch patch(GetModuleHandleW(nullptr), "setupapi.dll", "SetupDiGetClassDevsW",
                                 reinterpret_cast<void*>(&noHiddenVolumes));
    ASSERT_TRUE(patch.applied());
    s_realGetClassDevs = patch.originalAs<decltype(s_realGetClassDevs)>();

    VolumeList list;
    list.append(Volume(String(L"\\\\?\\STORAGE#Stale")));
    EXPECT_FALSE(libFennick::enumerateVolumes(list));
    EXPECT_EQ(0u, list.size());
    EXPECT_EQ(1u, none.searches());
}

TEST(VolumeList, ARefusedSearchStillListsTheHiddenVolumes) {
    ScriptedVolumes none(true);
    ASSERT_TRUE(none.applied());
    VolumeList list;
    EXPECT_TRUE(libFennick::enumerateVolumes(list));
    ASSERT_GT(list.size(), 0u);
    for (const Volume& volume : list)
        EXPECT_TRUE(volume.getVolumeName().isEmpty()) << "only hidden volumes";
}

// ---------------------------------------------------------------------------
// Mount points

namespace {

// Units of a mount-point list: each point with its NUL, then the final NUL.
std::size_t listUnits(const std::vector<std::wstring>& points) {
    std::size_t units = 1;
    for (const std::wstring& point : points)
        units += point.size() + 1;
    return units;
}

}  // namespace

TEST(VolumeMountPoints, MountPointsAreReadWithASecondCallOnlyWhenTheyNeedMore) {
    std::vector<std::wstring> fits(8, L"C:\\mounted\\folder\\number\\01\\");
    fits.push_back(std::wstring(260 - listUnits(fits) - 1, L'x'));
    ASSERT_EQ(260u, listUnits(fits));
    std::vector<std::wstring> needsMore = fits;
    needsMore.back() += L'y';
    ASSERT_EQ(261u, listUnits(needsMore));

    struct Case {
        const char* name;
        std::vector<std::wstring> points;
        std::vector<DWORD> calls;
    };
    const Case cases[] = {
        {"needs 260", fits, {260}},
        {"needs 261", needsMore, {260, 261}},
        {"no mount point", {}, {260}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedVolumes scripted;
        scripted.add(kVolumeE, c.points);
        qln::Array<String> points;
        points.append(String(L"stale"));
        ASSERT_TRUE(Volume::getMountPoints(String(kVolumeE), points));
        ASSERT_EQ(c.points.size(), points.size());
        for (std::size_t i = 0; i < c.points.size(); ++i)
            EXPECT_EQ(c.points[i], points[static_cast<qln::Uint32>(i)].native());
        EXPECT_EQ(c.calls, scripted.pathNameCalls());
    }
}

TEST(VolumeMountPoints, MountPointsFailUnlessTheOnlyRefusalAsksForMoreRoom) {
    struct Case {
        const char* name;
        std::vector<DWORD> refusals;
        bool result;
        std::size_t calls;
    };
    const Case cases[] = {
        {"access denied", {ERROR_ACCESS_DENIED}, false, 1},
        {"more room twice", {ERROR_MORE_DATA, ERROR_MORE_DATA}, false, 2},
        {"more room, then denied", {ERROR_MORE_DATA, ERROR_ACCESS_DENIED}, false, 2},
        {"more room once", {ERROR_MORE_DATA}, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedVolumes scripted;
        scripted.add(kVolumeE, {L"E:\\"}).pathNameRefusals = c.refusals;
        qln::Array<String> points;
        points.append(String(L"stale"));
        EXPECT_EQ(c.result, Volume::getMountPoints(String(kVolumeE), points));
        EXPECT_EQ(c.result ? 1u : 0u, points.size());
        EXPECT_EQ(c.calls, scripted.pathNameCalls().size());
    }
}

TEST_F(VolumeScriptTest, AVolumeWhoseMountPointsFailHasNoLetter) {
    volumes.add(kVolumeFG, {L"F:\\", L"G:\\"}).pathNameRefusals = {ERROR_ACCESS_DENIED};
    const Volume* volume = listed(kVolumeFG);
    ASSERT_NE(nullptr, volume);
    EXPECT_EQ(0, letterOf(*volume));
    EXPECT_EQ(0u, volume->getVolumeFlags());
    EXPECT_EQ(1u, multipleLetters().size());
}

// ---------------------------------------------------------------------------
// Set-up, paths and opening

TEST(VolumeSetUp, StripTrailingBackslashRemovesOneAtMost) {
    const struct {
        const wchar_t* text;
        const wchar_t* stripped;
    } cases[] = {
        {L"", L""}, {L"\\", L""}, {L"a\\\\", L"a\\"}, {L"C:\\", L"C:"}, {L"abc", L"abc"},
        {L"\\a", L"\\a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.stripped),
                  Volume::stripTrailingBackslash(String(c.text)).native()) << c.text;
}

TEST(VolumeSetUp, AnUnknownLocatorTypeIsADefectReportedWhateverTheThreshold) {
    // Even with every ordinary message turned off.
    qln::test::LogCapture log(qln::LOG_OFF);
    Volume volume(String(L"\\\\?\\STORAGE#Elsewhere"));
    volume.initVolumeLocator(7, String(L"\\\\?\\Volume{51e0f0e0}\\"), false);
    EXPECT_TRUE(volume.getDevicePath().isEmpty());
    EXPECT_TRUE(volume.getVolumeName().isEmpty());
    EXPECT_TRUE(volume.getRootPath().isEmpty());
    EXPECT_EQ(0, letterOf(volume));
    EXPECT_EQ(0u, volume.getVolumeFlags());
    const std::vector<qln::test::LogEntry> found = log.withPrefix(L"", L"DEFECT.GENERIC");
    ASSERT_EQ(1u, found.size()) << log.dump();
    EXPECT_EQ(4, found[0].level);
    EXPECT_EQ(L"Unknown locator type", found[0].text);
}

TEST(VolumeSetUp, AVolumeWithoutDevicePathOpensNothingSilently) {
    qln::test::LogCapture log;
    ScriptedDevices devices;
    ASSERT_TRUE(devices.applied());
    const Volume none((String()));
    EXPECT_FALSE(none.openVolumeHandle().isValid());
    EXPECT_TRUE(log.entries().empty()) << log.dump();
    EXPECT_TRUE(devices.opens().empty());
}

TEST(VolumeSetUp, AVolumeOpensForItsAttributesOnly) {
    ScriptedDevices devices;
    ASSERT_TRUE(devices.applied());
    devices.add(L"\\\\?\\STORAGE#Scripted");
    const Volume volume(String(L"\\\\?\\STORAGE#Scripted"));
    {
        libFennick::SharedDeviceHandle handle = volume.openVolumeHandle();
        EXPECT_TRUE(handle.isValid());
        ASSERT_EQ(1u, devices.opens().size());
        EXPECT_EQ(static_cast<DWORD>(FILE_READ_ATTRIBUTES), devices.opens()[0].access);
        EXPECT_EQ(static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE), devices.opens()[0].share);
        EXPECT_EQ(static_cast<DWORD>(OPEN_EXISTING), devices.opens()[0].disposition);
    }
    EXPECT_EQ(0u, devices.openHandles()) << "the last holder closes the handle";
}

TEST(VolumeSetUp, AVolumeThatCannotBeOpenedSaysWhichAndWhy) {
    qln::test::LogCapture log;
    ScriptedDevices devices;
    ASSERT_TRUE(devices.applied());
    devices.add(L"\\\\?\\STORAGE#Gone").openError = ERROR_FILE_NOT_FOUND;
    const Volume volume(String(L"\\\\?\\STORAGE#Gone"));
    EXPECT_FALSE(volume.openVolumeHandle().isValid());
    const std::vector<qln::test::LogEntry> found = log.withPrefix(L"678 ", kChannel);
    ASSERT_EQ(1u, found.size()) << log.dump();
    EXPECT_EQ(4, found[0].level);
    const String expected = String("678 Failed to open handle to : \"\\\\?\\STORAGE#Gone\"") +
                            qln::System::getSystemErrorMsg(ERROR_FILE_NOT_FOUND, false);
    EXPECT_EQ(expected.native(), found[0].text);
}

// ---------------------------------------------------------------------------
// The process-wide drive letters

namespace {

struct PathAnswer {
    UINT length;          // what the call returns
    const wchar_t* text;  // what it writes, null for nothing
};
PathAnswer s_pathAnswer;

UINT answerPath(LPWSTR buffer, UINT units) {
    if (s_pathAnswer.text != nullptr)
        wcsncpy(buffer, s_pathAnswer.text, units);
    return s_pathAnswer.length;
}

UINT WINAPI fakeSystemDirectory(LPWSTR buffer, UINT units) { return answerPath(buffer, units); }
DWORD WINAPI fakeModuleFileName(HMODULE module, LPWSTR buffer, DWORD units) {
    return module == nullptr ? answerPath(buffer, units) : 0;
}

}  // namespace

TEST(VolumeDriveLetters, OnlyAPathThatFitsItsBufferGivesALetter) {
    qln::test::ImportPatch systemDirectory(GetModuleHandleW(nullptr), "kernel32.dll",
                                           "GetSystemDirectoryW",
                                           reinterpret_cast<void*>(&fakeSystemDirectory));
    qln::test::ImportPatch moduleFileName(GetModuleHandleW(nullptr), "kernel32.dll",
                                          "GetModuleFileNameW",
                                          reinterpret_cast<void*>(&fakeModuleFileName));
    ASSERT_TRUE(systemDirectory.applied());
    ASSERT_TRUE(moduleFileName.applied());
    const struct {
        const char* name;
        PathAnswer answer;
        char letter;
    } cases[] = {
        {"failed call, buffer untouched", {0, nullptr}, 0},
        {"failed call, buffer written", {0, L"D:\\windows"}, 0},
        {"needs a larger buffer", {300, L"D:\\long"}, 0},
        {"fills the buffer exactly (truncated)", {261, L"D:\\long"}, 0},
        {"fits", {10, L"d:\\windows"}, 'D'},
        {"largest that fits", {260, L"E:\\x"}, 'E'},
        {"not a letter", {5, L"\\\\srv"}, '\\'},
    };
    for (const auto& c : cases) {
        s_pathAnswer = c.answer;
        EXPECT_EQ(c.letter, Volume::readSystemDriveLetter()) << c.name;
        EXPECT_EQ(c.letter, Volume::readProgramDriveLetter()) << c.name;
    }
}
