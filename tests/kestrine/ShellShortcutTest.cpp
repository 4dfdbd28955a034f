// The shortcut actions through Kestrine.dll's exports. Wine writes and reads
// a shell link's path, arguments, icon and description, so written shortcuts
// are read back with a shell link of this test. What Wine drops or lacks (the
// shell link's property store and run-as flag, the Start-menu pin class) is
// played by test objects that Kestrine's CoCreateInstance hands out: the
// shell link is Wine's own, wrapped, with the property store and the flag
// word kept per file by the test.
#include <windows.h>
#include <objbase.h>
#include <propidl.h>
#include <propkey.h>
#include <propsys.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PluginCalls.h"

using kestrine::test::ImportPatches;
using kestrine::test::PluginModule;
using kestrine::test::callWithPushed;

namespace {

// The steps of the wrapped shell link that a case can make fail.
enum Step {
    kSetPath,
    kSetDescription,
    kSetArguments,
    kSetIconLocation,
    kQueryPropertyStore,
    kSetValue,
    kCommit,
    kQueryPersistFile,
    kLoad,
    kSave,
    kSaveCompleted,
    kQueryDataList,
    kGetFlags,
    kSetFlags,
    kStepCount
};

// What the test keeps of a shortcut file beyond what Wine saves.
struct StoredExtras {
    DWORD flags = 0;
    bool hasId = false;
    std::wstring id;
};

struct ShellWorld {
    HRESULT results[kStepCount] = {};
    // The fakes of Kestrine's imports.
    HRESULT initialize = S_OK;       // a failure replaces CoInitializeEx
    HRESULT createLink = S_OK;       // a failure replaces the shell link's creation
    bool pinClass = true;            // CLSID_StartMenuPin answered by the test
    bool versionFails = false;
    DWORD major = 10;
    DWORD minor = 0;
    bool allocationFails = false;    // CoTaskMemAlloc
    SIZE_T failingHeapBlock = 0;     // HeapAlloc of this size fails
    bool shellLoadFails = false;
    bool parsingFunctionMissing = false;
    // Seen.
    int initialized = 0;  // successful CoInitializeEx of Kestrine
    int uninitialized = 0;
    int linksAlive = 0;
    int pinnedAlive = 0;
    int propertyStoreQueries = 0;
    int cleared = 0;  // PropVariantClear of a VT_LPWSTR value
    std::vector<std::wstring> setIds;
    std::vector<VARTYPE> setTypes;
    int commits = 0;
    std::vector<std::wstring> loads;
    std::vector<std::wstring> saves;  // "<null>" for Save(nullptr)
    int saveCompleted = 0;
    std::vector<DWORD> setFlags;
    std::map<std::wstring, StoredExtras> files;
    std::set<std::wstring> pinned;
    std::vector<std::wstring> unpinned;
    HMODULE shellModule = nullptr;
    int shellLoads = 0;
    int shellFrees = 0;
};
ShellWorld g_shell;

struct RealImports {
    decltype(&CoInitializeEx) initialize = nullptr;
    decltype(&CoUninitialize) uninitialize = nullptr;
    decltype(&CoCreateInstance) create = nullptr;
    decltype(&GetVersionExW) version = nullptr;
    decltype(&CoTaskMemAlloc) allocate = nullptr;
    decltype(&PropVariantClear) clear = nullptr;
    decltype(&HeapAlloc) heapAlloc = nullptr;
    decltype(&LoadLibraryW) loadLibrary = nullptr;
    decltype(&FreeLibrary) freeLibrary = nullptr;
    decltype(&GetProcAddress) procAddress = nullptr;
};
RealImports g_real;

HRESULT result(Step step) { return g_shell.results[step]; }

// Wine's shell link with the interfaces Wine does not keep played by the test.
class TestShellLink final : public IShellLinkW,
                            public IPersistFile,
                            public IPropertyStore,
                            public IShellLinkDataList {
public:
    TestShellLink(IShellLinkW* link, IPersistFile* file) : link_(link), file_(file) {
        ++g_shell.linksAlive;
    }
    ~TestShellLink() {
        file_->Release();
        link_->Release();
        --g_shell.linksAlive;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        *object = nullptr;
        if (id == IID_IUnknown || id == IID_IShellLinkW)
            *object = static_cast<IShellLinkW*>(this);
        else if (id == IID_IPersistFile && result(kQueryPersistFile) == S_OK)
            *object = static_cast<IPersistFile*>(this);
        else if (id == IID_IPropertyStore) {
            ++g_shell.propertyStoreQueries;
            if (result(kQueryPropertyStore) == S_OK)
                *object = static_cast<IPropertyStore*>(this);
        } else if (id == IID_IShellLinkDataList && result(kQueryDataList) == S_OK)
            *object = static_cast<IShellLinkDataList*>(this);
        if (*object == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // IShellLinkW: Wine's, except for the failures a case asks for.
    HRESULT STDMETHODCALLTYPE GetPath(LPWSTR file, int units, WIN32_FIND_DATAW* data,
                                      DWORD flags) override {
        return link_->GetPath(file, units, data, flags);
    }
    HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* list) override {
        return link_->GetIDList(list);
    }
    HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE list) override {
        return link_->SetIDList(list);
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR name, int units) override {
        return link_->GetDescription(name, units);
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR name) override {
        return result(kSetDescription) != S_OK ? result(kSetDescription)
                                               : link_->SetDescription(name);
    }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR folder, int units) override {
        return link_->GetWorkingDirectory(folder, units);
    }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR folder) override {
        return link_->SetWorkingDirectory(folder);
    }
    HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR arguments, int units) override {
        return link_->GetArguments(arguments, units);
    }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR arguments) override {
        return result(kSetArguments) != S_OK ? result(kSetArguments)
                                             : link_->SetArguments(arguments);
    }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD* key) override { return link_->GetHotkey(key); }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD key) override { return link_->SetHotkey(key); }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int* show) override { return link_->GetShowCmd(show); }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int show) override { return link_->SetShowCmd(show); }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR path, int units, int* index) override {
        return link_->GetIconLocation(path, units, index);
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR path, int index) override {
        return result(kSetIconLocation) != S_OK ? result(kSetIconLocation)
                                                : link_->SetIconLocation(path, index);
    }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR path, DWORD reserved) override {
        return link_->SetRelativePath(path, reserved);
    }
    HRESULT STDMETHODCALLTYPE Resolve(HWND window, DWORD flags) override {
        return link_->Resolve(window, flags);
    }
    HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR file) override {
        return result(kSetPath) != S_OK ? result(kSetPath) : link_->SetPath(file);
    }

    // IPersistFile: Wine's file, with the extras kept beside it.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override { return file_->GetClassID(id); }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return file_->IsDirty(); }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR name, DWORD mode) override {
        g_shell.loads.push_back(name != nullptr ? name : L"<null>");
        if (result(kLoad) != S_OK)
            return result(kLoad);
        HRESULT loaded = file_->Load(name, mode);
        if (loaded == S_OK) {
            loaded_ = name;
            extras_ = g_shell.files[loaded_];
        }
        return loaded;
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR name, BOOL remember) override {
        g_shell.saves.push_back(name != nullptr ? name : L"<null>");
        if (result(kSave) != S_OK)
            return result(kSave);
        // Without a name the link goes back into the file it was loaded from.
        std::wstring target = name != nullptr ? std::wstring(name) : loaded_;
        if (target.empty())
            return E_FAIL;
        HRESULT saved = file_->Save(target.c_str(), remember);
        if (saved == S_OK)
            g_shell.files[target] = extras_;
        return saved;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override {
        ++g_shell.saveCompleted;
        return result(kSaveCompleted);
    }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* name) override {
        return file_->GetCurFile(name);
    }

    // IPropertyStore: holds the one key the shortcut actions set.
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override {
        *count = pendingHasId_ ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY, PROPVARIANT* value) override {
        PropVariantInit(value);
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override {
        if (!IsEqualPropertyKey(key, PKEY_AppUserModel_ID))
            return E_INVALIDARG;
        g_shell.setTypes.push_back(value.vt);
        g_shell.setIds.push_back(value.vt == VT_LPWSTR && value.pwszVal != nullptr
                                     ? value.pwszVal
                                     : L"<not a text>");
        HRESULT set = result(kSetValue);
        if (SUCCEEDED(set)) {
            pendingHasId_ = true;
            pendingId_ = g_shell.setIds.back();
        }
        return set;
    }
    HRESULT STDMETHODCALLTYPE Commit() override {
        ++g_shell.commits;
        HRESULT committed = result(kCommit);
        if (SUCCEEDED(committed)) {
            extras_.hasId = pendingHasId_;
            extras_.id = pendingId_;
        }
        return committed;
    }

    // IShellLinkDataList: the flag word, kept per file.
    HRESULT STDMETHODCALLTYPE AddDataBlock(void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyDataBlock(DWORD, void** block) override {
        *block = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveDataBlock(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFlags(DWORD* flags) override {
        if (result(kGetFlags) != S_OK)
            return result(kGetFlags);
        *flags = extras_.flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFlags(DWORD flags) override {
        g_shell.setFlags.push_back(flags);
        if (result(kSetFlags) != S_OK)
            return result(kSetFlags);
        extras_.flags = flags;
        return S_OK;
    }

private:
    ULONG references_ = 1;
    IShellLinkW* link_;
    IPersistFile* file_;
    std::wstring loaded_;
    StoredExtras extras_;
    bool pendingHasId_ = false;
    std::wstring pendingId_;
};

// The Start menu's pinned list: the paths in g_shell.pinned.
class TestPinnedList final : public IStartMenuPinnedList {
public:
    TestPinnedList() { ++g_shell.pinnedAlive; }
    ~TestPinnedList() { --g_shell.pinnedAlive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        *object = nullptr;
        if (id != IID_IUnknown && id != IID_IStartMenuPinnedList)
            return E_NOINTERFACE;
        *object = static_cast<IStartMenuPinnedList*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE RemoveFromList(IShellItem* item) override {
        LPWSTR name = nullptr;
        if (item == nullptr || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)))
            return E_INVALIDARG;
        std::wstring path = name;
        CoTaskMemFree(name);
        if (g_shell.pinned.erase(path) == 0)
            return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        g_shell.unpinned.push_back(path);
        return S_OK;
    }

private:
    ULONG references_ = 1;
};

HRESULT WINAPI fakeInitialize(LPVOID reserved, DWORD model) {
    if (FAILED(g_shell.initialize))
        return g_shell.initialize;
    HRESULT initialized = g_real.initialize(reserved, model);
    if (SUCCEEDED(initialized))
        ++g_shell.initialized;
    return initialized;
}

void WINAPI fakeUninitialize() {
    ++g_shell.uninitialized;
    g_real.uninitialize();
}

HRESULT WINAPI fakeCreate(REFCLSID id, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                          LPVOID* object) {
    *object = nullptr;
    if (id == CLSID_ShellLink) {
        if (g_shell.createLink != S_OK)
            return g_shell.createLink;
        IShellLinkW* link = nullptr;
        HRESULT created = g_real.create(id, outer, context, IID_IShellLinkW,
                                        reinterpret_cast<void**>(&link));
        if (created != S_OK)
            return created;
        IPersistFile* file = nullptr;
        if (link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)) != S_OK) {
            link->Release();
            return E_UNEXPECTED;
        }
        TestShellLink* wrapped = new TestShellLink(link, file);
        HRESULT asked = wrapped->QueryInterface(interfaceId, object);
        wrapped->Release();
        return asked;
    }
    if (id == CLSID_StartMenuPin && g_shell.pinClass) {
        TestPinnedList* list = new TestPinnedList;
        HRESULT asked = list->QueryInterface(interfaceId, object);
        list->Release();
        return asked;
    }
    return g_real.create(id, outer, context, interfaceId, object);
}

BOOL WINAPI fakeVersion(LPOSVERSIONINFOW version) {
    if (g_shell.versionFails)
        return FALSE;
    if (version->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))
        return g_real.version(version);
    BOOL read = g_real.version(version);
    version->dwMajorVersion = g_shell.major;
    version->dwMinorVersion = g_shell.minor;
    return read;
}

