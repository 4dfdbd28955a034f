// SearchProcessCommandLines through Kestrine.dll's export: for real against
// this test program's own process (whose command line WMI reads), and with
// single COM steps faked to fail, each with its own text.
#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PluginCalls.h"

using kestrine::test::ImportPatches;
using kestrine::test::PluginModule;
using kestrine::test::callWithPushed;

namespace {

std::wstring ownImageName() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\');
    return name != nullptr ? name + 1 : path;
}

class CommandLineSearch : public ::testing::Test {
protected:
    std::vector<std::wstring> search(const std::wstring& text, const std::wstring& name) {
        return callWithPushed(plugin_, "SearchProcessCommandLines", {name, text});
    }
    PluginModule plugin_;
};

// The HRESULTs the fakes give, and how many times COM was ended.
struct ComWorld {
    HRESULT initialize = S_OK;
    HRESULT security = S_OK;
    HRESULT create = S_OK;
    HRESULT blanket = S_OK;
    bool fakeLocator = false;
    HRESULT connect = S_OK;
    HRESULT query = S_OK;
    int uninitialized = 0;
};
ComWorld g_com;

// The functions the fakes stand in front of.
struct RealCom {
    decltype(&CoInitializeEx) initialize = nullptr;
    decltype(&CoInitializeSecurity) security = nullptr;
    decltype(&CoCreateInstance) create = nullptr;
    decltype(&CoSetProxyBlanket) blanket = nullptr;
    decltype(&CoUninitialize) uninitialize = nullptr;
};
RealCom g_real;

// Answers no interface query and counts its references.
template <class Interface>
class CountedFake : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }

    long references = 0;
};

// One process as the fake query lists it; a text that is null cannot be read.
struct FakeProcessEntry {
    const wchar_t* name;
    const wchar_t* commandLine;
};

// A Win32_Process object whose texts are given; it counts its references.
class FakeProcess : public CountedFake<IWbemClassObject> {
public:
    explicit FakeProcess(const FakeProcessEntry& entry) : entry_(entry) {}
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE*, LONG*) override {
        const wchar_t* text = std::wstring(name) == L"Name" ? entry_.name : entry_.commandLine;
        if (text == nullptr)
            return WBEM_E_NOT_FOUND;
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**,
                                        IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*,
                                        IWbemClassObject*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**,
                                         IWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return E_NOTIMPL; }

private:
    FakeProcessEntry entry_;
};

// The answer of the fake query: hands out its processes one by one.
class FakeProcessList : public CountedFake<IEnumWbemClassObject> {
public:
    HRESULT STDMETHODCALLTYPE Next(LONG, ULONG, IWbemClassObject** objects,
                                   ULONG* returned) override {
        if (next_ == processes.size()) {
            *returned = 0;
            return WBEM_S_FALSE;
        }
        FakeProcess& process = *processes[next_++];
        process.AddRef();
        *objects = &process;
        *returned = 1;
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return E_NOTIMPL; }

    void fill(const std::vector<FakeProcessEntry>& entries) {
        processes.clear();
        for (const FakeProcessEntry& entry : entries)
            processes.emplace_back(new FakeProcess(entry));
        next_ = 0;
        references = 0;
    }
    long processReferences() const {
        long count = 0;
        for (const auto& process : processes)
            count += process->references;
        return count;
    }

    std::vector<std::unique_ptr<FakeProcess>> processes;

private:
    std::size_t next_ = 0;
};
FakeProcessList g_processes;

// The connected namespace: only the query is served.
class FakeServices : public CountedFake<IWbemServices> {
public:
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR text, LONG,
                                        IWbemContext*, IEnumWbemClassObject** answer) override;
    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**,
                                            IWbemCallResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject**,
                                        IWbemCallResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*,
                                             IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*,
                                       IWbemCallResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*,
                                            IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*,
                                          IWbemCallResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*,
                                               IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*,
                                              IEnumWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*,
                                                   IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*,
                                          IWbemCallResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*,
                                               IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*,
                                             IWbemCallResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*,
                                                  IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, LONG, IWbemContext*,
                                                 IEnumWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*,
                                                      IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                             IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                                    IEnumWbemClassObject**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG,
                                                         IWbemContext*,
                                                         IWbemObjectSink*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*,
                                         IWbemClassObject*, IWbemClassObject**,
                                         IWbemCallResult**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                              IWbemClassObject*, IWbemObjectSink*) override {
        return E_NOTIMPL;
    }

    std::wstring query;
};
FakeServices g_services;

