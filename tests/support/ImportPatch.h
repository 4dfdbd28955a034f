// Replaces one imported function of a loaded module for the lifetime of the
// object: the module's import address table entry is pointed at a fake and
// restored on scope exit. The DLL name is compared without case; the import
// is named by function name or by ordinal.
//
// A fake acts for the whole module: it should answer only for the handles,
// paths or nodes that the test owns and pass everything else to original().
// Declare fakes WINAPI (it matters on i686).
#pragma once

#include <windows.h>

namespace qln {
namespace test {

class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dllName, const char* functionName, void* replacement);
    ImportPatch(HMODULE module, const char* dllName, WORD ordinal, void* replacement);
    ~ImportPatch();

    // True when the import was found and replaced.
    bool applied() const { return slot_ != nullptr; }
    // The function the module imported before the patch.
    void* original() const { return original_; }
    template <class F>
    F originalAs() const {
        return reinterpret_cast<F>(original_);
    }

private:
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    void patch(HMODULE module, const char* dllName, const char* functionName, WORD ordinal,
               void* replacement);

    void** slot_;
    void* original_;
};

// Address of an import table entry of `module`, or null when the module does
// not import that function from that DLL. For tests that check a patch.
void** findImportSlot(HMODULE module, const char* dllName, const char* functionName, WORD ordinal);

}  // namespace test
}  // namespace qln