LPVOID WINAPI fakeAllocate(SIZE_T bytes) {
    return g_shell.allocationFails ? nullptr : g_real.allocate(bytes);
}

HRESULT WINAPI fakeClear(PROPVARIANT* value) {
    if (value != nullptr && value->vt == VT_LPWSTR)
        ++g_shell.cleared;
    return g_real.clear(value);
}

LPVOID WINAPI fakeHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (g_shell.failingHeapBlock != 0 && bytes == g_shell.failingHeapBlock)
        return nullptr;
    return g_real.heapAlloc(heap, flags, bytes);
}

bool isShellName(LPCWSTR name) { return name != nullptr && lstrcmpiW(name, L"Shell32.dll") == 0; }

HMODULE WINAPI fakeLoadLibrary(LPCWSTR name) {
    if (!isShellName(name))
        return g_real.loadLibrary(name);
    if (g_shell.shellLoadFails) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    HMODULE module = g_real.loadLibrary(name);
    if (module != nullptr) {
        g_shell.shellModule = module;
        ++g_shell.shellLoads;
    }
    return module;
}

BOOL WINAPI fakeFreeLibrary(HMODULE module) {
    if (module != nullptr && module == g_shell.shellModule)
        ++g_shell.shellFrees;
    return g_real.freeLibrary(module);
}

