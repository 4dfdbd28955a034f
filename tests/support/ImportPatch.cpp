#include "ImportPatch.h"

#include <cstring>

namespace qln {
namespace test {

namespace {

bool sameNameNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? char(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

void writeSlot(void** slot, void* value) {
    DWORD oldProtect = 0;
    if (VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtect)) {
        *slot = value;
        DWORD ignored = 0;
        VirtualProtect(slot, sizeof(void*), oldProtect, &ignored);
        FlushInstructionCache(GetCurrentProcess(), slot, sizeof(void*));
    }
}

}  // namespace

void** findImportSlot(HMODULE module, const char* dllName, const char* functionName, WORD ordinal) {
    if (module == nullptr || dllName == nullptr)
        return nullptr;
    BYTE* base = reinterpret_cast<BYTE*>(module);
    IMAGE_DOS_HEADER* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return nullptr;
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0 || dir.Size == 0)
        return nullptr;
    IMAGE_IMPORT_DESCRIPTOR* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        if (!sameNameNoCase(reinterpret_cast<const char*>(base + desc->Name), dllName))
            continue;
        DWORD lookupRva = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
        IMAGE_THUNK_DATA* lookup = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookupRva);
        IMAGE_THUNK_DATA* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; lookup->u1.AddressOfData != 0; ++lookup, ++address) {
            bool byOrdinal = IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal);
            if (functionName == nullptr) {
                if (byOrdinal && IMAGE_ORDINAL(lookup->u1.Ordinal) == ordinal)
                    return reinterpret_cast<void**>(&address->u1.Function);
            } else if (!byOrdinal) {
                IMAGE_IMPORT_BY_NAME* byName =
                    reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + lookup->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), functionName) == 0)
                    return reinterpret_cast<void**>(&address->u1.Function);
            }
        }
    }
    return nullptr;
}

ImportPatch::ImportPatch(HMODULE module, const char* dllName, const char* functionName,
                         void* replacement)
    : slot_(nullptr), original_(nullptr) {
    patch(module, dllName, functionName, 0, replacement);
}

ImportPatch::ImportPatch(HMODULE module, const char* dllName, WORD ordinal, void* replacement)
    : slot_(nullptr), original_(nullptr) {
    patch(module, dllName, nullptr, ordinal, replacement);
}

void ImportPatch::patch(HMODULE module, const char* dllName, const char* functionName, WORD ordinal,
                        void* replacement) {
    void** slot = findImportSlot(module, dllName, functionName, ordinal);
    if (slot == nullptr)
        return;
    original_ = *slot;
    writeSlot(slot, replacement);
    if (*slot == replacement)
        slot_ = slot;
}

ImportPatch::~ImportPatch() {
    if (slot_ != nullptr)
        writeSlot(slot_, original_);
}

}  // namespace test
}  // namespace qln
