// The certificate actions called through Kestrine.dll's exports against the
// machine's real store "Quillon, Inc." and reference key under Wine, with the
// openssl-made certificates of the build tree. Import fakes fail single
// crypt32 and registry calls where Wine never does, and count what the
// actions open: every file, certificate context, store and key is released
// before an action returns.
#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "PluginCalls.h"

using kestrine::test::ImportPatches;
using kestrine::test::PluginModule;
using kestrine::test::callWithPushed;

namespace {

typedef std::vector<BYTE> Bytes;

const wchar_t kStoreName[] = L"Quillon, Inc.";
const wchar_t kKeyPath[] = L"SOFTWARE\\Quillon\\ReferencedCerts";
const wchar_t kParentPath[] = L"SOFTWARE\\Quillon";

// a and b share the serial number 0A 1B 2C; the store and the path values
// hold it least significant byte first.
const Bytes kSerialAB = {0x2C, 0x1B, 0x0A};
const wchar_t kCounterAB[] = L"Ref: 0a 1b 2c";
const Bytes kSerialC = {0x5F, 0x4E, 0x3D};
const wchar_t kCounterC[] = L"Ref: 3d 4e 5f";

// What the fakes let fail, and what they saw opened and not yet released.
struct Ledger {
    bool storeOpenFails = false;
    bool storeDeleteFails = false;
    bool addFails = false;
    bool deleteFails = false;
    bool commitFails = false;
    bool keyDeleteFails = false;
    std::wstring keyOpenFails;  // RegCreateKeyExW of this subkey fails
    int commits = 0;
    int storeOpens = 0;
    // Deleting opens of the store, with the flags and the name they gave.
    std::vector<std::pair<DWORD, std::wstring>> storeDeletions;

    std::set<HANDLE> files;
    std::set<PCCERT_CONTEXT> contexts;
    std::set<HCERTSTORE> stores;
    std::set<HKEY> keys;
};
Ledger g_ledger;

struct Originals {
    decltype(&CreateFileW) createFile;
    decltype(&CloseHandle) closeHandle;
    decltype(&CertCreateCertificateContext) createContext;
    decltype(&CertFreeCertificateContext) freeContext;
    decltype(&CertOpenStore) openStore;
    decltype(&CertCloseStore) closeStore;
    decltype(&CertAddCertificateContextToStore) add;
    decltype(&CertDeleteCertificateFromStore) remove;
    decltype(&CertControlStore) control;
    decltype(&RegCreateKeyExW) createKey;
    decltype(&RegOpenKeyExW) openKey;
    decltype(&RegCloseKey) closeKey;
    decltype(&RegDeleteKeyExW) deleteKey;
};
Originals g_real;

HANDLE WINAPI fakeCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE tmpl) {
    HANDLE file = g_real.createFile(name, access, share, security, disposition, flags, tmpl);
    if (file != INVALID_HANDLE_VALUE)
        g_ledger.files.insert(file);
    return file;
}

BOOL WINAPI fakeCloseHandle(HANDLE handle) {
    g_ledger.files.erase(handle);
    return g_real.closeHandle(handle);
}

PCCERT_CONTEXT WINAPI fakeCreateContext(DWORD encoding, const BYTE* data, DWORD length) {
    PCCERT_CONTEXT context = g_real.createContext(encoding, data, length);
    if (context != nullptr)
        g_ledger.contexts.insert(context);
    return context;
}

BOOL WINAPI fakeFreeContext(PCCERT_CONTEXT context) {
    g_ledger.contexts.erase(context);
    return g_real.freeContext(context);
}

