// The path actions called through Kestrine.dll's exports with the volume list
// and the process list faked: Wine has one volume per drive letter and no
// folder mounts, so which volume a drive-letter path is converted with is
// shown here by a process whose image path the fake reports.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PluginCalls.h"

using kestrine::test::ImportPatches;
using kestrine::test::PluginModule;
using kestrine::test::callWithPushed;

namespace {

struct FakeVolume {
    const wchar_t* name;              // as the enumeration lists it
    const wchar_t* device;            // null: the device-name query fails
    std::vector<std::wstring> mounts; // empty with readable false: unreadable
    bool readable;
};

const HANDLE kSearch = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4B5E));

struct VolumeWorld {
    std::vector<FakeVolume> volumes;
    bool enumerationFails = false;
    std::size_t next = 0;
    int opened = 0;
    int closed = 0;
    std::vector<std::wstring> deviceQueries;
    std::wstring imagePath;  // what this process runs
    // The process list in listing order (empty: this process alone), and
    // a list that fills whatever room it is given.
    std::vector<DWORD> processes;
    bool listingNeverFits = false;
    std::vector<DWORD> listingRoom;  // bytes offered to each listing
    // What the scan did to this process; either ends it, so that it leaves
    // the list.
    int terminated = 0;
    int windowsClosed = 0;
};
VolumeWorld g_world;

// The functions the fakes pass other callers' handles and names to.
struct RealVolumes {
    decltype(&FindVolumeClose) findVolumeClose = nullptr;
    decltype(&QueryDosDeviceW) queryDosDevice = nullptr;
    decltype(&TerminateProcess) terminateProcess = nullptr;
    decltype(&EnumWindows) enumWindows = nullptr;
    decltype(&malloc) allocate = nullptr;
};
RealVolumes g_real;

bool copyName(LPWSTR buffer, DWORD units) {
    const wchar_t* name = g_world.volumes[g_world.next].name;
    if (wcslen(name) + 1 > units)
        return false;
    wcscpy(buffer, name);
    ++g_world.next;
    return true;
}

HANDLE WINAPI fakeFindFirstVolume(LPWSTR buffer, DWORD units) {
    g_world.next = 0;
    if (g_world.enumerationFails || g_world.volumes.empty() || !copyName(buffer, units)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return INVALID_HANDLE_VALUE;
    }
    ++g_world.opened;
    return kSearch;
}

