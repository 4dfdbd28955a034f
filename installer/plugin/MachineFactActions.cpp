// Actions that report facts about the machine: preferred UI language,
// processor count, current time and whether the caller is an administrator.
#include <windows.h>

#include <cstdio>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "HostInterface.h"
#include "ParameterText.h"
#include "qln/Format.h"
#include "qln/String.h"
#include "qln/System.h"

using namespace kestrine;

// Pushes "0x" and the first of the user's preferred UI language ids; pushes
// nothing when the system cannot tell.
KESTRINE_ACTION(GetVistaPreferredUILanguage) {
    enterAction(stringSize, variables, stackTop);
    ULONG count = 0;
    ULONG length = 0;
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_ID, &count, nullptr, &length) != TRUE)
        return;
    if (length == ULONG(-1))
        return;
    // One unit more than the system asked for, zero-filled: the first entry
    // is terminated even when the system returns no list at all.
    std::vector<wchar_t> list;
    try {
        list.assign(std::size_t(length) + 1, L'\0');
    } catch (const std::bad_alloc&) {
        return;
    }
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_ID, &count, list.data(), &length) != TRUE)
        return;
    std::wstring text = L"0x";
    text += list.data();
    pushString(text.c_str());
}

// Pushes the number of logical processors Windows reports.
KESTRINE_ACTION(GetPhysicalProcessorCount) {
    enterAction(stringSize, variables, stackTop);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    wchar_t text[16];
    swprintf_s(text, 16, L"%i", static_cast<int>(info.dwNumberOfProcessors));
    pushString(text);
}

// Pushes the current time in seconds since 1970-01-01 00:00:00 UTC.
KESTRINE_ACTION(GetTimeNow) {
    enterAction(stringSize, variables, stackTop);
    long long now = _time64(nullptr);
    qln::String decimal = qln::QLNValue(now).toString(qln::QLNValue::nilValue);
    qln::CString narrow = decimal.getLowerByteString();
    wchar_t wide[kWideUnits];
    widenText(narrow.c_str(), wide);
    pushString(wide);
}

// Sets $R0 to "true" when the caller is an administrator, else "false";
// pushes nothing.
KESTRINE_ACTION(IsRunningAsAdmin) {
    enterAction(stringSize, variables, stackTop);
    setUserVariable(kVariableR0, qln::System::userIsAdministrator() ? L"true" : L"false");
}
