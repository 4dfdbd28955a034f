#include "qln/DynamicLibrary.h"

#include <windows.h>

namespace qln {

DynamicLibrary::DynamicLibrary(const String& path) : path_(path), module_(nullptr) {}

DynamicLibrary::~DynamicLibrary() { unload(); }

bool DynamicLibrary::load() {
    if (module_ == nullptr)
        module_ = LoadLibraryW(path_.getUCS2Buffer());
    return module_ != nullptr;
}

void* DynamicLibrary::getSymbol(const char* name) const {
    if (module_ == nullptr || name == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
}

void DynamicLibrary::unload() {
    if (module_ != nullptr) {
        FreeLibrary(static_cast<HMODULE>(module_));
        module_ = nullptr;
    }
}

}  // namespace qln