HCERTSTORE WINAPI fakeOpenStore(LPCSTR provider, DWORD encoding, HCRYPTPROV_LEGACY crypto,
                                DWORD flags, const void* parameter) {
    bool deleting = (flags & CERT_STORE_DELETE_FLAG) != 0;
    if (deleting)
        g_ledger.storeDeletions.emplace_back(
            flags, parameter != nullptr ? static_cast<const wchar_t*>(parameter) : L"");
    else
        ++g_ledger.storeOpens;
    if (deleting ? g_ledger.storeDeleteFails : g_ledger.storeOpenFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HCERTSTORE store = g_real.openStore(provider, encoding, crypto, flags, parameter);
    if (store != nullptr)
        g_ledger.stores.insert(store);
    return store;
}

BOOL WINAPI fakeCloseStore(HCERTSTORE store, DWORD flags) {
    g_ledger.stores.erase(store);
    return g_real.closeStore(store, flags);
}

BOOL WINAPI fakeAdd(HCERTSTORE store, PCCERT_CONTEXT context, DWORD disposition,
                    PCCERT_CONTEXT* added) {
    if (g_ledger.addFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_real.add(store, context, disposition, added);
}

BOOL WINAPI fakeDelete(PCCERT_CONTEXT context) {
    if (g_ledger.deleteFails) {
        // As the real call does, the context is freed even when it fails.
        g_real.freeContext(context);
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return g_real.remove(context);
}

BOOL WINAPI fakeControl(HCERTSTORE store, DWORD flags, DWORD control, const void* parameter) {
    if (control == CERT_STORE_CTRL_COMMIT) {
        ++g_ledger.commits;
        if (g_ledger.commitFails) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    return g_real.control(store, flags, control, parameter);
}

LONG WINAPI fakeCreateKey(HKEY root, LPCWSTR subkey, DWORD reserved, LPWSTR keyClass,
                          DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                          PHKEY result, LPDWORD disposition) {
    if (subkey != nullptr && !g_ledger.keyOpenFails.empty() &&
        lstrcmpiW(subkey, g_ledger.keyOpenFails.c_str()) == 0)
        return ERROR_ACCESS_DENIED;
    LONG status = g_real.createKey(root, subkey, reserved, keyClass, options, access, security,
                                   result, disposition);
    if (status == ERROR_SUCCESS)
        g_ledger.keys.insert(*result);
    return status;
}

LONG WINAPI fakeOpenKey(HKEY root, LPCWSTR subkey, DWORD options, REGSAM access, PHKEY result) {
    LONG status = g_real.openKey(root, subkey, options, access, result);
    if (status == ERROR_SUCCESS)
        g_ledger.keys.insert(*result);
    return status;
}

LONG WINAPI fakeCloseKey(HKEY key) {
    g_ledger.keys.erase(key);
    return g_real.closeKey(key);
}

LONG WINAPI fakeDeleteKey(HKEY key, LPCWSTR subkey, REGSAM access, DWORD reserved) {
    if (g_ledger.keyDeleteFails)
        return ERROR_ACCESS_DENIED;
    return g_real.deleteKey(key, subkey, access, reserved);
}

// The machine state the actions leave, read with the test's own calls.
void removeStoreAndKey() {
    CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING, 0,
                  CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_DELETE_FLAG, kStoreName);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, KEY_WOW64_64KEY, 0);
}

HCERTSTORE openExistingStore() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING, 0,
                         CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_OPEN_EXISTING_FLAG |
                             CERT_STORE_READONLY_FLAG,
                         kStoreName);
}


// The serial numbers of the store's certificates, in the store's order.
std::vector<Bytes> storeSerials() {
    std::vector<Bytes> serials;
    HCERTSTORE store = openExistingStore();
    if (store == nullptr)
        return serials;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store, context)) != nullptr) {
        const CRYPT_INTEGER_BLOB& serial = context->pCertInfo->SerialNumber;
        serials.emplace_back(serial.pbData, serial.pbData + serial.cbData);
    }
    CertCloseStore(store, 0);
    return serials;
}

HKEY openKey(REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, access | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool keyExists() {
    HKEY key = openKey(KEY_READ);
    if (key == nullptr)
        return false;
    RegCloseKey(key);
    return true;
}

std::optional<Bytes> value(const std::wstring& name) {
    HKEY key = openKey(KEY_READ);
    if (key == nullptr)
        return std::nullopt;
    DWORD type = 0;
    DWORD length = 0;
    std::optional<Bytes> data;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &length) == ERROR_SUCCESS &&
        type == REG_BINARY) {
        Bytes bytes(length);
        if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, bytes.data(), &length) ==
            ERROR_SUCCESS)
            data = bytes;
    }
    RegCloseKey(key);
    return data;
}

