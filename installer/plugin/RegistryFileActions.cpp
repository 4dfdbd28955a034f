// Actions on multi-string registry values, on a small 8-bit text file and on
// the Windows installer database.
#include <windows.h>
#include <msi.h>

#include <exception>
#include <new>
#include <vector>

#include "HostInterface.h"
#include "ParameterText.h"
#include "qln/Array.h"
#include "qln/Exception.h"
#include "qln/Regex.h"
#include "qln/String.h"
#include "qln/WindowsRegistry.h"

using namespace kestrine;

namespace {

// The file action reads one block: a file that does not fit below this size
// is refused rather than cut short by the rewrite.
const DWORD kFileBlockBytes = 65536;
// A product code in braces and its terminator.
const int kProductCodeUnits = 39;

const wchar_t kRegistryCaughtException[] = L"error: caught exception";

// Closes the file on every way out of the action.
class FileCloser {
public:
    explicit FileCloser(HANDLE file) : file_(file) {}
    ~FileCloser() {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
    }

private:
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;
    HANDLE file_;
};

// The entries without each pair (a pending rename's source and destination)
// that holds `search` in either entry. A last entry without a partner is
// tested, and dropped, alone.
qln::Array<qln::String> dropMatchingPairs(const qln::Array<qln::String>& entries,
                                          const qln::String& search) {
    qln::Array<qln::String> kept;
    // An empty text is found in every entry and would empty the whole list.
    if (search.isEmpty())
        return entries;
    const qln::Uint32 count = entries.size();
    for (qln::Uint32 i = 0; i < count; i += 2) {
        const qln::Uint32 end = i + 1 < count ? i + 2 : count;
        bool holds = false;
        for (qln::Uint32 j = i; j < end; ++j)
            holds = holds || entries[j].find(search, 0) != qln::String::NOT_FOUND;
        if (holds)
            continue;
        for (qln::Uint32 j = i; j < end; ++j)
            kept.append(entries[j]);
    }
    return kept;
}

// The result text of ReplaceRegexInFile's work on an opened file.
const wchar_t* replaceFirstMatch(HANDLE file, const qln::Regex& regex,
                                 const qln::String& replacement) {
    std::vector<char> block;
    try {
        block.resize(kFileBlockBytes);
    } catch (const std::bad_alloc&) {
        return L"Error reading file";
    }
    DWORD read = 0;
    if (!ReadFile(file, block.data(), kFileBlockBytes, &read, nullptr))
        return L"Error reading file";
    // A full block may have more behind it, and a NUL byte would end the text
    // early: either way the rewrite would lose the rest of the file.
    LARGE_INTEGER size;
    if (read >= kFileBlockBytes || !GetFileSizeEx(file, &size) || size.QuadPart != read)
        return L"Error reading file";
    for (DWORD i = 0; i < read; ++i) {
        if (block[i] == '\0')
            return L"Error reading file";
    }
    qln::String text(block.data(), read);

    qln::Matcher matcher;
    try {
        matcher = regex.match(text);
    } catch (const qln::Exception&) {
        // The search was abandoned at the regex layer's limit: nothing found.
        return L"no match";
    }
    if (!matcher.matches())
        return L"no match";

    // Exactly the matched span is replaced; the same text elsewhere in the
    // file stays as it is.
    qln::Uint32 start = matcher.getGroupStart(0);
    qln::String edited = text.subString(0, start) + replacement +
                         text.subString(start + matcher.getGroupLength(0));

    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return L"Could not reset file pointer";
    qln::CString bytes = edited.getLowerByteString();
    DWORD written = 0;
    // A shorter text leaves the old one's tail behind it until the file is
    // cut: without the cut the rewrite has failed.
    if (!WriteFile(file, bytes.c_str(), edited.size(), &written, nullptr) ||
        written != edited.size() || !SetEndOfFile(file))
        return L"Could not overwrite file";
    return L"Success";
}

// The frame of both registry actions: pops the three parameters (the action's
// own text, the value name, the key path), narrows them, and pushes what the
// work returns, or "error: caught exception" as the only result when it fails.
// A parameter that narrowing emptied would name the key's default value, or
// write or search an empty text: the registry is left alone and `refusal` is
// the result.
template <class Work>
void runRegistryAction(const wchar_t* refusal, Work work) {
    wchar_t textParameter[kParameterUnits];
    wchar_t valueParameter[kParameterUnits];
    wchar_t keyParameter[kParameterUnits];
    popParameter(textParameter);
    popParameter(valueParameter);
    popParameter(keyParameter);

    const wchar_t* result = kRegistryCaughtException;
    try {
        qln::String text;
        qln::String valueName;
        qln::String keyPath;
        const bool kept = narrowParameterChecked(textParameter, text) &&
                          narrowParameterChecked(valueParameter, valueName) &&
                          narrowParameterChecked(keyParameter, keyPath);
        result = kept ? work(text, valueName, keyPath) : refusal;
    } catch (const std::exception&) {
        // qln::Exception from the core library; anything else (out of
        // memory) must not reach the installer either.
        result = kRegistryCaughtException;
    }
    pushString(result);
}

}  // namespace