BOOL WINAPI fakeFindNextVolume(HANDLE search, LPWSTR buffer, DWORD units) {
    if (search != kSearch || g_world.next >= g_world.volumes.size() || !copyName(buffer, units)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI fakeFindVolumeClose(HANDLE search) {
    if (search != kSearch)
        return g_real.findVolumeClose(search);
    ++g_world.closed;
    return TRUE;
}

const FakeVolume* volumeNamed(const std::wstring& name) {
    for (const FakeVolume& volume : g_world.volumes)
        if (name == volume.name)
            return &volume;
    return nullptr;
}

DWORD WINAPI fakeQueryDosDevice(LPCWSTR name, LPWSTR buffer, DWORD units) {
    if (name == nullptr)
        return g_real.queryDosDevice(name, buffer, units);
    g_world.deviceQueries.push_back(name);
    // Asked by the bare name: without "\\?\" and the trailing backslash.
    const FakeVolume* volume = volumeNamed(L"\\\\?\\" + std::wstring(name) + L"\\");
    if (volume == nullptr)
        return g_real.queryDosDevice(name, buffer, units);
    if (volume->device == nullptr || wcslen(volume->device) + 2 > units) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    wcscpy(buffer, volume->device);
    buffer[wcslen(volume->device) + 1] = L'\0';
    return DWORD(wcslen(volume->device) + 2);
}

BOOL WINAPI fakeVolumePathNames(LPCWSTR name, LPWCH buffer, DWORD units, PDWORD returned) {
    const FakeVolume* volume = volumeNamed(name);
    if (volume == nullptr || !volume->readable) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    std::wstring list;
    for (const std::wstring& mount : volume->mounts)
        list += mount + L'\0';
    list += L'\0';
    *returned = DWORD(list.size());
    if (list.size() > units) {
        SetLastError(ERROR_MORE_DATA);
        return FALSE;
    }
    list.copy(buffer, list.size());
    return TRUE;
}

// Ids that name no process: the scan passes over them.
const DWORD kNoSuchProcess = 0x7FFF0000;

std::vector<DWORD> listWithThisProcessAt(std::size_t length, std::size_t index) {
    std::vector<DWORD> ids;
    for (std::size_t i = 0; i < length; ++i)
        ids.push_back(i == index ? GetCurrentProcessId() : kNoSuchProcess + 4 * DWORD(i));
    return ids;
}

void leaveTheList() {
    std::vector<DWORD>& ids = g_world.processes;
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == GetCurrentProcessId())
            ids[i] = kNoSuchProcess - 4;
}

// As Windows lists: as many ids as fit, and the bytes of those.
BOOL WINAPI fakeEnumProcesses(DWORD* ids, DWORD bytes, DWORD* used) {
    g_world.listingRoom.push_back(bytes);
    std::size_t room = bytes / sizeof(DWORD);
    if (g_world.listingNeverFits) {
        // Full every time; what it holds is left as it was.
        *used = DWORD(room * sizeof(DWORD));
        return TRUE;
    }
    std::vector<DWORD> listed = g_world.processes;
    if (listed.empty())
        listed.push_back(GetCurrentProcessId());
    std::size_t count = std::min(room, listed.size());
    std::copy(listed.begin(), listed.begin() + count, ids);
    *used = DWORD(count * sizeof(DWORD));
    return TRUE;
}

// Counts what a scan did to this process, which then leaves the list; false
// for any other process, which the real import serves.
bool endsThisProcess(DWORD processId, int& count) {
    if (processId != GetCurrentProcessId())
        return false;
    ++count;
    leaveTheList();
    return true;
}

BOOL WINAPI fakeTerminateProcess(HANDLE process, UINT code) {
    return endsThisProcess(GetProcessId(process), g_world.terminated)
               ? TRUE
               : g_real.terminateProcess(process, code);
}

BOOL WINAPI fakeEnumWindows(WNDENUMPROC callback, LPARAM processId) {
    return endsThisProcess(DWORD(processId), g_world.windowsClosed)
               ? TRUE
               : g_real.enumWindows(callback, processId);
}

// Memory runs out for every block above this size.
const std::size_t kAllocationLimit = 8192;

void* __cdecl fakeMalloc(std::size_t bytes) {
    return bytes > kAllocationLimit ? nullptr : g_real.allocate(bytes);
}

DWORD WINAPI fakeImageFileName(HANDLE, LPWSTR buffer, DWORD units) {
    if (g_world.imagePath.size() + 1 > units)
        return 0;
    wcscpy(buffer, g_world.imagePath.c_str());
    return DWORD(g_world.imagePath.size());
}

const wchar_t kSystemVolume[] = L"\\\\?\\Volume{11111111-0000-0000-0000-000000000001}\\";
const wchar_t kFolderVolume[] = L"\\\\?\\Volume{22222222-0000-0000-0000-000000000002}\\";
const wchar_t kOtherVolume[] = L"\\\\?\\Volume{33333333-0000-0000-0000-000000000003}\\";
const wchar_t kSystemDevice[] = L"\\Device\\HarddiskVolume2";
const wchar_t kFolderDevice[] = L"\\Device\\HarddiskVolume7";
const wchar_t kOtherDevice[] = L"\\Device\\HarddiskVolume4";

FakeVolume systemVolume() { return {kSystemVolume, kSystemDevice, {L"C:\\"}, true}; }
FakeVolume folderVolume() { return {kFolderVolume, kFolderDevice, {L"C:\\mnt\\x\\"}, true}; }

class PathActions : public ::testing::Test {
protected:
    void SetUp() override {
        g_world = VolumeWorld();
        add("FindFirstVolumeW", &fakeFindFirstVolume);
        add("FindNextVolumeW", &fakeFindNextVolume);
        g_real.findVolumeClose = add("FindVolumeClose", &fakeFindVolumeClose);
        g_real.queryDosDevice = add("QueryDosDeviceW", &fakeQueryDosDevice);
        add("GetVolumePathNamesForVolumeNameW", &fakeVolumePathNames);
        add("K32EnumProcesses", &fakeEnumProcesses);
        add("K32GetProcessImageFileNameW", &fakeImageFileName);
        g_real.terminateProcess = add("TerminateProcess", &fakeTerminateProcess);
        g_real.enumWindows =
            patches_.add(plugin_.handle(), "user32.dll", "EnumWindows", &fakeEnumWindows);
    }
    template <class F>
    F add(const char* name, F fake) {
        return patches_.add(plugin_.handle(), "kernel32.dll", name, fake);
    }

    // IsProcessRunning of `path`: "true" exactly when the converted path is
    // the image path of the listed process.
    std::vector<std::wstring> isRunning(const std::wstring& path) {
        return callWithPushed(plugin_, "IsProcessRunning", {path});
    }

    PluginModule plugin_;
    ImportPatches patches_;
};

struct VolumeCase {
    const char* what;
    std::vector<FakeVolume> volumes;
    std::wstring path;
    std::wstring image;
    const wchar_t* pushed;
};

}  // namespace

