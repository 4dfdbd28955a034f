#include "qln/System.h"

#include <windows.h>

#include <string>

namespace qln {

Uint32 System::getSystemError() { return GetLastError(); }

void System::setSystemError(Uint32 code) { SetLastError(code); }

String System::getSystemErrorMsg(Uint32 code, bool localized) {
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                        FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t* text = nullptr;
    DWORD length = 0;
    if (!localized)
        length = FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0)
        length = FormatMessageW(flags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                nullptr);
    if (length == 0 || text == nullptr) {
        if (text)
            LocalFree(text);
        return String((L"System error " + std::to_wstring(code)).c_str());
    }
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r'))
        --length;
    String message(text, length);
    LocalFree(text);
    return message;
}

bool System::userIsAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

}  // namespace qln
