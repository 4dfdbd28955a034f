// Multi-string values of the registry.
//
// A key path is a root key name, a backslash and the subkey path:
// "HKEY_LOCAL_MACHINE\SOFTWARE\Vendor" or, with short names, "HKLM\SOFTWARE\Vendor".
// Roots: HKEY_LOCAL_MACHINE/HKLM, HKEY_CURRENT_USER/HKCU, HKEY_CLASSES_ROOT/HKCR,
// HKEY_USERS/HKU, HKEY_CURRENT_CONFIG/HKCC (names compared without case).
// Keys are opened in the 64-bit view on 64-bit Windows, so a 32-bit caller
// sees the same values as the system.
//
// Entries are kept exactly: empty entries inside a value survive a read and
// a write; an empty list is stored as one terminating NUL.
#pragma once

#include "qln/Array.h"
#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

class AMBREL_API WindowsRegistry {
public:
    // True when the value exists and is of type REG_MULTI_SZ.
    static bool multiStringValueExists(const String& keyPath, const String& valueName);
    // The entries of the value. With `mustExist` a missing key or value, a
    // value of another type or a bad key path raises qln::Exception; without
    // it they give an empty list.
    static Array<String> getMultiStringValue(const String& keyPath, const String& valueName,
                                             bool mustExist);
    // Writes the entries, creating the key when needed; true on success.
    static bool setMultiStringValue(const String& keyPath, const String& valueName,
                                    const Array<String>& entries);
};

}  // namespace qln

using qln::WindowsRegistry;