// Writes a counter as other hands might have left it.
void setCounter(const std::wstring& name, const Bytes& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_BINARY, data.data(), DWORD(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void deleteValue(const std::wstring& name) {
    HKEY key = openKey(KEY_SET_VALUE);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(RegDeleteValueW(key, name.c_str()), ERROR_SUCCESS);
    RegCloseKey(key);
}

std::wstring programFolder() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring madeCertificate(const wchar_t* name) {
    return programFolder() + L"kestrine-certs\\" + name + L".der";
}

class CertificateActions : public ::testing::Test {
protected:
    void SetUp() override {
        removeStoreAndKey();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"kestrine-certificate-test\\";
        removeFolder();
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));

        g_ledger = Ledger();
        HMODULE module = plugin_.handle();
        ASSERT_NE(module, nullptr);
        g_real.createFile = patch(module, "kernel32.dll", "CreateFileW", &fakeCreateFile);
        g_real.closeHandle = patch(module, "kernel32.dll", "CloseHandle", &fakeCloseHandle);
        g_real.createContext =
            patch(module, "crypt32.dll", "CertCreateCertificateContext", &fakeCreateContext);
        g_real.freeContext =
            patch(module, "crypt32.dll", "CertFreeCertificateContext", &fakeFreeContext);
        g_real.openStore = patch(module, "crypt32.dll", "CertOpenStore", &fakeOpenStore);
        g_real.closeStore = patch(module, "crypt32.dll", "CertCloseStore", &fakeCloseStore);
        g_real.add = patch(module, "crypt32.dll", "CertAddCertificateContextToStore", &fakeAdd);
        g_real.remove =
            patch(module, "crypt32.dll", "CertDeleteCertificateFromStore", &fakeDelete);
        g_real.control = patch(module, "crypt32.dll", "CertControlStore", &fakeControl);
        g_real.createKey = patch(module, "advapi32.dll", "RegCreateKeyExW", &fakeCreateKey);
        g_real.openKey = patch(module, "advapi32.dll", "RegOpenKeyExW", &fakeOpenKey);
        g_real.closeKey = patch(module, "advapi32.dll", "RegCloseKey", &fakeCloseKey);
        g_real.deleteKey = patch(module, "advapi32.dll", "RegDeleteKeyExW", &fakeDeleteKey);
    }

    void TearDown() override {
        expectAllReleased();
        patches_.clear();
        removeStoreAndKey();
        removeFolder();
    }

    template <class F>
    F patch(HMODULE module, const char* dll, const char* name, F fake) {
        return patches_.add(module, dll, name, fake);
    }

    // Wine empties a deleted system store but keeps its name, so a removal
    // shows as one deleting open of the store, by its name, since the last
    // look, with nothing left in it.
    static bool storeRemoved() {
        std::vector<std::pair<DWORD, std::wstring>> deletions;
        deletions.swap(g_ledger.storeDeletions);
        const DWORD flags = CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_DELETE_FLAG;
        return deletions.size() == 1 && deletions[0].first == flags &&
               deletions[0].second == kStoreName && storeSerials().empty();
    }

    static void expectAllReleased() {
        EXPECT_TRUE(g_ledger.files.empty()) << "file left open";
        EXPECT_TRUE(g_ledger.contexts.empty()) << "certificate context left";
        EXPECT_TRUE(g_ledger.stores.empty()) << "store left open";
        EXPECT_TRUE(g_ledger.keys.empty()) << "registry key left open";
    }

    void removeFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder_ + L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveDirectoryW((folder_ + name).c_str());
                else
                    DeleteFileW((folder_ + name).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder_.c_str());
    }

    // A copy of one of the made certificates under a path of the test.
    std::wstring certificateFile(const wchar_t* certificate, const wchar_t* name) {
        std::wstring path = folder_ + name;
        EXPECT_TRUE(CopyFileW(madeCertificate(certificate).c_str(), path.c_str(), FALSE))
            << "no certificate " << std::string(certificate, certificate + wcslen(certificate));
        return path;
    }

    // A path installed holding a, and another path holding a installed too
    // when `otherInstalled`; then the file at the first path holds c.
    void installAndChangeToC(bool otherInstalled, std::wstring* path, std::wstring* other) {
        *path = certificateFile(L"a", L"changing.der");
        *other = certificateFile(L"a", L"other.der");
        if (otherInstalled) {
            EXPECT_EQ(install(*other), L"success");
        }
        EXPECT_EQ(install(*path), L"success");
        certificateFile(L"c", L"changing.der");
    }

    std::wstring fileHolding(const std::string& contents, const wchar_t* name) {
        std::wstring path = folder_ + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        if (!contents.empty())
            WriteFile(file, contents.data(), DWORD(contents.size()), &written, nullptr);
        CloseHandle(file);
        return path;
    }

    // One action on `path`: it pops the path, leaves what lay below it and
    // pushes one text, which is returned.
    std::wstring call(const char* name, const std::wstring& path) {
        std::vector<std::wstring> stack = callWithPushed(plugin_, name, {path});
        EXPECT_EQ(stack.size(), 2u);
        if (stack.size() != 2)
            return L"";
        EXPECT_EQ(stack[1], L"below");
        return stack[0];
    }
    std::wstring install(const std::wstring& path) { return call("InstallQLNCertFromFile", path); }
    std::wstring uninstall(const std::wstring& path) {
        return call("UnInstallQLNCertFromFile", path);
    }

    PluginModule plugin_;
    ImportPatches patches_;
    std::wstring folder_;
};

