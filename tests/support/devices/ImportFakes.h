// What the import-table fakes of the device tests share: replacing a table of
// one DLL's imports at once, and the NUL-separated lists that the system's
// list functions answer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "ImportPatch.h"

namespace qln {
namespace test {

// One import to replace, and where the function it replaced goes.
struct ImportFake {
    const char* name;
    void* fake;
    void** original;
};

typedef std::vector<std::unique_ptr<ImportPatch>> ImportPatches;

// Replaces each import of `imports` that `module` takes from `dllName`,
// appending the patches to `patches` and storing each original.
void patchImports(ImportPatches& patches, HMODULE module, const char* dllName,
                  const ImportFake* imports, std::size_t count);

template <std::size_t N>
void patchImports(ImportPatches& patches, HMODULE module, const char* dllName,
                  const ImportFake (&imports)[N]) {
    patchImports(patches, module, dllName, imports, N);
}

// True when every patch found and replaced its import.
bool allApplied(const ImportPatches& patches);

// The texts, each with its NUL, then the final NUL.
std::vector<wchar_t> multiString(const std::vector<std::wstring>& texts);

}  // namespace test
}  // namespace qln