// Which volume claims the path's drive, and which volume lists end the
// conversion with "error parsing file" before any process is looked at.
TEST_F(PathActions, DriveIsTheVolumeMountedAtItsRoot) {
    const std::wstring onSystem = std::wstring(kSystemDevice) + L"\\app\\tool.exe";
    const VolumeCase cases[] = {
        {"the drive's own volume", {systemVolume()}, L"C:\\app\\tool.exe", onSystem, L"true"},
        {"lower-case drive letter", {systemVolume()}, L"c:\\app\\tool.exe", onSystem, L"true"},
        {"rest of the path in another letter case", {systemVolume()}, L"C:\\APP\\tool.exe",
         onSystem, L"false"},
        {"a folder mount of the drive listed first", {folderVolume(), systemVolume()},
         L"C:\\app\\tool.exe", onSystem, L"true"},
        {"the folder mount is not taken for the drive", {folderVolume(), systemVolume()},
         L"C:\\app\\tool.exe", std::wstring(kFolderDevice) + L"\\app\\tool.exe", L"false"},
        {"the root as a later mount path",
         {{kSystemVolume, kSystemDevice, {L"D:\\mnt\\", L"C:\\"}, true}},
         L"C:\\app\\tool.exe", onSystem, L"true"},
        {"a volume of another drive first",
         {{kOtherVolume, kOtherDevice, {L"D:\\"}, true}, systemVolume()}, L"C:\\app\\tool.exe",
         onSystem, L"true"},
        {"unreadable mount paths do not match",
         {{kFolderVolume, kFolderDevice, {}, false}, systemVolume()}, L"C:\\app\\tool.exe",
         onSystem, L"true"},
        {"a volume with no mount path", {{kFolderVolume, kFolderDevice, {}, true}, systemVolume()},
         L"C:\\app\\tool.exe", onSystem, L"true"},
        {"no volume at the drive: scanned unchanged", {systemVolume()}, L"Q:\\app\\tool.exe",
         L"Q:\\app\\tool.exe", L"true"},
        {"no volume at the drive never matches a device path", {systemVolume()},
         L"Q:\\app\\tool.exe", L"\\Device\\HarddiskVolume2\\app\\tool.exe", L"false"},
        {"failed device-name query before the match",
         {{kFolderVolume, nullptr, {L"D:\\"}, true}, systemVolume()}, L"C:\\app\\tool.exe",
         onSystem, L"error parsing file"},
        {"failed device-name query after the match is never asked",
         {systemVolume(), {kFolderVolume, nullptr, {L"D:\\"}, true}}, L"C:\\app\\tool.exe",
         onSystem, L"true"},
        {"volume name without its trailing backslash",
         {{L"\\\\?\\Volume{44444444-0000-0000-0000-000000000004}", kOtherDevice, {L"D:\\"}, true},
          systemVolume()},
         L"C:\\app\\tool.exe", onSystem, L"error parsing file"},
        {"volume name without the \\\\?\\ prefix",
         {{L"Volume{44444444-0000-0000-0000-000000000004}\\", kOtherDevice, {L"D:\\"}, true},
          systemVolume()},
         L"C:\\app\\tool.exe", onSystem, L"error parsing file"},
        {"no root in the path", {systemVolume()}, L"app\\tool.exe", L"app\\tool.exe",
         L"error parsing file"},
    };
    for (const VolumeCase& c : cases) {
        SCOPED_TRACE(c.what);
        g_world = VolumeWorld();
        g_world.volumes = c.volumes;
        g_world.imagePath = c.image;
        EXPECT_EQ(isRunning(c.path), (std::vector<std::wstring>{c.pushed, L"below"}));
        EXPECT_EQ(g_world.closed, g_world.opened) << "volume search left open";
    }
}

// The device name is asked for by the volume's bare name.
TEST_F(PathActions, DeviceNameIsAskedByTheBareVolumeName) {
    g_world.volumes = {folderVolume(), systemVolume()};
    g_world.imagePath = std::wstring(kSystemDevice) + L"\\app\\tool.exe";
    EXPECT_EQ(isRunning(L"C:\\app\\tool.exe"), (std::vector<std::wstring>{L"true", L"below"}));
    EXPECT_EQ(g_world.deviceQueries,
              (std::vector<std::wstring>{L"Volume{22222222-0000-0000-0000-000000000002}",
                                         L"Volume{11111111-0000-0000-0000-000000000001}"}));
}

// Without a volume list the path is scanned as it is.
TEST_F(PathActions, FailedVolumeEnumerationScansThePathUnchanged) {
    g_world.volumes = {systemVolume()};
    g_world.enumerationFails = true;
    g_world.imagePath = L"C:\\app\\tool.exe";
    EXPECT_EQ(isRunning(L"C:\\app\\tool.exe"), (std::vector<std::wstring>{L"true", L"below"}));
}