FARPROC WINAPI fakeProcAddress(HMODULE module, LPCSTR name) {
    if (g_shell.parsingFunctionMissing && HIWORD(reinterpret_cast<UINT_PTR>(name)) != 0 &&
        lstrcmpA(name, "SHCreateItemFromParsingName") == 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return g_real.procAddress(module, name);
}

// A folder of its own for the shortcuts of one test.
class ShortcutFolder {
public:
    ShortcutFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"kestrine-shortcuts-" +
                std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ShortcutFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A shortcut file read back with a shell link of the test.
struct ReadShortcut {
    bool loaded = false;
    std::wstring target;
    std::wstring arguments;
    std::wstring icon;
    int iconIndex = -1;
    std::wstring description;
};

ReadShortcut readShortcut(const std::wstring& file) {
    ReadShortcut read;
    IShellLinkW* link = nullptr;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         reinterpret_cast<void**>(&link)) != S_OK)
        return read;
    IPersistFile* persist = nullptr;
    if (link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)) == S_OK) {
        if (persist->Load(file.c_str(), STGM_READ) == S_OK) {
            read.loaded = true;
            wchar_t text[INFOTIPSIZE];
            text[0] = 0;
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            read.target = text;
            text[0] = 0;
            link->GetArguments(text, INFOTIPSIZE);
            read.arguments = text;
            text[0] = 0;
            link->GetIconLocation(text, MAX_PATH, &read.iconIndex);
            read.icon = text;
            text[0] = 0;
            link->GetDescription(text, INFOTIPSIZE);
            read.description = text;
        }
        persist->Release();
    }
    link->Release();
    return read;
}