const std::optional<Bytes> kNone;
std::optional<Bytes> count(BYTE references) { return Bytes{references}; }

}  // namespace

// Two files holding one certificate: each counts once, and the certificate,
// the store and the reference key go with the uninstall of the last file.
TEST_F(CertificateActions, CertificateLeavesWithTheLastFileThatHoldsIt) {
    std::wstring first = certificateFile(L"a", L"first.der");
    std::wstring second = certificateFile(L"a", L"second.der");

    EXPECT_EQ(install(first), L"success");
    EXPECT_EQ(value(kCounterAB), count(1));
    EXPECT_EQ(value(first), kSerialAB);
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});

    EXPECT_EQ(install(second), L"success");
    EXPECT_EQ(value(kCounterAB), count(2));
    EXPECT_EQ(value(second), kSerialAB);
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});

    EXPECT_EQ(uninstall(first), L"success");
    EXPECT_EQ(value(kCounterAB), count(1));
    EXPECT_EQ(value(first), kNone);
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});

    EXPECT_EQ(uninstall(second), L"success");
    EXPECT_TRUE(storeRemoved());
    EXPECT_FALSE(keyExists());
    EXPECT_GT(g_ledger.commits, 0) << "deletions not written out";
}

TEST_F(CertificateActions, RepeatedInstallFromOnePathCountsOnce) {
    std::wstring path = certificateFile(L"a", L"a.der");
    EXPECT_EQ(install(path), L"success");
    EXPECT_EQ(install(path), L"success");
    EXPECT_EQ(value(kCounterAB), count(1));
    EXPECT_EQ(uninstall(path), L"success");
    EXPECT_TRUE(storeRemoved());
    EXPECT_FALSE(keyExists());
}

// The uninstall of a path that never installed still drops one reference.
TEST_F(CertificateActions, UninstallOfAnUnknownPathDropsOneReference) {
    EXPECT_EQ(install(certificateFile(L"a", L"first.der")), L"success");
    EXPECT_EQ(install(certificateFile(L"a", L"second.der")), L"success");
    EXPECT_EQ(uninstall(certificateFile(L"a", L"never-installed.der")), L"success");
    EXPECT_EQ(value(kCounterAB), count(1));
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});
}

TEST_F(CertificateActions, UninstallWithoutCounterRemovesTheCertificateAtOnce) {
    std::wstring first = certificateFile(L"a", L"first.der");
    EXPECT_EQ(install(first), L"success");
    EXPECT_EQ(install(certificateFile(L"a", L"second.der")), L"success");
    deleteValue(kCounterAB);
    EXPECT_EQ(uninstall(first), L"success");
    EXPECT_TRUE(storeRemoved());
    EXPECT_FALSE(keyExists());
}

