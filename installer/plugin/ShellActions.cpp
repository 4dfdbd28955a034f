// Actions that work with the Windows shell: write a Start-menu shortcut, mark
// a shortcut to run as administrator, take a shortcut off the Start menu's
// pinned list, and show or hide the product's desk-band toolbar by driving the
// taskbar's context menu.
#include <windows.h>
#include <objbase.h>
#include <propidl.h>
#include <propkey.h>
#include <propsys.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdint>
#include <cwchar>

#include "HostInterface.h"
#include "qln/DynamicLibrary.h"
#include "qln/String.h"

using namespace kestrine;

namespace {

// Releases the interface it holds, when it holds one, as it goes out of
// scope; filled by the COM call that hands the interface out. Never copied.
template <class Interface>
class InterfaceHolder {
public:
    InterfaceHolder() : pointer_(nullptr) {}
    ~InterfaceHolder() {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    // For the COM calls that hand out an interface.
    void** address() { return reinterpret_cast<void**>(&pointer_); }

private:
    InterfaceHolder(const InterfaceHolder&) = delete;
    InterfaceHolder& operator=(const InterfaceHolder&) = delete;
    Interface* pointer_;
};

// Ends the thread's COM initialisation when the scope is left, once armed
// after a successful CoInitializeEx. Declared before the interface holders of
// its scope, so that they are released first.
class CoUninitializeGuard {
public:
    CoUninitializeGuard() : armed_(false) {}
    ~CoUninitializeGuard() {
        if (armed_)
            CoUninitialize();
    }
    void arm() { armed_ = true; }

private:
    CoUninitializeGuard(const CoUninitializeGuard&) = delete;
    CoUninitializeGuard& operator=(const CoUninitializeGuard&) = delete;
    bool armed_;
};

// Clears a property value on every way out of its scope.
class PropertyValue {
public:
    PropertyValue() { PropVariantInit(&value_); }
    ~PropertyValue() { PropVariantClear(&value_); }
    PROPVARIANT& value() { return value_; }

private:
    PropertyValue(const PropertyValue&) = delete;
    PropertyValue& operator=(const PropertyValue&) = delete;
    PROPVARIANT value_;
};

// A buffer of UTF-16 units from the process heap, freed on every way out;
// empty (null) when the heap cannot give it.
class HeapBuffer {
public:
    explicit HeapBuffer(std::size_t units) : units_(nullptr) {
        if (units <= SIZE_MAX / sizeof(wchar_t))
            units_ = static_cast<wchar_t*>(
                HeapAlloc(GetProcessHeap(), 0, units * sizeof(wchar_t)));
    }
    ~HeapBuffer() {
        if (units_ != nullptr)
            HeapFree(GetProcessHeap(), 0, units_);
    }
    wchar_t* get() const { return units_; }
    wchar_t& operator[](std::size_t index) const { return units_[index]; }

private:
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;
    wchar_t* units_;
};

// The Windows version from which shortcuts carry an application user model id.
bool carriesApplicationId(const OSVERSIONINFOEXW& version) {
    return version.dwMajorVersion > 6 ||
           (version.dwMajorVersion == 6 && version.dwMinorVersion >= 1);
}

// Both the property store's SetValue and its Commit may report a value they
// stored cut; that still counts as stored.
bool propertyStored(HRESULT result) { return result == S_OK || result == INPLACE_S_TRUNCATED; }

const int kResultUnits = 128;

// Sets the application user model id on the shell link; false with the
// failure text in `result`.
bool setApplicationId(IShellLinkW* link, const wchar_t* id, wchar_t (&result)[kResultUnits]) {
    InterfaceHolder<IPropertyStore> store;
    if (link->QueryInterface(IID_IPropertyStore, store.address()) != S_OK) {
        lstrcpynW(result, L"error: could not get property store", kResultUnits);
        return false;
    }
    {
        PropertyValue value;
        std::size_t bytes = (std::wcslen(id) + 1) * sizeof(wchar_t);
        wchar_t* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
        if (copy == nullptr) {
            lstrcpynW(result, L"error: could not initialize AppUserModelID propvariant",
                      kResultUnits);
            return false;
        }
        CopyMemory(copy, id, bytes);
        value.value().vt = VT_LPWSTR;
        value.value().pwszVal = copy;
        HRESULT set = store->SetValue(PKEY_AppUserModel_ID, value.value());
        if (!propertyStored(set)) {
            wsprintfW(result, L"error: could not set AppUserModelID property --  %d", int(set));
            return false;
        }
    }
    if (!propertyStored(store->Commit())) {
        lstrcpynW(result, L"error: could not commit property store", kResultUnits);
        return false;
    }
    return true;
}

// Writes the shortcut file; the text to push, "success" or the failed step's.
void writeShortcut(const wchar_t* id, const wchar_t* icon, const wchar_t* arguments,
                   const wchar_t* target, const wchar_t* shortcut,
                   wchar_t (&result)[kResultUnits]) {
    InterfaceHolder<IShellLinkW> link;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         link.address()) != S_OK) {
        lstrcpynW(result, L"error: could not create shortcut object", kResultUnits);
        return;
    }
    const wchar_t* failed = nullptr;
    if (link->SetPath(target) != S_OK)
        failed = L"error: could not set target path";
    // The shortcut's description is its own file path.
    else if (link->SetDescription(shortcut) != S_OK)
        failed = L"error: could not set description";
    else if (link->SetArguments(arguments) != S_OK)
        failed = L"error: could not set arguments";
    else if (link->SetIconLocation(icon, 0) != S_OK)
        failed = L"error: could not set icon";
    if (failed != nullptr) {
        lstrcpynW(result, failed, kResultUnits);
        return;
    }