HRESULT STDMETHODCALLTYPE FakeServices::ExecQuery(const BSTR language, const BSTR text, LONG,
                                                  IWbemContext*, IEnumWbemClassObject** answer) {
    query = std::wstring(language) + L": " + text;
    *answer = nullptr;
    if (FAILED(g_com.query))
        return g_com.query;
    g_processes.AddRef();
    *answer = &g_processes;
    return S_OK;
}

// A locator that connects to the fake namespace, or fails to; it counts its
// references.
class FakeLocator : public CountedFake<IWbemLocator> {
public:
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR space, const BSTR, const BSTR, const BSTR,
                                            long, const BSTR, IWbemContext*,
                                            IWbemServices** services) override {
        connectedTo = space != nullptr ? space : L"";
        *services = nullptr;
        if (FAILED(g_com.connect))
            return g_com.connect;
        g_services.AddRef();
        *services = &g_services;
        return S_OK;
    }
    std::wstring connectedTo;
};
FakeLocator g_locator;

HRESULT WINAPI fakeInitialize(LPVOID reserved, DWORD model) {
    if (FAILED(g_com.initialize))
        return g_com.initialize;
    return g_real.initialize(reserved, model);
}

HRESULT WINAPI fakeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG count,
                            SOLE_AUTHENTICATION_SERVICE* services, void* reserved1,
                            DWORD level, DWORD impersonation, void* list, DWORD capabilities,
                            void* reserved3) {
    if (g_com.security != S_OK)
        return g_com.security;
    return g_real.security(descriptor, count, services, reserved1, level, impersonation, list,
                           capabilities, reserved3);
}

HRESULT WINAPI fakeCreate(REFCLSID id, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                          LPVOID* object) {
    if (FAILED(g_com.create)) {
        *object = nullptr;
        return g_com.create;
    }
    if (g_com.fakeLocator) {
        g_locator.AddRef();
        *object = static_cast<IWbemLocator*>(&g_locator);
        return S_OK;
    }
    return g_real.create(id, outer, context, interfaceId, object);
}

HRESULT WINAPI fakeBlanket(IUnknown* proxy, DWORD service, DWORD authorization, OLECHAR* principal,
                           DWORD level, DWORD impersonation, RPC_AUTH_IDENTITY_HANDLE identity,
                           DWORD capabilities) {
    if (FAILED(g_com.blanket))
        return g_com.blanket;
    if (proxy == static_cast<IWbemServices*>(&g_services))
        return S_OK;
    return g_real.blanket(proxy, service, authorization, principal, level, impersonation,
                          identity, capabilities);
}

void WINAPI fakeUninitialize() {
    ++g_com.uninitialized;
    g_real.uninitialize();
}

class FailingComSteps : public CommandLineSearch {
protected:
    void SetUp() override {
        g_com = ComWorld();
        g_locator.references = 0;
        g_services.references = 0;
        g_processes.fill({});
        g_real.initialize = add("CoInitializeEx", &fakeInitialize);
        g_real.security = add("CoInitializeSecurity", &fakeSecurity);
        g_real.create = add("CoCreateInstance", &fakeCreate);
        g_real.blanket = add("CoSetProxyBlanket", &fakeBlanket);
        g_real.uninitialize = add("CoUninitialize", &fakeUninitialize);
    }
    template <class F>
    F add(const char* name, F fake) {
        return patches_.add(plugin_.handle(), "ole32.dll", name, fake);
    }
    ImportPatches patches_;
};

}  // namespace

