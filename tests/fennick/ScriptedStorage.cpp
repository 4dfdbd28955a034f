#include "ScriptedStorage.h"

#include <cstring>
#include <cwctype>

namespace fennick_test {

namespace {

std::wstring upper(const wchar_t* text) {
    std::wstring result(text != nullptr ? text : L"");
    for (wchar_t& unit : result)
        unit = static_cast<wchar_t>(std::towupper(unit));
    return result;
}

ScriptedDevices* s_devices = nullptr;
ScriptedVolumes* s_volumes = nullptr;

typedef HANDLE(WINAPI* CreateFileFn)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                     HANDLE);
typedef BOOL(WINAPI* IoControlFn)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD,
                                  LPOVERLAPPED);
typedef BOOL(WINAPI* CloseFn)(HANDLE);
CreateFileFn s_createFile = nullptr;
IoControlFn s_ioControl = nullptr;
CloseFn s_close = nullptr;

typedef DWORD(WINAPI* LogicalDrivesFn)();
typedef BOOL(WINAPI* MountPointFn)(LPCWSTR, LPWSTR, DWORD);
typedef HANDLE(WINAPI* FindFirstFn)(LPWSTR, DWORD);
typedef BOOL(WINAPI* FindNextFn)(HANDLE, LPWSTR, DWORD);
typedef BOOL(WINAPI* FindCloseFn)(HANDLE);
typedef BOOL(WINAPI* PathNamesFn)(LPCWSTR, LPWCH, DWORD, PDWORD);
typedef UINT(WINAPI* DriveTypeFn)(LPCWSTR);
typedef int(WINAPI* NetDriveFn)(int);
LogicalDrivesFn s_logicalDrives = nullptr;
MountPointFn s_mountPoint = nullptr;
FindFirstFn s_findFirst = nullptr;
FindNextFn s_findNext = nullptr;
FindCloseFn s_findClose = nullptr;
PathNamesFn s_pathNames = nullptr;
DriveTypeFn s_driveType = nullptr;
NetDriveFn s_netDrive = nullptr;

bool copyName(const std::wstring& name, LPWSTR buffer, DWORD units) {
    if (buffer == nullptr || units <= name.size()) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return true;
}

// "X:\" gives the drive index of X, else -1.
int driveIndexOf(const std::wstring& mountPoint) {
    if (mountPoint.size() != 3 || mountPoint[1] != L':' || mountPoint[2] != L'\\')
        return -1;
    const wchar_t letter = static_cast<wchar_t>(std::towupper(mountPoint[0]));
    return (letter >= L'A' && letter <= L'Z') ? letter - L'A' : -1;
}

}  // namespace

// ---------------------------------------------------------------------------

struct ScriptedDevicesAccess {
    static HANDLE WINAPI createFile(LPCWSTR path, DWORD access, DWORD share,
                                    LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                    DWORD flags, HANDLE templateFile) {
        auto device = path != nullptr ? s_devices->devices_.find(upper(path))
                                      : s_devices->devices_.end();
        if (device == s_devices->devices_.end())
            return s_createFile(path, access, share, security, disposition, flags, templateFile);
        s_devices->opens_.push_back(OpenCall{path, access, share, disposition});
        if (device->second.openError != 0) {
            SetLastError(device->second.openError);
            return INVALID_HANDLE_VALUE;
        }
        HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        s_devices->handles_[handle] = device->first;
        return handle;
    }

    static BOOL WINAPI ioControl(HANDLE handle, DWORD code, LPVOID input, DWORD inputSize,
                                 LPVOID output, DWORD outputSize, LPDWORD returned,
                                 LPOVERLAPPED overlapped) {
        auto open = s_devices->handles_.find(handle);
        if (open == s_devices->handles_.end())
            return s_ioControl(handle, code, input, inputSize, output, outputSize, returned,
                               overlapped);
        const unsigned char* in = static_cast<const unsigned char*>(input);
        s_devices->calls_.push_back(IoCall{
            open->second, code,
            in != nullptr ? std::vector<unsigned char>(in, in + inputSize)
                          : std::vector<unsigned char>(),
            outputSize});
        const ScriptedDevice& device = s_devices->devices_[open->second];
        auto answer = device.answers.find(code);
        if (answer == device.answers.end() || !answer->second.succeeds) {
            SetLastError(answer == device.answers.end() ? ERROR_INVALID_FUNCTION
                                                        : answer->second.error);
            return FALSE;
        }
        const std::vector<unsigned char>& bytes = answer->second.bytes;
        const DWORD count =
            bytes.size() < outputSize ? static_cast<DWORD>(bytes.size()) : outputSize;
        if (count > 0)
            std::memcpy(output, bytes.data(), count);
        if (returned != nullptr)
            *returned = count;
        return TRUE;
    }