// A program every prefix has, on a drive whose volume Wine can describe.
std::wstring targetPath() { return L"C:\\windows\\system32\\notepad.exe"; }

const wchar_t kIcon[] = L"C:\\windows\\system32\\shell32.dll";
const wchar_t kArguments[] = L"--start \"with a quoted value\"";
const wchar_t kId[] = L"Tavrel.Quennix.Toolbox";

class ShellShortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        g_shell = ShellWorld();
        // The test's own apartment, so that its shell links outlive the
        // actions' initialisation.
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        patch("ole32.dll", "CoInitializeEx", &fakeInitialize, g_real.initialize);
        patch("ole32.dll", "CoUninitialize", &fakeUninitialize, g_real.uninitialize);
        patch("ole32.dll", "CoCreateInstance", &fakeCreate, g_real.create);
        patch("ole32.dll", "CoTaskMemAlloc", &fakeAllocate, g_real.allocate);
        patch("ole32.dll", "PropVariantClear", &fakeClear, g_real.clear);
        patch("kernel32.dll", "GetVersionExW", &fakeVersion, g_real.version);
        patch("kernel32.dll", "LoadLibraryW", &fakeLoadLibrary, g_real.loadLibrary);
        patch("kernel32.dll", "FreeLibrary", &fakeFreeLibrary, g_real.freeLibrary);
        patch("kernel32.dll", "GetProcAddress", &fakeProcAddress, g_real.procAddress);
        patch("kernel32.dll", "HeapAlloc", &fakeHeapAlloc, g_real.heapAlloc);
    }
    void TearDown() override {
        patches_.clear();
        CoUninitialize();
    }

    template <class F>
    void patch(const char* dll, const char* name, F fake, F& real) {
        real = patches_.add(plugin_.handle(), dll, name, fake);
    }

    // Starts a case from a fresh world with the given changes.
    void reset(const std::function<void(ShellWorld&)>& change = nullptr) {
        g_shell = ShellWorld();
        if (change)
            change(g_shell);
    }

    std::vector<std::wstring> call(const char* name, const std::vector<std::wstring>& pushed,
                                   int stringSize = 1024) {
        return callWithPushed(plugin_, name, pushed, stringSize);
    }

    std::vector<std::wstring> create(const std::wstring& shortcut, const std::wstring& id = kId) {
        return call("CreateStartMenuShortcut", {shortcut, targetPath(), kArguments, kIcon, id});
    }

    // Every object released and every successful initialisation ended.
    void expectBalanced() {
        EXPECT_EQ(g_shell.linksAlive, 0) << "shell link not released";
        EXPECT_EQ(g_shell.pinnedAlive, 0) << "pinned list not released";
        EXPECT_EQ(g_shell.uninitialized, g_shell.initialized);
    }

    PluginModule plugin_;
    ImportPatches patches_;
    ShortcutFolder folder_;
};

}  // namespace

