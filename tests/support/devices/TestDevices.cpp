#include "TestDevices.h"

#include <cwchar>

#include <setupapi.h>

namespace qln {
namespace test {

const wchar_t* const TEST_DEVICE_ENUMERATOR = L"QLNFENNICK";
const GUID TEST_DEVCLASS_VOLUME = {0x71A27CDD, 0x812A, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};

namespace {

const wchar_t DEVICE_CLASSES_KEY[] = L"System\\CurrentControlSet\\Control\\DeviceClasses";

bool startsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Opens one device in a list of its own.
HDEVINFO openDevice(const std::wstring& instanceId, SP_DEVINFO_DATA& data) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return set;
    data = SP_DEVINFO_DATA();
    data.cbSize = sizeof(data);
    if (!SetupDiOpenDeviceInfoW(set, instanceId.c_str(), nullptr, 0, &data)) {
        SetupDiDestroyDeviceInfoList(set);
        return INVALID_HANDLE_VALUE;
    }
    return set;
}

bool removeOne(const std::wstring& instanceId) {
    SP_DEVINFO_DATA data;
    HDEVINFO set = openDevice(instanceId, data);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    BOOL removed = SetupDiRemoveDevice(set, &data);
    SetupDiDestroyDeviceInfoList(set);
    return removed != FALSE;
}

// Interface keys "##?#qlnfennick#..." under every interface class.
void sweepInterfaceKeys() {
    HKEY classes = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DEVICE_CLASSES_KEY, 0, KEY_READ, &classes) != ERROR_SUCCESS)
        return;
    const std::wstring prefix = std::wstring(L"##?#") + TEST_DEVICE_ENUMERATOR + L"#";
    wchar_t className[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(classes, i, className, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY classKey = nullptr;
        if (RegOpenKeyExW(classes, className, 0, KEY_READ | KEY_WRITE, &classKey) != ERROR_SUCCESS)
            continue;
        std::vector<std::wstring> stale;
        wchar_t name[512];
        for (DWORD j = 0;; ++j) {
            DWORD nameLength = 512;
            if (RegEnumKeyExW(classKey, j, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (startsWithNoCase(name, prefix))
                stale.push_back(name);
        }
        for (const std::wstring& key : stale)
            RegDeleteTreeW(classKey, key.c_str());
        RegCloseKey(classKey);
    }
    RegCloseKey(classes);
}

}  // namespace

std::wstring guidText(const GUID& guid) {
    wchar_t text[64];
    std::swprintf(text, 64, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

bool TestDevices::isTestDeviceId(const std::wstring& instanceId) {
    return startsWithNoCase(instanceId, std::wstring(TEST_DEVICE_ENUMERATOR) + L"\\");
}

unsigned TestDevices::sweep() {
    std::vector<std::wstring> leftovers;
    HDEVINFO set = SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA data;
        for (DWORD i = 0;; ++i) {
            data = SP_DEVINFO_DATA();
            data.cbSize = sizeof(data);
            if (!SetupDiEnumDeviceInfo(set, i, &data))
                break;
            wchar_t id[1024] = {};
            if (SetupDiGetDeviceInstanceIdW(set, &data, id, 1024, nullptr) && isTestDeviceId(id))
                leftovers.push_back(id);
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    unsigned removed = 0;
    for (const std::wstring& id : leftovers)
        removed += removeOne(id) ? 1 : 0;
    sweepInterfaceKeys();
    return removed;
}

TestDevices::TestDevices() { sweep(); }

TestDevices::~TestDevices() {
    for (const std::wstring& id : ids_)
        removeOne(id);
    sweepInterfaceKeys();
}

std::wstring TestDevices::addDevice(const std::wstring& relativeId, const GUID& setupClass,
                                    const wchar_t* description, const wchar_t* friendlyName) {
    const std::wstring id = std::wstring(TEST_DEVICE_ENUMERATOR) + L"\\" + relativeId;
    HDEVINFO set = SetupDiCreateDeviceInfoList(&setupClass, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return std::wstring();
    SP_DEVINFO_DATA data = SP_DEVINFO_DATA();
    data.cbSize = sizeof(data);
    bool made = SetupDiCreateDeviceInfoW(set, id.c_str(), &setupClass, description, nullptr, 0,
                                         &data) != FALSE;
    if (made && friendlyName != nullptr) {
        const DWORD bytes = static_cast<DWORD>((std::wcslen(friendlyName) + 1) * sizeof(wchar_t));
        made = SetupDiSetDeviceRegistryPropertyW(set, &data, SPDRP_FRIENDLYNAME,
                                                 reinterpret_cast<const BYTE*>(friendlyName),
                                                 bytes) != FALSE;
    }
    if (made)
        made = SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr) != FALSE;
    SetupDiDestroyDeviceInfoList(set);
    if (!made) {
        removeOne(id);
        return std::wstring();
    }
    ids_.push_back(id);
    return id;
}

std::wstring TestDevices::addInterface(const std::wstring& instanceId, const GUID& interfaceClass,
                                       bool linked) {
    SP_DEVINFO_DATA data;
    HDEVINFO set = openDevice(instanceId, data);
    if (set == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::wstring path;
    SP_DEVICE_INTERFACE_DATA interfaceData = SP_DEVICE_INTERFACE_DATA();
    interfaceData.cbSize = sizeof(interfaceData);
    if (SetupDiCreateDeviceInterfaceW(set, &data, &interfaceClass, nullptr, 0, &interfaceData)) {
        DWORD detailBuffer[512] = {};
        SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail =
            reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detailBuffer);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        // The last unit stays 0, so the path is always terminated.
        if (SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, sizeof(detailBuffer) - 2,
                                             nullptr, nullptr))
            path = detail->DevicePath;
    }
    SetupDiDestroyDeviceInfoList(set);
    if (path.empty() || !linked)
        return path;

    // ...\DeviceClasses\{class}\##?#<path after \\?\>\#\Control, Linked = 1
    const std::wstring key = std::wstring(DEVICE_CLASSES_KEY) + L"\\" + guidText(interfaceClass) +
                             L"\\##?#" + path.substr(4) + L"\\#\\Control";
    HKEY control = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &control,
                        nullptr) != ERROR_SUCCESS)
        return std::wstring();
    const DWORD one = 1;
    LONG written = RegSetValueExW(control, L"Linked", 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(control);
    return written == ERROR_SUCCESS ? path : std::wstring();
}

bool TestDevices::removeDevice(const std::wstring& instanceId) {
    bool removed = removeOne(instanceId);
    for (auto it = ids_.begin(); it != ids_.end(); ++it) {
        if (*it == instanceId) {
            ids_.erase(it);
            break;
        }
    }
    return removed;
}

}  // namespace test
}  // namespace qln