    OSVERSIONINFOEXW version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
        lstrcpynW(result, L"error: could not get OS version", kResultUnits);
        return;
    }
    if (carriesApplicationId(version) && !setApplicationId(link.get(), id, result))
        return;

    InterfaceHolder<IPersistFile> file;
    if (link->QueryInterface(IID_IPersistFile, file.address()) != S_OK) {
        lstrcpynW(result, L"error: could not get shortcut file handle", kResultUnits);
        return;
    }
    if (file->Save(shortcut, TRUE) != S_OK) {
        lstrcpynW(result, L"error: could not save shortcut file", kResultUnits);
        return;
    }
    lstrcpynW(result, L"success", kResultUnits);
}

// Marks the loaded shortcut to run as administrator; the text to push.
const wchar_t* elevateShortcut(const wchar_t* path) {
    InterfaceHolder<IShellLinkW> link;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         link.address()) != S_OK)
        return L"failed to create IShellLinkW";
    InterfaceHolder<IPersistFile> file;
    if (link->QueryInterface(IID_IPersistFile, file.address()) != S_OK)
        return L"failed to query interface IPersistFile";
    // Load takes the path through a buffer of MAX_PATH units; a path that
    // does not fit is not cut to another file's name.
    if (std::wcslen(path) >= MAX_PATH)
        return L"failed to load wbuf";
    wchar_t loadPath[MAX_PATH] = {};
    lstrcpynW(loadPath, path, MAX_PATH);
    if (file->Load(loadPath, STGM_READ) != S_OK)
        return L"failed to load wbuf";
    InterfaceHolder<IShellLinkDataList> data;
    if (link->QueryInterface(IID_IShellLinkDataList, data.address()) != S_OK)
        return L"failed to query interface for IShellLinkDataList";
    DWORD flags = 0;
    if (data->GetFlags(&flags) != S_OK)
        return L"failed to get flags";
    // Already marked: the file is left as it is.
    if ((flags & SLDF_RUNAS_USER) != 0)
        return L"success";
    if (data->SetFlags(flags | SLDF_RUNAS_USER) != S_OK)
        return L"failed to set SLDF_RUNAS_USER flag";
    // No name: into the file that was loaded.
    if (file->Save(nullptr, TRUE) != S_OK)
        return L"failed to Save";
    if (file->SaveCompleted(nullptr) != S_OK)
        return L"failed to SaveCompleted";
    return L"success";
}

