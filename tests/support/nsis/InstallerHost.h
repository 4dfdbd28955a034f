// The installer's side of the plug-in interface, for tests that call
// Kestrine's exports in-process: a string stack and the 25 user variables of
// any string size, laid out as the installer lays them out, and the loaded
// plug-in module.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kestrine {
namespace test {

// A stack node as the host lays it out: link, then stringSize units of text.
struct StackNode {
    StackNode* next;
    wchar_t text[1];
};

// The plug-in calling convention of every export.
typedef void(__cdecl* PluginAction)(HWND parentWindow, int stringSize, wchar_t* variables,
                                    StackNode** stackTop, void* extra);

class InstallerHost {
public:
    static constexpr unsigned kVariableCount = 25;
    // Units past the last slot that a plug-in must never touch.
    static constexpr unsigned kGuardUnits = 64;
    static constexpr wchar_t kGuardUnit = 0xA5A5;

    explicit InstallerHost(int stringSize = 1024);
    ~InstallerHost();

    int stringSize() const { return stringSize_; }

    // Pushes as the host does: the text, cut to stringSize - 1 units, in a
    // node of the global allocator.
    void push(const std::wstring& text);
    // Pushes a node whose stringSize units are all filled with `unit` and
    // terminated only in the last one: the longest text such a host passes.
    void pushFull(wchar_t unit);
    // Pops the top text and frees its node with GlobalFree; a node the
    // plug-in did not take from the global allocator fails the test.
    std::wstring pop();
    // The texts from the top down, without changing the stack.
    std::vector<std::wstring> texts() const;
    bool empty() const { return top_ == nullptr; }
    StackNode** head() { return &top_; }

    // Slot text, read up to its terminator or the slot's end.
    std::wstring variable(unsigned slot) const;
    void setVariable(unsigned slot, const std::wstring& text);
    wchar_t* variables() { return variables_.data(); }
    // True while nothing was written past the 25 slots.
    bool guardIntact() const;

    // Calls an export with this host's size, variables and stack.
    void call(PluginAction action);
    // Calls an export without a stack (null stack-head address).
    void callWithoutStack(PluginAction action);

private:
    InstallerHost(const InstallerHost&) = delete;
    InstallerHost& operator=(const InstallerHost&) = delete;
    StackNode* allocateNode();

    int stringSize_;
    StackNode* top_;
    std::vector<wchar_t> variables_;
};

// Kestrine.dll, loaded for the lifetime of the object.
class PluginModule {
public:
    explicit PluginModule(const wchar_t* path = L"Kestrine.dll");
    ~PluginModule();
    HMODULE handle() const { return module_; }
    // The export of that name, or null.
    PluginAction action(const char* name) const;

private:
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    HMODULE module_;
};

// The names the module exports, and the DLLs it imports, read from the loaded
// image's directories.
std::vector<std::string> exportedNames(HMODULE module);
std::vector<std::string> importedDlls(HMODULE module);

}  // namespace test
}  // namespace kestrine