// The shortcut carries target, arguments, icon and, as its description, its
// own path; the id is set from Windows 7 on, also when it is empty.
TEST_F(ShellShortcuts, CreateWritesTheShortcut) {
    struct Case {
        const char* what;
        DWORD major;
        DWORD minor;
        std::wstring id;
        bool setsId;
    } const cases[] = {
        {"Windows 10", 10, 0, kId, true},  {"Windows 7", 6, 1, kId, true},
        {"Windows 8.1", 6, 3, kId, true},  {"Windows Vista", 6, 0, kId, false},
        {"Windows XP", 5, 1, kId, false},  {"an empty id", 10, 0, L"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset([&](ShellWorld& w) {
            w.major = c.major;
            w.minor = c.minor;
        });
        const std::wstring shortcut = folder_.file(L"Toolbox.lnk");
        DeleteFileW(shortcut.c_str());
        EXPECT_EQ(create(shortcut, c.id), (std::vector<std::wstring>{L"success", L"below"}));
        ReadShortcut read = readShortcut(shortcut);
        ASSERT_TRUE(read.loaded);
        EXPECT_EQ(read.target, targetPath());
        EXPECT_EQ(read.arguments, kArguments);
        EXPECT_EQ(read.icon, kIcon);
        EXPECT_EQ(read.iconIndex, 0);
        EXPECT_EQ(read.description, shortcut);
        const StoredExtras& stored = g_shell.files[shortcut];
        EXPECT_EQ(stored.hasId, c.setsId);
        if (c.setsId) {
            EXPECT_EQ(stored.id, c.id);
            EXPECT_EQ(g_shell.setTypes, std::vector<VARTYPE>{VT_LPWSTR});
            EXPECT_EQ(g_shell.commits, 1);
            EXPECT_EQ(g_shell.cleared, 1) << "property value not cleared";
        } else {
            EXPECT_EQ(g_shell.propertyStoreQueries, 0);
        }
        expectBalanced();
    }
}