TEST_F(CertificateActions, CertificateOfAnotherSerialKeepsStoreAndKey) {
    std::wstring a = certificateFile(L"a", L"a.der");
    std::wstring c = certificateFile(L"c", L"c.der");
    EXPECT_EQ(install(a), L"success");
    EXPECT_EQ(install(c), L"success");
    EXPECT_EQ(uninstall(a), L"success");
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialC});
    EXPECT_TRUE(g_ledger.storeDeletions.empty());
    EXPECT_EQ(value(kCounterAB), kNone);
    EXPECT_EQ(value(kCounterC), count(1));
    EXPECT_EQ(value(c), kSerialC);
}

// a and b are different certificates of one serial number: both stay in the
// store, and one uninstall with the last reference takes both.
TEST_F(CertificateActions, AllCertificatesOfTheSerialLeaveTogether) {
    std::wstring a = certificateFile(L"a", L"a.der");
    std::wstring b = certificateFile(L"b", L"b.der");
    EXPECT_EQ(install(a), L"success");
    EXPECT_EQ(install(b), L"success");
    EXPECT_EQ(storeSerials(), (std::vector<Bytes>{kSerialAB, kSerialAB}));
    EXPECT_EQ(value(kCounterAB), count(2));
    EXPECT_EQ(uninstall(a), L"success");
    EXPECT_EQ(storeSerials().size(), 2u);
    EXPECT_EQ(uninstall(b), L"success");
    EXPECT_TRUE(storeRemoved());
    EXPECT_FALSE(keyExists());
}

// Neither action gets past the file: nothing is created, nothing is left open.
TEST_F(CertificateActions, FilesWithoutACertificate) {
    std::string der;
    {
        HANDLE file = CreateFileW(madeCertificate(L"a").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        char buffer[4096];
        DWORD read = 0;
        ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
        CloseHandle(file);
        der.assign(buffer, read);
    }
    struct Case {
        const char* what;
        std::wstring path;
        const wchar_t* installed;
        const wchar_t* uninstalled;
    } const cases[] = {
        {"missing file", folder_ + L"missing.der", L"error: could not open certificate",
         L"error: Uninstaller could not open certificate"},
        {"empty parameter", L"", L"error: could not open certificate",
         L"error: Uninstaller could not open certificate"},
        {"a folder", folder_, L"error: could not open certificate",
         L"error: Uninstaller could not open certificate"},
        {"empty file", fileHolding("", L"empty.der"), L"error: could not read from cert file",
         L"error: Uninstaller could not read from cert file"},
        {"text", fileHolding("not a certificate\r\n", L"text.der"),
         L"error: Could not create cert context",
         L"error: Uninstaller could not create cert context"},
        {"cut DER", fileHolding(der.substr(0, der.size() / 2), L"cut.der"),
         L"error: Could not create cert context",
         L"error: Uninstaller could not create cert context"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(install(c.path), c.installed);
        EXPECT_EQ(uninstall(c.path), c.uninstalled);
        EXPECT_EQ(g_ledger.storeOpens, 0);
        EXPECT_TRUE(g_ledger.storeDeletions.empty());
        EXPECT_FALSE(keyExists());
        expectAllReleased();
    }
}

// A counter of 0, or one that is not one byte, stands for no reference: an
// install makes it 1, an uninstall removes the certificate.
TEST_F(CertificateActions, CounterThatReadsAsZeroIsNoReference) {
    const Bytes unreadable[] = {{0x00}, {0x05, 0x00}};
    for (const Bytes& counter : unreadable) {
        SCOPED_TRACE(counter.size());
        std::wstring first = certificateFile(L"a", L"first.der");
        std::wstring second = certificateFile(L"a", L"second.der");
        setCounter(kCounterAB, counter);
        EXPECT_EQ(install(first), L"success");
        EXPECT_EQ(value(kCounterAB), count(1));

        EXPECT_EQ(install(second), L"success");
        setCounter(kCounterAB, counter);
        EXPECT_EQ(install(second), L"success") << "the path was installed before";
        EXPECT_EQ(value(kCounterAB), count(1));

        setCounter(kCounterAB, counter);
        EXPECT_EQ(uninstall(first), L"success");
        EXPECT_TRUE(storeRemoved());
        EXPECT_FALSE(keyExists());
    }
}

// A full counter may stand for more files than it can count: installs keep
// it full, and no uninstall lowers it, recorded path or not, so the
// certificate stays while any file may still reference it.
TEST_F(CertificateActions, FullCounterStaysFull) {
    std::wstring first = certificateFile(L"a", L"first.der");
    EXPECT_EQ(install(first), L"success");
    setCounter(kCounterAB, {0xFF});
    std::wstring second = certificateFile(L"a", L"second.der");
    EXPECT_EQ(install(second), L"success");
    EXPECT_EQ(value(kCounterAB), count(0xFF));
    for (const std::wstring& path :
         {second, first, certificateFile(L"a", L"never-installed.der")}) {
        EXPECT_EQ(uninstall(path), L"success");
        EXPECT_EQ(value(path), kNone);
        EXPECT_EQ(value(kCounterAB), count(0xFF));
        EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});
        EXPECT_TRUE(g_ledger.storeDeletions.empty());
    }
}