typedef HRESULT(WINAPI* CreateItemFromParsingName)(PCWSTR, IBindCtx*, REFIID, void**);

// Takes the shortcut off the Start menu's pinned list; the text to push.
const wchar_t* unpinShortcut(const wchar_t* path) {
    // Declared first: unloaded only after the objects it made are released.
    qln::DynamicLibrary shell(qln::String("Shell32.dll"));
    if (!shell.load())
        return L"Failed to load Shell32.dll";
    CreateItemFromParsingName createItem = reinterpret_cast<CreateItemFromParsingName>(
        shell.getSymbol("SHCreateItemFromParsingName"));
    if (createItem == nullptr)
        return L"SHCreateItemFromParsingName";
    InterfaceHolder<IShellItem> item;
    if (FAILED(createItem(path, nullptr, IID_IShellItem, item.address())))
        return L"Failed to create IShellItem using SHCreateItemFromParsingName";
    InterfaceHolder<IStartMenuPinnedList> pinned;
    if (FAILED(CoCreateInstance(CLSID_StartMenuPin, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IStartMenuPinnedList, pinned.address())))
        return L"Failed to create IStartMenuPinnedList";
    return SUCCEEDED(pinned->RemoveFromList(item.get())) ? L"SUCCESS" : L"NOTHING_TO_REMOVE";
}

const wchar_t kToolbarTitle[] = L"Tavrel Quennix Toolbox";
const int kMenuTextUnits = 200;
const DWORD kMenuSettleMilliseconds = 50;
const DWORD kBetweenPassesMilliseconds = 500;

void postKey(HWND window, WPARAM key) { PostMessageW(window, WM_KEYDOWN, key, 0); }

// Leaves the taskbar's context menu closed after a pass that picks nothing:
// one Escape closes the open submenu, the next the menu itself. Nothing is
// posted without a menu window, as a null window would take the keys into
// this thread's own queue.
void dismissMenu(HWND popup) {
    if (popup == nullptr)
        return;
    postKey(popup, VK_ESCAPE);
    postKey(popup, VK_ESCAPE);
}

bool failPass(HWND popup, const wchar_t* text) {
    dismissMenu(popup);
    pushString(text);
    return false;
}

}  // namespace

// Opens the taskbar's context menu and its first submenu (the toolbar list)
// with posted keys. Without `force` it picks the toolbar's item when it is
// ticked; with `force` it leaves the toolbar shown: it picks the item when it
// is unticked, and closes the menu without picking when it is ticked. True
// when the item was picked, or found ticked with `force`; on false it has
// pushed one failure text.
bool clickTaskbarToolbarItem(bool force) {
    HWND tray = FindWindowExW(nullptr, nullptr, L"Shell_TrayWnd", nullptr);
    if (tray == nullptr) {
        pushString(L"Could not find the Shell_TrayWnd window.");
        return false;
    }
    HWND rebar = FindWindowExW(tray, nullptr, L"ReBarWindow32", nullptr);
    if (rebar == nullptr) {
        pushString(L"Could not find the ReBarWindow32 window.");
        return false;
    }
    PostMessageW(rebar, WM_CONTEXTMENU, WPARAM(rebar), 0);
    Sleep(kMenuSettleMilliseconds);

    HWND popup = FindWindowExW(nullptr, nullptr, L"#32768", nullptr);
    if (popup != nullptr) {
        postKey(popup, VK_DOWN);
        postKey(popup, VK_RIGHT);
    }
    Sleep(kMenuSettleMilliseconds);

    HMENU menu = nullptr;
    if (popup != nullptr)
        menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    HMENU toolbars = menu != nullptr ? GetSubMenu(menu, 0) : nullptr;
    int count = toolbars != nullptr ? GetMenuItemCount(toolbars) : -1;
    if (count <= 0)
        return failPass(popup, L"Didn't find toolbar: closing window");

    int position = 0;
    for (; position < count; ++position) {
        wchar_t text[kMenuTextUnits];
        text[0] = L'\0';
        GetMenuStringW(toolbars, UINT(position), text, kMenuTextUnits, MF_BYPOSITION);
        if (std::wcscmp(text, kToolbarTitle) == 0)
            break;
    }
    if (position == count)
        return failPass(popup, L"Didn't find toolbar: closing window");

    UINT state = GetMenuState(toolbars, UINT(position), MF_BYPOSITION);
    if (state == UINT(-1))
        return failPass(popup, L"Invalid menu state");
    bool ticked = (state & MF_CHECKED) != 0;
    if (!ticked && !force)
        return failPass(popup, L"Menu item already unselected");
    if (ticked && force) {
        // A pass before that picked nothing left the toolbar shown; picking
        // would take it away.
        dismissMenu(popup);
        return true;
    }
    // The submenu opened with its first item selected.
    for (int step = 0; step < position; ++step)
        postKey(popup, VK_DOWN);
    postKey(popup, VK_RETURN);
    return true;
}

