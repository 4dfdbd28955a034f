// A library loaded at run time; destroying the object unloads it.
#pragma once

#include "qln/Config.h"
#include "qln/String.h"

namespace qln {

class AMBREL_API DynamicLibrary {
public:
    explicit DynamicLibrary(const String& path);
    ~DynamicLibrary();

    // Loads the library (once); true when it is loaded. On failure the
    // system error stays readable through System::getSystemError.
    bool load();
    bool isLoaded() const { return module_ != nullptr; }
    // Address of an exported symbol, null when absent or not loaded.
    void* getSymbol(const char* name) const;
    void unload();
    const String& getPath() const { return path_; }

private:
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    String path_;
    void* module_;
};

}  // namespace qln
