#include "ImportFakes.h"

namespace qln {
namespace test {

void patchImports(ImportPatches& patches, HMODULE module, const char* dllName,
                  const ImportFake* imports, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        patches.emplace_back(new ImportPatch(module, dllName, imports[i].name, imports[i].fake));
        *imports[i].original = patches.back()->original();
    }
}

bool allApplied(const ImportPatches& patches) {
    for (const std::unique_ptr<ImportPatch>& patch : patches) {
        if (!patch->applied())
            return false;
    }
    return true;
}

std::vector<wchar_t> multiString(const std::vector<std::wstring>& texts) {
    std::vector<wchar_t> list;
    for (const std::wstring& text : texts) {
        list.insert(list.end(), text.begin(), text.end());
        list.push_back(0);
    }
    list.push_back(0);
    return list;
}

}  // namespace test
}  // namespace qln
