#include "qln/WindowsRegistry.h"

#include <windows.h>

#include <string>
#include <vector>

#include "qln/Exception.h"

namespace qln {

namespace {

struct Root {
    const wchar_t* longName;
    const wchar_t* shortName;
    HKEY key;
};

const Root kRoots[] = {
    {L"HKEY_LOCAL_MACHINE", L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKEY_CURRENT_USER", L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_CLASSES_ROOT", L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKEY_USERS", L"HKU", HKEY_USERS},
    {L"HKEY_CURRENT_CONFIG", L"HKCC", HKEY_CURRENT_CONFIG},
};

// Splits "ROOT\sub\path" into the root key and the subkey path.
bool parseKeyPath(const String& keyPath, HKEY& root, std::wstring& subKey) {
    const std::wstring& path = keyPath.native();
    std::size_t slash = path.find(L'\\');
    String rootName(String(path.substr(0, slash).c_str()));
    subKey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    for (const Root& r : kRoots) {
        if (rootName.compareNoCase(String(r.longName)) == 0 ||
            rootName.compareNoCase(String(r.shortName)) == 0) {
            root = r.key;
            return true;
        }
    }
    return false;
}

class Key {
public:
    Key() : key_(nullptr) {}
    ~Key() {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY key_;
};

const REGSAM kView = KEY_WOW64_64KEY;

// Reads the raw data of a REG_MULTI_SZ value; false when it is missing or of another type.
bool readRaw(const String& keyPath, const String& valueName, std::vector<wchar_t>& units) {
    HKEY root;
    std::wstring subKey;
    if (!parseKeyPath(keyPath, root, subKey))
        return false;
    Key key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | kView, key.out()) != ERROR_SUCCESS)
        return false;
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD bytes = 0;
        LONG rc = RegQueryValueExW(key.get(), valueName.getUCS2Buffer(), nullptr, &type, nullptr, &bytes);
        if (rc != ERROR_SUCCESS || type != REG_MULTI_SZ)
            return false;
        std::vector<BYTE> data(bytes + 2);
        DWORD got = bytes;
        rc = RegQueryValueExW(key.get(), valueName.getUCS2Buffer(), nullptr, &type, data.data(), &got);
        if (rc == ERROR_MORE_DATA)
            continue;  // the value grew in between
        if (rc != ERROR_SUCCESS || type != REG_MULTI_SZ)
            return false;
        units.assign(got / 2, L'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
        return true;
    }
    return false;
}

}  // namespace

bool WindowsRegistry::multiStringValueExists(const String& keyPath, const String& valueName) {
    std::vector<wchar_t> units;
    return readRaw(keyPath, valueName, units);
}

Array<String> WindowsRegistry::getMultiStringValue(const String& keyPath, const String& valueName,
                                                   bool mustExist) {
    Array<String> entries;
    std::vector<wchar_t> units;
    if (!readRaw(keyPath, valueName, units)) {
        if (mustExist)
            RaiseExceptionImp(2, 0, 0, "multi-string value not readable");
        return entries;
    }
    // Each entry ends with a NUL and the list with one more. Only the list's
    // terminator is dropped, so empty entries inside the value are kept.
    std::size_t n = units.size();
    bool onlyNuls = true;
    for (wchar_t u : units)
        onlyNuls = onlyNuls && u == L'\0';
    if (n == 0 || (n == 1 && onlyNuls))
        return entries;
    if (n >= 2 && units[n - 1] == L'\0' && units[n - 2] == L'\0')
        --n;
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (units[i] == L'\0') {
            entries.append(String(units.data() + start, static_cast<Uint32>(i - start)));
            start = i + 1;
        }
    }
    if (start < n)  // an entry without terminator
        entries.append(String(units.data() + start, static_cast<Uint32>(n - start)));
    return entries;
}

bool WindowsRegistry::setMultiStringValue(const String& keyPath, const String& valueName,
                                          const Array<String>& entries) {
    HKEY root;
    std::wstring subKey;
    if (!parseKeyPath(keyPath, root, subKey))
        return false;
    std::wstring data;
    for (Uint32 i = 0; i < entries.size(); ++i) {
        data += entries[i].native();
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    Key key;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr,
                        key.out(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.get(), valueName.getUCS2Buffer(), 0, REG_MULTI_SZ,
                          reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace qln