TEST_F(CommandLineSearch, FindsTextsOfTheOwnCommandLine) {
    const std::wstring self = ownImageName();
    std::wstring commandLine = GetCommandLineW();
    std::wstring tail = commandLine.substr(commandLine.size() / 2);
    struct Case {
        const char* what;
        std::wstring text;
        std::wstring name;
        const wchar_t* pushed;
    } const cases[] = {
        {"a part of the command line", tail, self, L"found"},
        {"the empty text", L"", self, L"found"},
        {"a text not in it", L"--no-such-switch-anywhere", self, L"failed to find it"},
        {"the name in another letter case", tail, L"KESTRINE_TESTS.EXE", L"failed to find it"},
        {"a name that does not run", L"", L"no-such-program.exe", L"failed to find it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(search(c.text, c.name), (std::vector<std::wstring>{c.pushed, L"below"}));
    }
}

// Each failing step has its own text with the failing HRESULT in signed
// decimal; COM is ended once after every step past its initialisation, and
// security already set by the process is no failure.
TEST_F(FailingComSteps, EachStepReportsItsResult) {
    struct Case {
        const char* what;
        ComWorld world;
        const wchar_t* pushed;
        int uninitialized;
    };
    auto with = [](void (*set)(ComWorld&)) {
        ComWorld world;
        set(world);
        return world;
    };
    const Case cases[] = {
        {"CoInitializeEx", with([](ComWorld& w) { w.initialize = E_OUTOFMEMORY; }),
         L"error: could not CoInitializeEx --  -2147024882", 0},
        {"CoInitializeSecurity", with([](ComWorld& w) { w.security = E_ACCESSDENIED; }),
         L"error: could not CoInitializeSecurity --  -2147024891", 1},
        {"CoCreateInstance", with([](ComWorld& w) { w.create = REGDB_E_CLASSNOTREG; }),
         L"error: could not CoCreateInstance --  -2147221164", 1},
        {"ConnectServer", with([](ComWorld& w) {
             w.fakeLocator = true;
             w.connect = WBEM_E_INVALID_NAMESPACE;
         }),
         L"error: could not ConnectServer --  -2147217394", 1},
        {"CoSetProxyBlanket", with([](ComWorld& w) { w.blanket = E_ACCESSDENIED; }),
         L"error: could not CoSetProxyBlanket --  -2147024891", 1},
        {"ExecQuery", with([](ComWorld& w) {
             w.fakeLocator = true;
             w.query = WBEM_E_INVALID_QUERY;
         }),
         L"error: could not ExecQuery --  -2147217385", 1},
        {"security already set", with([](ComWorld& w) { w.security = RPC_E_TOO_LATE; }),
         L"found", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_com = c.world;
        g_locator.references = 0;
        g_services.references = 0;
        EXPECT_EQ(search(L"", ownImageName()), (std::vector<std::wstring>{c.pushed, L"below"}));
        EXPECT_EQ(g_com.uninitialized, c.uninitialized);
        EXPECT_EQ(g_locator.references, 0) << "locator not released";
        EXPECT_EQ(g_services.references, 0) << "namespace not released";
        if (c.world.fakeLocator) {
            EXPECT_EQ(g_locator.connectedTo, L"ROOT\\CIMV2");
        }
    }
}

// Every process object is asked for its name, then its command line; one
// whose texts cannot be read is passed over and the walk goes on to the rest.
TEST_F(FailingComSteps, ObjectsWithUnreadableTextsDoNotMatch) {
    const FakeProcessEntry unreadableName = {nullptr, L"tool.exe --install"};
    const FakeProcessEntry unreadableLine = {L"tool.exe", nullptr};
    const FakeProcessEntry otherName = {L"other.exe", L"tool.exe --install"};
    const FakeProcessEntry matching = {L"tool.exe", L"tool.exe --install"};
    struct Case {
        const char* what;
        std::vector<FakeProcessEntry> processes;
        const wchar_t* pushed;
    } const cases[] = {
        {"unreadable texts only", {unreadableName, unreadableLine}, L"failed to find it"},
        {"a match after unreadable texts", {unreadableName, unreadableLine, matching}, L"found"},
        {"another name with the text", {otherName}, L"failed to find it"},
        {"no process at all", {}, L"failed to find it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_com.fakeLocator = true;
        g_processes.fill(c.processes);
        EXPECT_EQ(search(L"--install", L"tool.exe"),
                  (std::vector<std::wstring>{c.pushed, L"below"}));
        EXPECT_EQ(g_services.query, L"WQL: SELECT * FROM Win32_Process");
        EXPECT_EQ(g_processes.references, 0) << "process list not released";
        EXPECT_EQ(g_processes.processReferences(), 0) << "process object not released";
        EXPECT_EQ(g_services.references, 0);
        EXPECT_EQ(g_locator.references, 0);
    }
}