// Each failing step has its own text, and nothing is saved after it; a
// value stored cut counts as stored.
TEST_F(ShellShortcuts, CreateReportsTheFailingStep) {
    struct Case {
        const char* what;
        std::function<void(ShellWorld&)> change;
        const wchar_t* pushed;
        bool saved;
    } const cases[] = {
        {"CoInitializeEx", [](ShellWorld& w) { w.initialize = RPC_E_CHANGED_MODE; },
         L"error: could not initialize com", false},
        {"shell link", [](ShellWorld& w) { w.createLink = REGDB_E_CLASSNOTREG; },
         L"error: could not create shortcut object", false},
        {"SetPath", [](ShellWorld& w) { w.results[kSetPath] = E_INVALIDARG; },
         L"error: could not set target path", false},
        {"SetPath success code", [](ShellWorld& w) { w.results[kSetPath] = S_FALSE; },
         L"error: could not set target path", false},
        {"SetDescription", [](ShellWorld& w) { w.results[kSetDescription] = E_FAIL; },
         L"error: could not set description", false},
        {"SetArguments", [](ShellWorld& w) { w.results[kSetArguments] = E_FAIL; },
         L"error: could not set arguments", false},
        {"SetIconLocation", [](ShellWorld& w) { w.results[kSetIconLocation] = E_FAIL; },
         L"error: could not set icon", false},
        {"GetVersionExW", [](ShellWorld& w) { w.versionFails = true; },
         L"error: could not get OS version", false},
        {"property store", [](ShellWorld& w) { w.results[kQueryPropertyStore] = E_NOINTERFACE; },
         L"error: could not get property store", false},
        {"id copy", [](ShellWorld& w) { w.allocationFails = true; },
         L"error: could not initialize AppUserModelID propvariant", false},
        {"SetValue", [](ShellWorld& w) { w.results[kSetValue] = E_ACCESSDENIED; },
         L"error: could not set AppUserModelID property --  -2147024891", false},
        {"SetValue success code", [](ShellWorld& w) { w.results[kSetValue] = S_FALSE; },
         L"error: could not set AppUserModelID property --  1", false},
        {"SetValue cut", [](ShellWorld& w) { w.results[kSetValue] = INPLACE_S_TRUNCATED; },
         L"success", true},
        {"Commit", [](ShellWorld& w) { w.results[kCommit] = E_FAIL; },
         L"error: could not commit property store", false},
        {"Commit success code", [](ShellWorld& w) { w.results[kCommit] = S_FALSE; },
         L"error: could not commit property store", false},
        {"Commit cut", [](ShellWorld& w) { w.results[kCommit] = INPLACE_S_TRUNCATED; },
         L"success", true},
        {"IPersistFile", [](ShellWorld& w) { w.results[kQueryPersistFile] = E_NOINTERFACE; },
         L"error: could not get shortcut file handle", false},
        {"Save", [](ShellWorld& w) { w.results[kSave] = STG_E_ACCESSDENIED; },
         L"error: could not save shortcut file", false},
    };
    const std::wstring shortcut = folder_.file(L"Failing.lnk");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset(c.change);
        DeleteFileW(shortcut.c_str());
        EXPECT_EQ(create(shortcut), (std::vector<std::wstring>{c.pushed, L"below"}));
        EXPECT_EQ(GetFileAttributesW(shortcut.c_str()) != INVALID_FILE_ATTRIBUTES, c.saved);
        EXPECT_EQ(g_shell.cleared, int(g_shell.setTypes.size())) << "property value not cleared";
        expectBalanced();
        if (c.what == std::string("CoInitializeEx")) {
            EXPECT_EQ(g_shell.uninitialized, 0);
        }
    }
}

namespace {

// A shortcut written by Wine, with the flag word the test keeps for it.
std::wstring writeLink(const ShortcutFolder& folder, const std::wstring& name, DWORD flags) {
    std::wstring path = folder.file(name);
    IShellLinkW* link = nullptr;
    if (CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         reinterpret_cast<void**>(&link)) != S_OK)
        return path;
    link->SetPath(targetPath().c_str());
    IPersistFile* file = nullptr;
    if (link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)) == S_OK) {
        file->Save(path.c_str(), TRUE);
        file->Release();
    }
    link->Release();
    g_shell.files[path].flags = flags;
    return path;
}

std::string fileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char block[4096];
    DWORD read = 0;
    while (ReadFile(file, block, sizeof block, &read, nullptr) && read > 0)
        bytes.append(block, read);
    CloseHandle(file);
    return bytes;
}

FILETIME lastWrite(const std::wstring& path) {
    FILETIME written = {};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        written = data.ftLastWriteTime;
    return written;
}

}  // namespace

