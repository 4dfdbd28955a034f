#include "InstallerHost.h"

#include <cstddef>
#include <string>

#include <gtest/gtest.h>

namespace kestrine {
namespace test {

InstallerHost::InstallerHost(int stringSize)
    : stringSize_(stringSize),
      top_(nullptr),
      variables_(std::size_t(kVariableCount) * (stringSize > 0 ? stringSize : 0) + kGuardUnits,
                 kGuardUnit) {
    for (unsigned slot = 0; slot < kVariableCount && stringSize_ > 0; ++slot)
        variables_[std::size_t(slot) * stringSize_] = 0;
}

InstallerHost::~InstallerHost() {
    while (top_ != nullptr) {
        StackNode* next = top_->next;
        GlobalFree(top_);
        top_ = next;
    }
}

StackNode* InstallerHost::allocateNode() {
    std::size_t bytes = offsetof(StackNode, text) + std::size_t(stringSize_) * sizeof(wchar_t);
    return static_cast<StackNode*>(GlobalAlloc(GPTR, bytes));
}

void InstallerHost::push(const std::wstring& text) {
    StackNode* node = allocateNode();
    ASSERT_NE(node, nullptr);
    std::size_t count = text.size() < std::size_t(stringSize_) ? text.size() : stringSize_ - 1;
    text.copy(node->text, count);
    node->text[count] = 0;
    node->next = top_;
    top_ = node;
}

void InstallerHost::pushFull(wchar_t unit) {
    StackNode* node = allocateNode();
    ASSERT_NE(node, nullptr);
    for (int i = 0; i + 1 < stringSize_; ++i)
        node->text[i] = unit;
    node->text[stringSize_ - 1] = 0;
    node->next = top_;
    top_ = node;
}

std::wstring InstallerHost::pop() {
    if (top_ == nullptr) {
        ADD_FAILURE() << "pop from an empty host stack";
        return std::wstring();
    }
    StackNode* node = top_;
    // A plug-in node holds stringSize units; never read past them.
    std::size_t length = 0;
    while (length < std::size_t(stringSize_) && node->text[length] != 0)
        ++length;
    EXPECT_LT(length, std::size_t(stringSize_)) << "stack text without terminator";
    std::wstring text(node->text, length);
    top_ = node->next;
    EXPECT_EQ(GlobalFree(node), nullptr) << "stack node not from the global allocator";
    return text;
}

std::vector<std::wstring> InstallerHost::texts() const {
    std::vector<std::wstring> result;
    for (StackNode* node = top_; node != nullptr; node = node->next) {
        std::size_t length = 0;
        while (length < std::size_t(stringSize_) && node->text[length] != 0)
            ++length;
        result.push_back(std::wstring(node->text, length));
    }
    return result;
}

std::wstring InstallerHost::variable(unsigned slot) const {
    if (slot >= kVariableCount || stringSize_ <= 0)
        return std::wstring();
    const wchar_t* text = variables_.data() + std::size_t(slot) * stringSize_;
    std::size_t length = 0;
    while (length < std::size_t(stringSize_) && text[length] != 0)
        ++length;
    return std::wstring(text, length);
}

void InstallerHost::setVariable(unsigned slot, const std::wstring& text) {
    ASSERT_LT(slot, kVariableCount);
    ASSERT_LT(text.size(), std::size_t(stringSize_));
    wchar_t* destination = variables_.data() + std::size_t(slot) * stringSize_;
    text.copy(destination, text.size());
    destination[text.size()] = 0;
}

bool InstallerHost::guardIntact() const {
    for (std::size_t i = variables_.size() - kGuardUnits; i < variables_.size(); ++i)
        if (variables_[i] != kGuardUnit)
            return false;
    return true;
}

void InstallerHost::call(PluginAction action) {
    ASSERT_NE(action, nullptr);
    action(nullptr, stringSize_, variables_.data(), &top_, nullptr);
}

void InstallerHost::callWithoutStack(PluginAction action) {
    ASSERT_NE(action, nullptr);
    action(nullptr, stringSize_, variables_.data(), nullptr, nullptr);
}

PluginModule::PluginModule(const wchar_t* path) : module_(LoadLibraryW(path)) {
    EXPECT_NE(module_, nullptr) << "LoadLibrary failed, error " << GetLastError();
}

PluginModule::~PluginModule() {
    if (module_ != nullptr)
        FreeLibrary(module_);
}

PluginAction PluginModule::action(const char* name) const {
    if (module_ == nullptr)
        return nullptr;
    return reinterpret_cast<PluginAction>(
        reinterpret_cast<void*>(GetProcAddress(module_, name)));
}

namespace {

const IMAGE_DATA_DIRECTORY* directory(HMODULE module, int entry) {
    if (module == nullptr)
        return nullptr;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt->Signature != IMAGE_NT_SIGNATURE)
        return nullptr;
    const IMAGE_DATA_DIRECTORY* dir = &nt->OptionalHeader.DataDirectory[entry];
    return dir->VirtualAddress != 0 && dir->Size != 0 ? dir : nullptr;
}

}  // namespace

std::vector<std::string> exportedNames(HMODULE module) {
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY* dir = directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (dir == nullptr)
        return names;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir->VirtualAddress);
    const DWORD* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    const DWORD* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const WORD* nameIndexes = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    std::vector<bool> named(exports->NumberOfFunctions, false);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names.push_back(reinterpret_cast<const char*>(base + nameRvas[i]));
        if (nameIndexes[i] < named.size())
            named[nameIndexes[i]] = true;
    }
    // Entries exported by ordinal alone show as "#<ordinal>".
    for (DWORD i = 0; i < exports->NumberOfFunctions; ++i)
        if (functions[i] != 0 && !named[i])
            names.push_back("#" + std::to_string(exports->Base + i));
    return names;
}

std::vector<std::string> importedDlls(HMODULE module) {
    std::vector<std::string> dlls;
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    if (const IMAGE_DATA_DIRECTORY* dir = directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT))
        for (const IMAGE_IMPORT_DESCRIPTOR* desc =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir->VirtualAddress);
             desc->Name != 0; ++desc)
            dlls.push_back(reinterpret_cast<const char*>(base + desc->Name));
    // Delay-loaded DLLs count as imports too.
    if (const IMAGE_DATA_DIRECTORY* dir = directory(module, IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT))
        for (const IMAGE_DELAYLOAD_DESCRIPTOR* desc =
                 reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(base + dir->VirtualAddress);
             desc->DllNameRVA != 0; ++desc)
            dlls.push_back(reinterpret_cast<const char*>(base + desc->DllNameRVA));
    return dlls;
}

}  // namespace test
}  // namespace kestrine