// The converted path, the device name plus a backslash plus the rest, must
// stay below the 1024-unit parameter buffer.
TEST_F(PathActions, ConvertedPathMustStayBelowTheBufferSize) {
    const std::size_t device = wcslen(kSystemDevice);
    struct Case {
        std::size_t pathLength;
        const wchar_t* pushed;
    } const cases[] = {{1024 - device - 3, L"true"}, {1024 - device - 2, L"error parsing file"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pathLength);
        g_world.volumes = {systemVolume()};
        std::wstring rest(c.pathLength - 3, L'a');
        g_world.imagePath = std::wstring(kSystemDevice) + L"\\" + rest;
        EXPECT_EQ(isRunning(L"C:\\" + rest), (std::vector<std::wstring>{c.pushed, L"below"}));
    }
}

namespace {

struct ListCase {
    const char* action;
    std::size_t listed;  // processes listed
    std::size_t index;   // where this process is among them
    const wchar_t* pushed;
    int terminated;
    int windowsClosed;
};

}  // namespace

// A list that fills the room it was given may have been cut short: it is
// listed again in more room, so a process far down a long list is seen.
TEST_F(PathActions, LongProcessListIsListedWhole) {
    const ListCase cases[] = {
        {"IsProcessRunning", 1024, 1023, L"true", 0, 0},
        {"IsProcessRunning", 1025, 1024, L"true", 0, 0},
        {"IsProcessRunning", 5000, 4999, L"true", 0, 0},
        {"IsProcessRunning", 5000, 5000, L"false", 0, 0},
        {"KillProcess", 5000, 4000, L"success", 1, 0},
        {"CloseProcessWindows", 5000, 4000, L"success", 0, 1},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(std::string(c.action) + ", " + std::to_string(c.listed) + " listed");
        g_world = VolumeWorld();
        g_world.volumes = {systemVolume()};
        g_world.imagePath = std::wstring(kSystemDevice) + L"\\app\\tool.exe";
        g_world.processes = listWithThisProcessAt(c.listed, c.index);
        EXPECT_EQ(callWithPushed(plugin_, c.action, {L"C:\\app\\tool.exe"}),
                  (std::vector<std::wstring>{c.pushed, L"below"}));
        EXPECT_EQ(g_world.terminated, c.terminated);
        EXPECT_EQ(g_world.windowsClosed, c.windowsClosed);
        ASSERT_FALSE(g_world.listingRoom.empty());
        EXPECT_GT(g_world.listingRoom.back(), c.listed * sizeof(DWORD));
    }
}

// A list that never fits cannot be told complete, and one that needs more
// memory than there is cannot be read whole: either fails the pass as a
// failed listing does (the check reports a process that may run, the other
// scans report failure), and no process on it is touched.
TEST_F(PathActions, ListThatCannotBeReadWholeFailsThePass) {
    const struct {
        const char* what;
        bool neverFits;
        bool outOfMemory;
    } lists[] = {{"never fits", true, false}, {"no memory to grow", false, true}};
    const struct {
        const char* action;
        const wchar_t* pushed;
    } actions[] = {{"IsProcessRunning", L"true"},
                   {"KillProcess", L"failed"},
                   {"CloseProcessWindows", L"failed"}};
    for (const auto& list : lists) {
        ImportPatches memory;
        if (list.outOfMemory)
            g_real.allocate = memory.add(plugin_.handle(), "msvcrt.dll", "malloc", &fakeMalloc);
        for (const auto& a : actions) {
            SCOPED_TRACE(std::string(list.what) + ", " + a.action);
            g_world = VolumeWorld();
            g_world.volumes = {systemVolume()};
            g_world.imagePath = std::wstring(kSystemDevice) + L"\\app\\tool.exe";
            g_world.listingNeverFits = list.neverFits;
            g_world.processes = listWithThisProcessAt(5000, 4000);
            EXPECT_EQ(callWithPushed(plugin_, a.action, {L"C:\\app\\tool.exe"}),
                      (std::vector<std::wstring>{a.pushed, L"below"}));
            EXPECT_EQ(g_world.terminated + g_world.windowsClosed, 0);
            // Every one of the 100 passes listed, and the room stayed bounded.
            ASSERT_FALSE(g_world.listingRoom.empty());
            EXPECT_GE(g_world.listingRoom.size(), 100u);
            EXPECT_LE(*std::max_element(g_world.listingRoom.begin(), g_world.listingRoom.end()),
                      DWORD(64) << 20);
        }
    }
}