// Drops from a multi-string value every pair of entries in which the search
// text occurs, and writes the rest back.
KESTRINE_ACTION(FindFilesToRemoveOnReboot) {
    enterAction(stringSize, variables, stackTop);
    static const wchar_t kFailed[] = L"Error: PendingFileRenameOperations::setValue()";
    runRegistryAction(kFailed, [](const qln::String& search, const qln::String& valueName,
                                  const qln::String& keyPath) -> const wchar_t* {
        if (!WindowsRegistry::multiStringValueExists(keyPath, valueName))
            return L"Success";
        qln::Array<qln::String> entries =
            WindowsRegistry::getMultiStringValue(keyPath, valueName, true);
        return WindowsRegistry::setMultiStringValue(keyPath, valueName,
                                                    dropMatchingPairs(entries, search))
                   ? L"Success"
                   : kFailed;
    });
}

// Writes a multi-string value of exactly one entry.
KESTRINE_ACTION(WriteRegMultiSz) {
    enterAction(stringSize, variables, stackTop);
    static const wchar_t kFailed[] = L"Error: setMultiStringValue()";
    runRegistryAction(kFailed, [](const qln::String& data, const qln::String& valueName,
                                  const qln::String& keyPath) -> const wchar_t* {
        qln::Array<qln::String> entries;
        entries.append(data);
        return WindowsRegistry::setMultiStringValue(keyPath, valueName, entries) ? L"Success"
                                                                                 : kFailed;
    });
}

// Replaces the first match of a pattern in an 8-bit text file by a literal
// text and rewrites the file.
KESTRINE_ACTION(ReplaceRegexInFile) {
    enterAction(stringSize, variables, stackTop);
    wchar_t pathParameter[kParameterUnits];
    wchar_t replacementParameter[kParameterUnits];
    wchar_t patternParameter[kParameterUnits];
    popParameter(pathParameter);
    popParameter(replacementParameter);
    popParameter(patternParameter);

    const wchar_t* result = L"Error reading file";
    try {
        // A parameter that narrowing emptied fails the step that uses it,
        // before anything is written: an empty pattern would match at the
        // start, an empty replacement would delete the match.
        qln::String path;
        qln::String replacement;
        qln::String pattern;
        const bool pathKept = narrowParameterChecked(pathParameter, path);
        const bool replacementKept = narrowParameterChecked(replacementParameter, replacement);
        const bool patternKept = narrowParameterChecked(patternParameter, pattern);

        qln::Regex regex(pattern.getLowerByteString().c_str(), 0);
        if (!patternKept || !regex.isPatternValid()) {
            result = L"invalid pattern";
        } else {
            // The path's bytes are its units up to U+00FF, not text of the
            // ANSI code page: opened by its UTF-16 form, it names the same
            // file whatever the system's code page. Others may read the file
            // meanwhile, but no one may change it.
            HANDLE file = pathKept ? CreateFileW(path.getUCS2Buffer(),
                                                 GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                 nullptr)
                                   : INVALID_HANDLE_VALUE;
            if (file == INVALID_HANDLE_VALUE) {
                result = L"Error opening file";
            } else {
                FileCloser closer(file);
                result = replacementKept ? replaceFirstMatch(file, regex, replacement)
                                         : L"Could not overwrite file";
            }
        }
    } catch (const std::exception&) {
        // Out of memory before the write: the file is as it was.
        result = L"Error reading file";
    }
    pushString(result);
}

// Pushes the version of the first product the installer database has
// registered under the upgrade code.
KESTRINE_ACTION(MsiFindVersionByUpgradeCode) {
    enterAction(stringSize, variables, stackTop);
    wchar_t upgradeCode[kParameterUnits];
    popParameter(upgradeCode);

    wchar_t productCode[kProductCodeUnits];
    productCode[0] = L'\0';
    UINT status = MsiEnumRelatedProductsW(upgradeCode, 0, 0, productCode);
    if (status == ERROR_NO_MORE_ITEMS) {
        pushString(L"error: Not found");
        return;
    }
    if (status != ERROR_SUCCESS) {
        pushString(L"error: Unknown error during enumeration");
        return;
    }

    DWORD length = 0;
    if (MsiGetProductInfoW(productCode, INSTALLPROPERTY_VERSIONSTRING, nullptr, &length) !=
        ERROR_SUCCESS) {
        pushString(L"error: Could not get version");
        return;
    }
    std::vector<wchar_t> version;
    try {
        if (length == DWORD(-1))
            throw std::bad_alloc();  // one unit more would not fit in a DWORD
        version.assign(std::size_t(length) + 1, L'\0');
    } catch (const std::exception&) {
        pushString(L"error: Could not get version after finding version size");
        return;
    }
    DWORD units = length + 1;
    if (MsiGetProductInfoW(productCode, INSTALLPROPERTY_VERSIONSTRING, version.data(), &units) !=
        ERROR_SUCCESS) {
        pushString(L"error: Could not get version after finding version size");
        return;
    }
    pushString(version.data());
}