    static BOOL WINAPI close(HANDLE handle) {
        s_devices->handles_.erase(handle);
        return s_close(handle);
    }
};

ScriptedDevices::ScriptedDevices() {
    s_devices = this;
    const qln::test::ImportFake imports[] = {
        {"CreateFileW", reinterpret_cast<void*>(&ScriptedDevicesAccess::createFile),
         reinterpret_cast<void**>(&s_createFile)},
        {"DeviceIoControl", reinterpret_cast<void*>(&ScriptedDevicesAccess::ioControl),
         reinterpret_cast<void**>(&s_ioControl)},
        {"CloseHandle", reinterpret_cast<void*>(&ScriptedDevicesAccess::close),
         reinterpret_cast<void**>(&s_close)},
    };
    qln::test::patchImports(patches_, GetModuleHandleW(nullptr), "kernel32.dll", imports);
}

ScriptedDevices::~ScriptedDevices() {
    patches_.clear();
    s_devices = nullptr;
}

bool ScriptedDevices::applied() const {
    return qln::test::allApplied(patches_);
}

ScriptedDevice& ScriptedDevices::add(const std::wstring& path) {
    return devices_[upper(path.c_str())];
}

// ---------------------------------------------------------------------------

struct ScriptedVolumesAccess {
    static DWORD WINAPI logicalDrives() {
        const DWORD machine = s_volumes->replaceMachine_ ? 0 : s_logicalDrives();
        return machine | s_volumes->scriptedDrives();
    }

    static BOOL WINAPI mountPoint(LPCWSTR root, LPWSTR buffer, DWORD units) {
        const std::wstring* name = s_volumes->resolve(root);
        if (name == nullptr)
            return s_mountPoint(root, buffer, units);
        return copyName(*name, buffer, units) ? TRUE : FALSE;
    }

    static HANDLE WINAPI findFirst(LPWSTR buffer, DWORD units) {
        ++s_volumes->searches_;
        // The machine's names are read at once; the scripted ones follow.
        std::vector<std::wstring> names;
        if (!s_volumes->replaceMachine_) {
            wchar_t name[MAX_PATH] = {};
            HANDLE real = s_findFirst(name, MAX_PATH);
            if (real != INVALID_HANDLE_VALUE) {
                do
                    names.push_back(name);
                while (s_findNext(real, name, MAX_PATH));
                s_findClose(real);
            }
        }
        for (const auto& volume : s_volumes->volumes_) {
            if (volume->searched)
                names.push_back(volume->name);
        }
        if (names.empty()) {
            SetLastError(ERROR_NO_MORE_FILES);
            return INVALID_HANDLE_VALUE;
        }
        if (!copyName(names.front(), buffer, units))
            return INVALID_HANDLE_VALUE;
        names.erase(names.begin());
        HANDLE search = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        s_volumes->searchesOpen_[search] = names;
        return search;
    }

    static BOOL WINAPI findNext(HANDLE search, LPWSTR buffer, DWORD units) {
        auto open = s_volumes->searchesOpen_.find(search);
        if (open == s_volumes->searchesOpen_.end())
            return s_findNext(search, buffer, units);
        if (open->second.empty()) {
            SetLastError(ERROR_NO_MORE_FILES);
            return FALSE;
        }
        if (!copyName(open->second.front(), buffer, units))
            return FALSE;
        open->second.erase(open->second.begin());
        return TRUE;
    }

    static BOOL WINAPI findClose(HANDLE search) {
        auto open = s_volumes->searchesOpen_.find(search);
        if (open == s_volumes->searchesOpen_.end())
            return s_findClose(search);
        s_volumes->searchesOpen_.erase(open);
        CloseHandle(search);
        return TRUE;
    }

    static BOOL WINAPI pathNames(LPCWSTR name, LPWCH buffer, DWORD units, PDWORD returned) {
        ScriptedVolume* volume = s_volumes->find(name);
        if (volume == nullptr)
            return s_pathNames(name, buffer, units, returned);
        s_volumes->pathNameCalls_.push_back(units);
        const std::vector<wchar_t> list = qln::test::multiString(volume->mountPoints);
        const DWORD needed = static_cast<DWORD>(list.size());
        DWORD refusal = 0;
        if (!volume->pathNameRefusals.empty()) {
            refusal = volume->pathNameRefusals.front();
            volume->pathNameRefusals.erase(volume->pathNameRefusals.begin());
        } else if (units < needed) {
            refusal = ERROR_MORE_DATA;
        }
        if (refusal != 0) {
            if (refusal == ERROR_MORE_DATA && returned != nullptr)
                *returned = needed;
            SetLastError(refusal);
            return FALSE;
        }
        std::memcpy(buffer, list.data(), list.size() * sizeof(wchar_t));
        if (returned != nullptr)
            *returned = needed;
        return TRUE;
    }