// 90 bytes need a counter name longer than 260 units; it is written whole.
TEST_F(CertificateActions, LongSerialGetsItsWholeCounterName) {
    Bytes serial;
    std::wstring name = L"Ref:";
    for (int byte = 1; byte <= 90; ++byte) {
        serial.insert(serial.begin(), BYTE(byte));
        wchar_t digits[8];
        swprintf_s(digits, 8, L" %02x", byte);
        name += digits;
    }
    ASSERT_GT(name.size(), 260u);
    std::wstring path = certificateFile(L"long", L"long.der");
    EXPECT_EQ(install(path), L"success");
    EXPECT_EQ(value(path), serial);
    EXPECT_EQ(value(name), count(1));
    EXPECT_EQ(uninstall(path), L"success");
    EXPECT_TRUE(storeRemoved());
    EXPECT_FALSE(keyExists());
}

// A path installed again after its file changed to another certificate: the
// reference moves, and the old certificate goes with its last reference.
TEST_F(CertificateActions, ReinstallWithAnotherCertificateMovesTheReference) {
    for (bool otherFileHoldsOld : {false, true}) {
        SCOPED_TRACE(otherFileHoldsOld ? "the old certificate has another file"
                                       : "the path was the old certificate's only file");
        std::wstring path, other;
        installAndChangeToC(otherFileHoldsOld, &path, &other);
        EXPECT_EQ(install(path), L"success");

        EXPECT_EQ(value(path), kSerialC);
        EXPECT_EQ(value(kCounterC), count(1));
        if (otherFileHoldsOld) {
            EXPECT_EQ(value(kCounterAB), count(1));
            EXPECT_EQ(storeSerials().size(), 2u);
        } else {
            EXPECT_EQ(value(kCounterAB), kNone);
            EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialC});
        }
        EXPECT_EQ(uninstall(path), L"success");
        EXPECT_EQ(value(kCounterC), kNone);
        if (otherFileHoldsOld) {
            EXPECT_EQ(uninstall(other), L"success");
        }
        EXPECT_TRUE(storeRemoved());
        EXPECT_FALSE(keyExists());
    }
}

// The uninstall of a path whose file was replaced by another certificate's
// drops the reference the path was installed with: the file's certificate
// stays for the path that still holds it, and the recorded one goes with its
// last reference.
TEST_F(CertificateActions, UninstallAfterTheFileChangedDropsTheRecordedReference) {
    for (bool otherFileHoldsOld : {false, true}) {
        SCOPED_TRACE(otherFileHoldsOld ? "the recorded certificate has another file"
                                       : "the path was the recorded certificate's only file");
        std::wstring path, other;
        installAndChangeToC(otherFileHoldsOld, &path, &other);
        std::wstring holder = certificateFile(L"c", L"holder.der");
        EXPECT_EQ(install(holder), L"success");

        EXPECT_EQ(uninstall(path), L"success");
        EXPECT_EQ(value(path), kNone);
        EXPECT_EQ(value(holder), kSerialC);
        EXPECT_EQ(value(kCounterC), count(1));
        EXPECT_TRUE(g_ledger.storeDeletions.empty());
        if (otherFileHoldsOld) {
            EXPECT_EQ(value(kCounterAB), count(1));
            EXPECT_EQ(storeSerials().size(), 2u);
            EXPECT_EQ(uninstall(other), L"success");
        }
        EXPECT_EQ(value(kCounterAB), kNone);
        EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialC});

        EXPECT_EQ(uninstall(holder), L"success");
        EXPECT_TRUE(storeRemoved());
        EXPECT_FALSE(keyExists());
    }
}