// The flag is added to those the shortcut has and saved into the loaded
// file; a shortcut that has it already is left as it is.
TEST_F(ShellShortcuts, ElevateMarksTheShortcut) {
    const DWORD others = SLDF_HAS_ARGS | SLDF_UNICODE;
    const std::wstring shortcut = writeLink(folder_, L"Plain.lnk", others);
    EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {shortcut}),
              (std::vector<std::wstring>{L"success", L"below"}));
    EXPECT_EQ(g_shell.loads, std::vector<std::wstring>{shortcut});
    EXPECT_EQ(g_shell.setFlags, std::vector<DWORD>{others | SLDF_RUNAS_USER});
    EXPECT_EQ(g_shell.saves, std::vector<std::wstring>{L"<null>"});
    EXPECT_EQ(g_shell.saveCompleted, 1);
    EXPECT_EQ(g_shell.files[shortcut].flags, others | SLDF_RUNAS_USER);
    EXPECT_TRUE(readShortcut(shortcut).loaded);
    expectBalanced();

    SCOPED_TRACE("already marked");
    reset();
    const std::wstring marked = writeLink(folder_, L"Marked.lnk", SLDF_RUNAS_USER);
    const FILETIME before = lastWrite(marked);
    const std::string bytes = fileBytes(marked);
    ASSERT_FALSE(bytes.empty());
    Sleep(20);
    EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {marked}),
              (std::vector<std::wstring>{L"success", L"below"}));
    EXPECT_TRUE(g_shell.setFlags.empty());
    EXPECT_TRUE(g_shell.saves.empty());
    EXPECT_EQ(g_shell.saveCompleted, 0);
    const FILETIME after = lastWrite(marked);
    EXPECT_EQ(CompareFileTime(&before, &after), 0) << "file written";
    EXPECT_EQ(fileBytes(marked), bytes);
    expectBalanced();
}

// Each failing step pushes its own one text and saves nothing.
TEST_F(ShellShortcuts, ElevateReportsTheFailingStep) {
    struct Case {
        const char* what;
        std::function<void(ShellWorld&)> change;
        const wchar_t* pushed;
    } const cases[] = {
        {"shell link", [](ShellWorld& w) { w.createLink = REGDB_E_CLASSNOTREG; },
         L"failed to create IShellLinkW"},
        {"IPersistFile", [](ShellWorld& w) { w.results[kQueryPersistFile] = E_NOINTERFACE; },
         L"failed to query interface IPersistFile"},
        {"Load", [](ShellWorld& w) { w.results[kLoad] = STG_E_FILENOTFOUND; },
         L"failed to load wbuf"},
        {"IShellLinkDataList", [](ShellWorld& w) { w.results[kQueryDataList] = E_NOINTERFACE; },
         L"failed to query interface for IShellLinkDataList"},
        {"GetFlags", [](ShellWorld& w) { w.results[kGetFlags] = E_FAIL; }, L"failed to get flags"},
        {"SetFlags", [](ShellWorld& w) { w.results[kSetFlags] = E_FAIL; },
         L"failed to set SLDF_RUNAS_USER flag"},
        {"SetFlags success code", [](ShellWorld& w) { w.results[kSetFlags] = S_FALSE; },
         L"failed to set SLDF_RUNAS_USER flag"},
        {"Save", [](ShellWorld& w) { w.results[kSave] = STG_E_ACCESSDENIED; }, L"failed to Save"},
        {"SaveCompleted", [](ShellWorld& w) { w.results[kSaveCompleted] = E_FAIL; },
         L"failed to SaveCompleted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset(c.change);
        const std::wstring shortcut = writeLink(folder_, L"Plain.lnk", 0);
        EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {shortcut}),
                  (std::vector<std::wstring>{c.pushed, L"below"}));
        if (c.pushed != std::wstring(L"failed to SaveCompleted")) {
            EXPECT_EQ(g_shell.files[shortcut].flags, DWORD(0)) << "saved after the failure";
        }
        expectBalanced();
    }
}