// Pushes "success" or the text of the step that failed.
KESTRINE_ACTION(CreateStartMenuShortcut) {
    enterAction(stringSize, variables, stackTop);
    wchar_t id[kParameterUnits];
    wchar_t icon[kParameterUnits];
    wchar_t arguments[kParameterUnits];
    wchar_t target[kParameterUnits];
    wchar_t shortcut[kParameterUnits];
    popParameter(id);
    popParameter(icon);
    popParameter(arguments);
    popParameter(target);
    popParameter(shortcut);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        pushString(L"error: could not initialize com");
        return;
    }
    wchar_t result[kResultUnits];
    {
        CoUninitializeGuard com;
        com.arm();
        writeShortcut(id, icon, arguments, target, shortcut, result);
    }
    pushString(result);
}

// Pushes "success" (also when the shortcut was already marked, which leaves
// the file untouched) or the text of the step that failed.
KESTRINE_ACTION(ElevateShortcutToRunAsAdmin) {
    enterAction(stringSize, variables, stackTop);
    std::size_t units = hostStringSize > 0 ? std::size_t(hostStringSize) : 1;
    HeapBuffer path(units);
    if (path.get() == nullptr) {
        pushString(L"failed to allocate memory");
        return;
    }
    path[0] = L'\0';
    popString(path.get());
    const wchar_t* result;
    {
        CoUninitializeGuard com;
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
            com.arm();
        result = elevateShortcut(path.get());
    }
    pushString(result);
}

// Pushes "SUCCESS" when the shortcut was taken off the pinned list,
// "NOTHING_TO_REMOVE" when the list refused, or the text of the step that
// failed.
KESTRINE_ACTION(UnPinShortcut) {
    enterAction(stringSize, variables, stackTop);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        pushString(L"Failed to CoInitializeEx");
        return;
    }
    const wchar_t* result;
    {
        CoUninitializeGuard com;
        com.arm();
        wchar_t path[kParameterUnits];
        popParameter(path);
        result = unpinShortcut(path);
    }
    pushString(result);
}

// "show" or "hide" the product's toolbar in the taskbar. "show" runs two
// passes, the first of which takes the toolbar away when it is shown, so the
// second always ends with it shown; each failed pass leaves its own text.
KESTRINE_ACTION(ToolbarEnabler) {
    enterAction(stringSize, variables, stackTop);
    wchar_t word[kParameterUnits];
    popParameter(word);
    qln::String action(word);
    if (action.compare(qln::String("show")) == 0) {
        clickTaskbarToolbarItem(false);
        Sleep(kBetweenPassesMilliseconds);
        if (clickTaskbarToolbarItem(true))
            pushString(L"Toolbar operation successful");
    } else if (action.compare(qln::String("hide")) == 0) {
        if (clickTaskbarToolbarItem(false))
            pushString(L"Toolbar operation successful");
    } else {
        pushString(L"ToolbarEnabler failed, unknown action");
    }
}