    static UINT WINAPI driveType(LPCWSTR root) {
        ScriptedVolume* volume = s_volumes->find(root);
        return volume != nullptr ? volume->driveType : s_driveType(root);
    }

    static int WINAPI netDrive(int drive) {
        s_volumes->netDriveCalls_.push_back(drive);
        if (s_volumes->networkDrives_.count(drive) != 0)
            return 1;
        return s_netDrive(drive);
    }
};

ScriptedVolumes::ScriptedVolumes(bool replaceMachine) : replaceMachine_(replaceMachine) {
    s_volumes = this;
    const qln::test::ImportFake imports[] = {
        {"GetLogicalDrives", reinterpret_cast<void*>(&ScriptedVolumesAccess::logicalDrives),
         reinterpret_cast<void**>(&s_logicalDrives)},
        {"GetVolumeNameForVolumeMountPointW",
         reinterpret_cast<void*>(&ScriptedVolumesAccess::mountPoint),
         reinterpret_cast<void**>(&s_mountPoint)},
        {"FindFirstVolumeW", reinterpret_cast<void*>(&ScriptedVolumesAccess::findFirst),
         reinterpret_cast<void**>(&s_findFirst)},
        {"FindNextVolumeW", reinterpret_cast<void*>(&ScriptedVolumesAccess::findNext),
         reinterpret_cast<void**>(&s_findNext)},
        {"FindVolumeClose", reinterpret_cast<void*>(&ScriptedVolumesAccess::findClose),
         reinterpret_cast<void**>(&s_findClose)},
        {"GetVolumePathNamesForVolumeNameW",
         reinterpret_cast<void*>(&ScriptedVolumesAccess::pathNames),
         reinterpret_cast<void**>(&s_pathNames)},
    };
    qln::test::patchImports(patches_, GetModuleHandleW(nullptr), "kernel32.dll", imports);
    HMODULE program = GetModuleHandleW(nullptr);
    driveTypePatch_.reset(new qln::test::ImportPatch(
        program, "kernel32.dll", "GetDriveTypeW",
        reinterpret_cast<void*>(&ScriptedVolumesAccess::driveType)));
    s_driveType = reinterpret_cast<DriveTypeFn>(driveTypePatch_->original());
    patches_.emplace_back(new qln::test::ImportPatch(
        program, "shell32.dll", WORD(66), reinterpret_cast<void*>(&ScriptedVolumesAccess::netDrive)));
    s_netDrive = reinterpret_cast<NetDriveFn>(patches_.back()->original());
}

ScriptedVolumes::~ScriptedVolumes() {
    patches_.clear();
    driveTypePatch_.reset();
    for (auto& open : searchesOpen_)
        CloseHandle(open.first);
    s_volumes = nullptr;
}

bool ScriptedVolumes::applied() const {
    return qln::test::allApplied(patches_);
}

ScriptedVolume& ScriptedVolumes::add(const std::wstring& name,
                                     const std::vector<std::wstring>& mountPoints) {
    volumes_.emplace_back(new ScriptedVolume());
    volumes_.back()->name = name;
    volumes_.back()->mountPoints = mountPoints;
    return *volumes_.back();
}

void ScriptedVolumes::resolveRoot(const std::wstring& root, const std::wstring& name) {
    roots_[upper(root.c_str())] = name;
}

void ScriptedVolumes::addNetworkDrive(char letter, const std::wstring& name) {
    const int index = letter - 'A';
    networkDrives_[index] = name;
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
    resolveRoot(root, name);
}

ScriptedVolume* ScriptedVolumes::find(const wchar_t* name) {
    if (name == nullptr)
        return nullptr;
    for (const auto& volume : volumes_) {
        if (_wcsicmp(volume->name.c_str(), name) == 0)
            return volume.get();
    }
    return nullptr;
}

const std::wstring* ScriptedVolumes::resolve(const wchar_t* root) const {
    if (root == nullptr)
        return nullptr;
    const std::wstring key = upper(root);
    auto mapped = roots_.find(key);
    if (mapped != roots_.end())
        return &mapped->second;
    for (const auto& volume : volumes_) {
        for (const std::wstring& point : volume->mountPoints) {
            if (driveIndexOf(point) >= 0 && upper(point.c_str()) == key)
                return &volume->name;
        }
    }
    return nullptr;
}

DWORD ScriptedVolumes::scriptedDrives() const {
    DWORD drives = 0;
    for (const auto& volume : volumes_) {
        for (const std::wstring& point : volume->mountPoints) {
            const int index = driveIndexOf(point);
            if (index >= 0)
                drives |= 1u << index;
        }
    }
    for (const auto& drive : networkDrives_)
        drives |= 1u << drive.first;
    return drives;
}

}  // namespace fennick_test