// The path goes to Load whole below 260 units and not at all from 260 on;
// an allocation failure pops nothing, and an apartment of another kind is
// used as it is, without ending it.
TEST_F(ShellShortcuts, ElevatePathAndSetupEdges) {
    const std::wstring missing = folder_.file(L"missing.lnk");
    const std::wstring longest = missing + std::wstring(259 - missing.size(), L'x');
    const std::wstring tooLong = longest + L"x";
    ASSERT_EQ(longest.size(), 259u);

    EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {longest}),
              (std::vector<std::wstring>{L"failed to load wbuf", L"below"}));
    EXPECT_EQ(g_shell.loads, std::vector<std::wstring>{longest});
    expectBalanced();

    reset();
    EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {tooLong}),
              (std::vector<std::wstring>{L"failed to load wbuf", L"below"}));
    EXPECT_TRUE(g_shell.loads.empty()) << "a cut path was loaded";
    expectBalanced();

    // A host of 300 units: the path buffer has that size.
    reset();
    EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {tooLong}, 300),
              (std::vector<std::wstring>{L"failed to load wbuf", L"below"}));
    EXPECT_TRUE(g_shell.loads.empty());

    reset([](ShellWorld& w) { w.failingHeapBlock = 777 * sizeof(wchar_t); });
    EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {L"C:\\kept.lnk"}, 777),
              (std::vector<std::wstring>{L"failed to allocate memory", L"C:\\kept.lnk", L"below"}));
    EXPECT_TRUE(g_shell.loads.empty());

    // An initialisation refused for another apartment kind is no stop; COM
    // is then not ended by the action.
    reset([](ShellWorld& w) { w.initialize = RPC_E_CHANGED_MODE; });
    const std::wstring shortcut = writeLink(folder_, L"Plain.lnk", 0);
    EXPECT_EQ(call("ElevateShortcutToRunAsAdmin", {shortcut}),
              (std::vector<std::wstring>{L"success", L"below"}));
    EXPECT_EQ(g_shell.uninitialized, 0);
    EXPECT_EQ(g_shell.files[shortcut].flags, DWORD(SLDF_RUNAS_USER));
    expectBalanced();
}

// A pinned shortcut is removed from the list by its shell item; the list's
// refusal is "NOTHING_TO_REMOVE". The shell library is unloaded again.
TEST_F(ShellShortcuts, UnpinRemovesAPinnedShortcut) {
    const std::wstring pinned = writeLink(folder_, L"Pinned.lnk", 0);
    const std::wstring other = writeLink(folder_, L"Other.lnk", 0);
    struct Case {
        const char* what;
        std::wstring path;
        const wchar_t* pushed;
        std::vector<std::wstring> unpinned;
    } const cases[] = {
        {"pinned", pinned, L"SUCCESS", {pinned}},
        {"not pinned", other, L"NOTHING_TO_REMOVE", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset([&](ShellWorld& w) { w.pinned = {pinned}; });
        EXPECT_EQ(call("UnPinShortcut", {c.path}), (std::vector<std::wstring>{c.pushed, L"below"}));
        EXPECT_EQ(g_shell.unpinned, c.unpinned);
        EXPECT_EQ(g_shell.shellLoads, 1);
        EXPECT_EQ(g_shell.shellFrees, 1) << "Shell32.dll left loaded";
        expectBalanced();
    }
}

// Each failing step has its own text; a failed initialisation pops nothing.
TEST_F(ShellShortcuts, UnpinReportsTheFailingStep) {
    const std::wstring shortcut = writeLink(folder_, L"Pinned.lnk", 0);
    struct Case {
        const char* what;
        std::function<void(ShellWorld&)> change;
        std::wstring path;
        std::vector<std::wstring> left;
    } const cases[] = {
        {"CoInitializeEx", [](ShellWorld& w) { w.initialize = RPC_E_CHANGED_MODE; }, shortcut,
         {L"Failed to CoInitializeEx", shortcut, L"below"}},
        {"Shell32.dll", [](ShellWorld& w) { w.shellLoadFails = true; }, shortcut,
         {L"Failed to load Shell32.dll", L"below"}},
        {"no parsing function", [](ShellWorld& w) { w.parsingFunctionMissing = true; }, shortcut,
         {L"SHCreateItemFromParsingName", L"below"}},
        {"no such file", nullptr, folder_.file(L"missing.lnk"),
         {L"Failed to create IShellItem using SHCreateItemFromParsingName", L"below"}},
        {"no pin class (as Wine)", [](ShellWorld& w) { w.pinClass = false; }, shortcut,
         {L"Failed to create IStartMenuPinnedList", L"below"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset(c.change);
        g_shell.pinned = {shortcut};
        EXPECT_EQ(call("UnPinShortcut", {c.path}), c.left);
        EXPECT_EQ(g_shell.shellFrees, g_shell.shellLoads) << "Shell32.dll left loaded";
        EXPECT_EQ(g_shell.pinned.size(), 1u);
        expectBalanced();
    }
}
