// Actions that start a program and wait for it, and that find, close or end
// running programs by the path of their image file or by their command line.
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>
#include <objbase.h>
#include <wbemidl.h>

#include <cstddef>
#include <cwchar>
#include <new>
#include <vector>

#include "HostInterface.h"
#include "ParameterText.h"
#include "qln/String.h"

using namespace kestrine;

namespace {

const DWORD kProcessIdCount = 1024;
// The id list grows by doubling up to this many ids (4 MiB), far beyond any
// machine's process count; a listing that still fills it is not trusted.
const std::size_t kMaxProcessIdCount = std::size_t(1) << 20;
const DWORD kImageNameUnits = 2048;
const int kScanPasses = 100;
const DWORD kSettleMilliseconds = 50;
const DWORD kVolumeUnits = 1024;

// Lists the running processes into `ids`, growing it while a listing fills
// it: a full list may have been cut short. Gives the number of ids listed,
// or false when the listing fails, still fills the largest list or needs
// more memory than there is.
bool listProcesses(std::vector<DWORD>& ids, DWORD& count) {
    for (;;) {
        const DWORD room = DWORD(ids.size() * sizeof(DWORD));
        DWORD bytes = 0;
        if (!K32EnumProcesses(ids.data(), room, &bytes))
            return false;
        if (bytes < room) {
            count = bytes / sizeof(DWORD);
            return true;
        }
        if (ids.size() >= kMaxProcessIdCount)
            return false;
        try {
            ids.assign(ids.size() * 2, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
}

}  // namespace

// EnumWindows callback of the close-windows scan: posts WM_CLOSE to every
// top-level window of the process whose id arrives as `processId`.
BOOL CALLBACK closeWindowsOfProcess(HWND window, LPARAM processId) {
    if (window == nullptr || processId == 0)
        return FALSE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == DWORD(processId))
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Rewrites a drive-letter path in place into the device form that Windows
// reports for process images. True also when no volume is mounted at the
// path's root (the path is then left as it was).
bool devicePathFromDosPath(wchar_t* path) {
    if (std::wcsstr(path, L":\\") == nullptr)
        return false;
    wchar_t root[4] = {path[0], path[1], path[2], L'\0'};
    wchar_t volume[kVolumeUnits];
    wchar_t device[kVolumeUnits];
    wchar_t mountPaths[kVolumeUnits];

    HANDLE search = FindFirstVolumeW(volume, kVolumeUnits);
    if (search == INVALID_HANDLE_VALUE)
        return true;
    bool matched = false;
    for (;;) {
        std::size_t length = std::wcslen(volume);
        if (length < 5 || std::wcsncmp(volume, L"\\\\?\\", 4) != 0 ||
            volume[length - 1] != L'\\') {
            FindVolumeClose(search);
            return false;
        }
        // QueryDosDeviceW wants the bare name: no "\\?\" and no trailing backslash.
        volume[length - 1] = L'\0';
        DWORD deviceLength = QueryDosDeviceW(volume + 4, device, kVolumeUnits);
        volume[length - 1] = L'\\';
        if (deviceLength == 0) {
            FindVolumeClose(search);
            return false;
        }
        DWORD returned = 0;
        if (GetVolumePathNamesForVolumeNameW(volume, mountPaths, kVolumeUnits, &returned)) {
            // The list is a run of terminated texts ending in an empty one. A
            // volume claims the drive only by a mount path that is its root.
            for (const wchar_t* mount = mountPaths; *mount != L'\0';
                 mount += std::wcslen(mount) + 1) {
                if (std::wcslen(mount) == 3 && _wcsnicmp(mount, root, 3) == 0) {
                    matched = true;
                    break;
                }
            }
        }
        if (matched)
            break;
        if (!FindNextVolumeW(search, volume, kVolumeUnits)) {
            FindVolumeClose(search);
            return true;
        }
    }
    FindVolumeClose(search);

    std::size_t pathLength = std::wcslen(path);
    std::size_t deviceNameLength = std::wcslen(device);
    if (pathLength + deviceNameLength + 2 >= std::size_t(kParameterUnits))
        return false;
    std::vector<wchar_t> converted;
    try {
        converted.assign(pathLength + deviceNameLength + 2, L'\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    wsprintfW(converted.data(), L"%s\\%s", device, path + 3);
    lstrcpynW(path, converted.data(), kParameterUnits);
    return true;
}

// Walks the process list for images at `devicePath`, up to 100 passes. Check
// only: true when one runs. Terminate or close windows: true when the last
// pass found none.
bool scanProcesses(qln::String devicePath, bool terminate, bool checkOnly) {
    std::vector<DWORD> ids;
    std::vector<wchar_t> imageName;
    try {
        ids.assign(kProcessIdCount, 0);
        imageName.assign(kImageNameUnits, L'\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    bool found = true;
    for (int pass = 0; pass < kScanPasses; ++pass) {
        if (pass > 0 && !found)
            break;
        DWORD count = 0;
        if (!listProcesses(ids, count))
            continue;
        found = false;
        for (DWORD i = 0; i < count; ++i) {
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
            if (process == nullptr)
                continue;
            imageName[0] = L'\0';
            if (K32GetProcessImageFileNameW(process, imageName.data(), kImageNameUnits) == 0) {
                CloseHandle(process);
                continue;
            }
            if (devicePath.compare(qln::String(imageName.data())) != 0) {
                CloseHandle(process);
                continue;
            }
            found = true;
            if (checkOnly) {
                CloseHandle(process);
                return true;
            }
            if (terminate) {
                CloseHandle(process);
                HANDLE victim = OpenProcess(
                    PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
                if (victim != nullptr)
                    TerminateProcess(victim, 0);
                Sleep(kSettleMilliseconds);
                if (victim != nullptr)
                    CloseHandle(victim);
            } else {
                EnumWindows(closeWindowsOfProcess, LPARAM(ids[i]));
                // The last pass reports success even when windows stay open.
                found = pass != kScanPasses - 1;
                Sleep(kSettleMilliseconds);
                CloseHandle(process);
            }
        }
    }
    return checkOnly ? found : !found;
}

namespace {

// The shape shared by the three path actions: convert, scan, report.
const wchar_t* scanByImagePath(bool terminate, bool checkOnly, const wchar_t* yes,
                               const wchar_t* no) {
    wchar_t path[kParameterUnits];
    popParameter(path);
    if (!devicePathFromDosPath(path))
        return L"error parsing file";
    qln::String devicePath(path);
    return scanProcesses(devicePath, terminate, checkOnly) ? yes : no;
}

void pushFormatted(const wchar_t* format, HRESULT result) {
    wchar_t text[kParameterUnits];
    wsprintfW(text, format, int(result));
    pushString(text);
}

// Reads one text property; false when it cannot be read or is no text.
bool readText(IWbemClassObject* object, const wchar_t* name, VARIANT& value) {
    VariantInit(&value);
    if (FAILED(object->Get(name, 0, &value, nullptr, nullptr)))
        return false;
    return value.vt == VT_BSTR && value.bstrVal != nullptr;
}

}  // namespace

// Pushes the exit code of the started program ("%d"), or "error".
KESTRINE_ACTION(ExecWait) {
    enterAction(stringSize, variables, stackTop);
    wchar_t parameter[kParameterUnits];
    popParameter(parameter);
    qln::String commandLine = narrowParameter(parameter);

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION created;
    ZeroMemory(&created, sizeof(created));

    std::vector<wchar_t> writable(commandLine.getUCS2Buffer(),
                                  commandLine.getUCS2Buffer() + commandLine.size() + 1);
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &created)) {
        pushString(L"error");
        return;
    }
    CloseHandle(created.hThread);
    // Wait on the creation's own handle: a program that ends at once still
    // reports its code, and the wait cannot follow another process that
    // was given the same id.
    HANDLE process = created.hProcess;
    if (WaitForSingleObject(process, INFINITE) == WAIT_FAILED) {
        CloseHandle(process);
        pushString(L"error");
        return;
    }
    DWORD exitCode = 0;
    BOOL read = GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    if (!read) {
        pushString(L"error");
        return;
    }
    wchar_t text[16];
    wsprintfW(text, L"%d", int(exitCode));
    pushString(text);
}

KESTRINE_ACTION(KillProcess) {
    enterAction(stringSize, variables, stackTop);
    pushString(scanByImagePath(true, false, L"success", L"failed"));
}

KESTRINE_ACTION(CloseProcessWindows) {
    enterAction(stringSize, variables, stackTop);
    pushString(scanByImagePath(false, false, L"success", L"failed"));
}

KESTRINE_ACTION(IsProcessRunning) {
    enterAction(stringSize, variables, stackTop);
    pushString(scanByImagePath(false, true, L"true", L"false"));
}

// Pushes "found" when a process of the popped name runs with the popped text
// in its command line, "failed to find it" when none does, or the text of the
// COM or WMI step that failed.
KESTRINE_ACTION(SearchProcessCommandLines) {
    enterAction(stringSize, variables, stackTop);
    wchar_t commandText[kParameterUnits];
    wchar_t processName[kParameterUnits];
    popParameter(commandText);
    popParameter(processName);

    HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(result)) {
        pushFormatted(L"error: could not CoInitializeEx --  %d", result);
        return;
    }
    result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                  RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(result) && result != RPC_E_TOO_LATE) {
        CoUninitialize();
        pushFormatted(L"error: could not CoInitializeSecurity --  %d", result);
        return;
    }
    IWbemLocator* locator = nullptr;
    result = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              reinterpret_cast<void**>(&locator));
    if (FAILED(result)) {
        CoUninitialize();
        pushFormatted(L"error: could not CoCreateInstance --  %d", result);
        return;
    }
    IWbemServices* services = nullptr;
    BSTR space = SysAllocString(L"ROOT\\CIMV2");
    result = locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    &services);
    SysFreeString(space);
    if (FAILED(result)) {
        locator->Release();
        CoUninitialize();
        pushFormatted(L"error: could not ConnectServer --  %d", result);
        return;
    }
    result = CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                               RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                               EOAC_NONE);
    if (FAILED(result)) {
        services->Release();
        locator->Release();
        CoUninitialize();
        pushFormatted(L"error: could not CoSetProxyBlanket --  %d", result);
        return;
    }
    IEnumWbemClassObject* objects = nullptr;
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"SELECT * FROM Win32_Process");
    result = services->ExecQuery(language, query,
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 &objects);
    SysFreeString(query);
    SysFreeString(language);
    if (FAILED(result)) {
        services->Release();
        locator->Release();
        CoUninitialize();
        pushFormatted(L"error: could not ExecQuery --  %d", result);
        return;
    }

    bool found = false;
    for (;;) {
        IWbemClassObject* object = nullptr;
        ULONG returned = 0;
        objects->Next(WBEM_INFINITE, 1, &object, &returned);
        if (returned == 0 || object == nullptr)
            break;
        VARIANT name;
        VARIANT commandLine;
        VariantInit(&commandLine);
        if (readText(object, L"Name", name) && std::wcscmp(name.bstrVal, processName) == 0 &&
            readText(object, L"CommandLine", commandLine) &&
            std::wcsstr(commandLine.bstrVal, commandText) != nullptr)
            found = true;
        VariantClear(&commandLine);
        VariantClear(&name);
        object->Release();
    }
    objects->Release();
    services->Release();
    locator->Release();
    CoUninitialize();
    pushString(found ? L"found" : L"failed to find it");
}