TEST_F(CertificateActions, StoreThatCannotBeOpened) {
    std::wstring path = certificateFile(L"a", L"a.der");
    g_ledger.storeOpenFails = true;
    EXPECT_EQ(install(path), L"error: Could not open cert store");
    EXPECT_FALSE(keyExists()) << "a reference without a certificate";

    g_ledger.storeOpenFails = false;
    EXPECT_EQ(install(path), L"success");
    g_ledger.storeOpenFails = true;
    EXPECT_EQ(uninstall(path), L"error: Uninstaller could not open cert store");
    g_ledger.storeOpenFails = false;
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});
    // The reference is gone already: the next uninstall removes it at once.
    EXPECT_EQ(value(kCounterAB), kNone);
    EXPECT_EQ(uninstall(path), L"success");
    EXPECT_TRUE(storeRemoved());
}

TEST_F(CertificateActions, CertificateNotAddedRecordsNoReference) {
    g_ledger.addFails = true;
    EXPECT_EQ(install(certificateFile(L"a", L"a.der")), L"error: Could not add cert to store");
    EXPECT_TRUE(storeSerials().empty());
    EXPECT_FALSE(keyExists());
}

// A deletion that fails, or cannot be written out, keeps the certificate.
TEST_F(CertificateActions, CertificateNotDeleted) {
    for (bool commitOnly : {false, true}) {
        SCOPED_TRACE(commitOnly ? "commit fails" : "deletion fails");
        std::wstring path = certificateFile(L"a", L"a.der");
        EXPECT_EQ(install(path), L"success");
        g_ledger.deleteFails = !commitOnly;
        g_ledger.commitFails = commitOnly;
        EXPECT_EQ(uninstall(path), L"error: Uninstaller could not delete certificate");
        g_ledger.deleteFails = g_ledger.commitFails = false;
        if (!commitOnly) {
            EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});
        }
        expectAllReleased();
        removeStoreAndKey();
    }
}

// Without the reference key the certificate is installed all the same, and
// an uninstall that cannot drop the reference leaves it installed.
TEST_F(CertificateActions, ReferenceKeyThatCannotBeOpened) {
    std::wstring path = certificateFile(L"a", L"a.der");
    g_ledger.keyOpenFails = kKeyPath;
    EXPECT_EQ(install(path), L"success");
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});
    EXPECT_FALSE(keyExists());
    EXPECT_EQ(uninstall(path), L"success");
    EXPECT_EQ(storeSerials(), std::vector<Bytes>{kSerialAB});
}

// The certificate is gone in each case; what fails is the removal of the
// empty store or of the reference key.
TEST_F(CertificateActions, EmptyStoreAndKeyNotRemoved) {
    struct Case {
        const char* what;
        bool storeDeleteFails;
        const wchar_t* parentFails;
        bool keyDeleteFails;
        const wchar_t* text;
    } const cases[] = {
        {"store not deleted", true, L"", false,
         L"error: Uninstaller could not delete the empty cert store"},
        {"parent key not opened", false, kParentPath, false,
         L"error: Uninstaller could not open registry key"},
        {"key not deleted", false, L"", true, L"error: Uninstaller could not delete registry key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = certificateFile(L"a", L"a.der");
        EXPECT_EQ(install(path), L"success");
        g_ledger.storeDeleteFails = c.storeDeleteFails;
        g_ledger.keyOpenFails = c.parentFails;
        g_ledger.keyDeleteFails = c.keyDeleteFails;
        EXPECT_EQ(uninstall(path), c.text);
        g_ledger.storeDeleteFails = g_ledger.keyDeleteFails = false;
        g_ledger.keyOpenFails.clear();
        EXPECT_TRUE(storeSerials().empty());
        EXPECT_EQ(g_ledger.storeDeletions.size(), 1u);
        g_ledger.storeDeletions.clear();
        EXPECT_TRUE(keyExists());
        expectAllReleased();
        removeStoreAndKey();
    }
}
