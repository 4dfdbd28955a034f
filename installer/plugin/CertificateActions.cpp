// Actions that install a certificate file into the local machine's store
// "Quillon, Inc." and remove it again. Several files may hold the same
// certificate; the registry counts, per serial number, the files that
// installed it, and the certificate leaves the store with the last of them.
//
// The reference key lives in the 64-bit registry view, so the 32-bit plug-in
// and 64-bit tools of the product see the same references:
//   <file path>        REG_BINARY  the serial number as the store holds it
//                                  (least significant byte first)
//   Ref: <xx> <xx> ... REG_BINARY  one byte, the number of referencing files;
//                                  the serial's bytes most significant first
#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <new>
#include <vector>

#include "HostInterface.h"

using namespace kestrine;

namespace {

const wchar_t kStoreName[] = L"Quillon, Inc.";
// Opening creates the store when it does not exist yet.
const DWORD kStoreOpenFlags = CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_MAXIMUM_ALLOWED_FLAG;
const DWORD kStoreDeleteFlags = CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_DELETE_FLAG;

const wchar_t kReferenceKey[] = L"SOFTWARE\\Quillon\\ReferencedCerts";
const wchar_t kReferenceParent[] = L"SOFTWARE\\Quillon";
const wchar_t kReferenceSubkey[] = L"ReferencedCerts";
const REGSAM kReferenceAccess = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

// Room for "Ref:", three units per serial byte and the terminator: serial
// numbers of up to 85 bytes. Longer ones get a name buffer of their size.
const std::size_t kCounterNameUnits = 260;
const BYTE kCounterLimit = 0xFF;

// removeCertReference: no file references the serial number any more.
const LONG kNoReferenceLeft = -1;
const LONG kReferencesRemain = 1;

// Failures of reading the certificate file; both actions share these codes.
const DWORD kFileNotOpened = 0;
const DWORD kFileNotRead = 1;
const DWORD kNoCertificateContext = 2;
const DWORD kStoreNotOpened = 3;

const DWORD kCertificateNotAdded = 4;
const DWORD kInstalled = 5;

const DWORD kCertificateNotDeleted = 6;
const DWORD kEmptyStoreNotDeleted = 7;
const DWORD kReferenceKeyNotOpened = 8;
const DWORD kReferenceKeyNotDeleted = 9;
const DWORD kUninstalled = 10;

const wchar_t* const kInstallTexts[] = {
    L"error: could not open certificate",    L"error: could not read from cert file",
    L"error: Could not create cert context", L"error: Could not open cert store",
    L"error: Could not add cert to store",   L"success",
};

const wchar_t* uninstallText(DWORD code) {
    switch (code) {
    case kFileNotOpened:
        return L"error: Uninstaller could not open certificate";
    case kFileNotRead:
        return L"error: Uninstaller could not read from cert file";
    case kNoCertificateContext:
        return L"error: Uninstaller could not create cert context";
    case kStoreNotOpened:
        return L"error: Uninstaller could not open cert store";
    case kCertificateNotDeleted:
        return L"error: Uninstaller could not delete certificate";
    case kEmptyStoreNotDeleted:
        return L"error: Uninstaller could not delete the empty cert store";
    case kReferenceKeyNotOpened:
        return L"error: Uninstaller could not open registry key";
    case kReferenceKeyNotDeleted:
        return L"error: Uninstaller could not delete registry key";
    case kUninstalled:
        return L"success";
    default:
        return L"error: Unknown error in UnInstallQLNCertFromFile";
    }
}

// Reads the DER certificate held in the file. On failure `failure` holds the
// code of the step that failed and nothing is left open.
bool readCertificate(const wchar_t* path, PCCERT_CONTEXT* certificate, DWORD* failure) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *failure = kFileNotOpened;
        return false;
    }
    // A size that cannot be taken must not size the buffer, and an empty
    // file has nothing to read.
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || size == 0) {
        CloseHandle(file);
        *failure = kFileNotRead;
        return false;
    }
    BYTE* contents = new (std::nothrow) BYTE[size];
    if (contents == nullptr) {
        CloseHandle(file);
        *failure = kFileNotRead;
        return false;
    }
    DWORD read = 0;
    BOOL wasRead = ReadFile(file, contents, size, &read, nullptr);
    CloseHandle(file);
    if (!wasRead) {
        delete[] contents;
        *failure = kFileNotRead;
        return false;
    }
    *certificate = CertCreateCertificateContext(X509_ASN_ENCODING, contents, read);
    delete[] contents;
    if (*certificate == nullptr) {
        *failure = kNoCertificateContext;
        return false;
    }
    return true;
}

HCERTSTORE openStore() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING, 0, kStoreOpenFlags,
                         kStoreName);
}

// Deletes every certificate of the serial number. False when a deletion
// fails or cannot be made to last.
bool deleteCertificatesOfSerial(HCERTSTORE store, const CRYPT_INTEGER_BLOB& serial) {
    CRYPT_INTEGER_BLOB wanted = serial;
    bool deleted = false;
    PCCERT_CONTEXT candidate = nullptr;
    while ((candidate = CertEnumCertificatesInStore(store, candidate)) != nullptr) {
        if (!CertCompareIntegerBlob(&candidate->pCertInfo->SerialNumber, &wanted))
            continue;
        // The deletion frees the candidate, whatever its outcome, so the walk
        // starts over from the first certificate.
        if (!CertDeleteCertificateFromStore(candidate))
            return false;
        deleted = true;
        candidate = nullptr;
    }
    // Until the store writes them out, deletions may vanish with its handle.
    return !deleted || CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
}

bool storeHoldsAnyCertificate(HCERTSTORE store) {
    PCCERT_CONTEXT first = CertEnumCertificatesInStore(store, nullptr);
    if (first == nullptr)
        return false;
    CertFreeCertificateContext(first);
    return true;
}

LONG openReferenceKey(const wchar_t* keyPath, HKEY* key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           kReferenceAccess, nullptr, key, nullptr);
}

// "Ref:", then " xx" for each serial byte from the last stored one to the
// first. False when no buffer could be had.
bool counterName(DWORD serialLength, const BYTE* serial, std::vector<wchar_t>& name) {
    if (serialLength > (SIZE_MAX - 5) / 3)
        return false;
    std::size_t units = 4 + 3 * std::size_t(serialLength) + 1;
    if (units < kCounterNameUnits)
        units = kCounterNameUnits;
    try {
        name.assign(units, L'\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    static const wchar_t kDigits[] = L"0123456789abcdef";
    static const wchar_t kPrefix[] = L"Ref:";
    std::size_t at = 0;
    for (const wchar_t* unit = kPrefix; *unit != L'\0'; ++unit)
        name[at++] = *unit;
    for (DWORD i = serialLength; i-- > 0;) {
        name[at++] = L' ';
        name[at++] = kDigits[serial[i] >> 4];
        name[at++] = kDigits[serial[i] & 0x0F];
    }
    name[at] = L'\0';
    return true;
}

// The counter as one byte; 0 when it is absent or is not one byte.
BYTE readCounter(HKEY key, const wchar_t* name, LONG* result) {
    BYTE count = 0;
    DWORD length = sizeof(count);
    *result = RegQueryValueExW(key, name, nullptr, nullptr, &count, &length);
    return *result == ERROR_SUCCESS && length == sizeof(count) ? count : 0;
}

LONG writeCounter(HKEY key, const wchar_t* name, BYTE count) {
    return RegSetValueExW(key, name, 0, REG_BINARY, &count, sizeof(count));
}

// The serial number a file path was last installed with, when it has one.
bool referencedSerial(const wchar_t* keyPath, const wchar_t* filePath, std::vector<BYTE>& serial) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return false;
    DWORD length = 0;
    bool found = RegQueryValueExW(key, filePath, nullptr, nullptr, nullptr, &length) ==
                 ERROR_SUCCESS;
    if (found) {
        try {
            serial.assign(length, 0);
        } catch (const std::bad_alloc&) {
            found = false;
        }
    }
    if (found)
        found = RegQueryValueExW(key, filePath, nullptr, nullptr, serial.data(), &length) ==
                    ERROR_SUCCESS &&
                length == serial.size();
    RegCloseKey(key);
    return found;
}

}  // namespace

// Records that the file at `filePath` references the serial number. Returns
// the result of writing the path value (0 on success), or the registry error
// when the key cannot be opened.
LONG addCertReference(const wchar_t* keyPath, const wchar_t* filePath, DWORD serialLength,
                      const BYTE* serial) {
    HKEY key = nullptr;
    LONG opened = openReferenceKey(keyPath, &key);
    if (opened != ERROR_SUCCESS)
        return opened;
    bool pathKnown =
        RegQueryValueExW(key, filePath, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    LONG written = RegSetValueExW(key, filePath, 0, REG_BINARY, serial, serialLength);

    std::vector<wchar_t> name;
    if (counterName(serialLength, serial, name)) {
        LONG read = ERROR_SUCCESS;
        BYTE count = readCounter(key, name.data(), &read);
        // A counter of 0 stands for no reference at all; a full counter
        // stays full rather than wrapping to none.
        if (read == ERROR_FILE_NOT_FOUND || count == 0)
            writeCounter(key, name.data(), 1);
        else if (!pathKnown && count < kCounterLimit)
            writeCounter(key, name.data(), BYTE(count + 1));
    }
    RegCloseKey(key);
    return written;
}

// Drops the reference of the file at `filePath`. Returns -1 when no file
// references the serial number any more, 1 when others still do, otherwise
// the registry error that stopped it.
LONG removeCertReference(const wchar_t* keyPath, const wchar_t* filePath, DWORD serialLength,
                         const BYTE* serial) {
    HKEY key = nullptr;
    LONG opened = openReferenceKey(keyPath, &key);
    if (opened != ERROR_SUCCESS)
        return opened;
    // A path that was never recorded still takes one reference away.
    LONG removed = RegDeleteValueW(key, filePath);
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(key);
        return removed;
    }
    LONG result = kNoReferenceLeft;
    std::vector<wchar_t> name;
    if (!counterName(serialLength, serial, name)) {
        result = ERROR_OUTOFMEMORY;
    } else {
        LONG read = ERROR_SUCCESS;
        BYTE count = readCounter(key, name.data(), &read);
        if (read == ERROR_FILE_NOT_FOUND) {
            result = kNoReferenceLeft;
        } else if (count <= 1) {
            // The last reference, or a counter of 0 that stands for none.
            RegDeleteValueW(key, name.data());
            result = kNoReferenceLeft;
        } else if (count == kCounterLimit) {
            // A full counter may stand for more files than it can count, so
            // it is never lowered: the certificate stays while one may be left.
            result = kReferencesRemain;
        } else {
            writeCounter(key, name.data(), BYTE(count - 1));
            result = kReferencesRemain;
        }
    }
    RegCloseKey(key);
    return result;
}

// Removes the certificate of the file once no file references it, and the
// store and the reference key once the store is empty. Returns a code of the
// uninstall table.
DWORD uninstallCertFromFile(const wchar_t* filePath) {
    PCCERT_CONTEXT certificate = nullptr;
    DWORD failure = kFileNotOpened;
    if (!readCertificate(filePath, &certificate, &failure))
        return failure;
    // A recorded path drops the reference it was installed with: its file
    // may hold another certificate by now, one that other paths reference.
    // Only a path never recorded goes by the certificate in its file.
    CRYPT_INTEGER_BLOB serial = certificate->pCertInfo->SerialNumber;
    std::vector<BYTE> recorded;
    if (referencedSerial(kReferenceKey, filePath, recorded) && !recorded.empty())
        serial = {DWORD(recorded.size()), recorded.data()};
    if (removeCertReference(kReferenceKey, filePath, serial.cbData, serial.pbData) !=
        kNoReferenceLeft) {
        CertFreeCertificateContext(certificate);
        return kUninstalled;
    }
    HCERTSTORE store = openStore();
    if (store == nullptr) {
        CertFreeCertificateContext(certificate);
        return kStoreNotOpened;
    }
    bool deleted = deleteCertificatesOfSerial(store, serial);
    CertFreeCertificateContext(certificate);
    if (!deleted) {
        CertCloseStore(store, 0);
        return kCertificateNotDeleted;
    }
    bool remaining = storeHoldsAnyCertificate(store);
    CertCloseStore(store, 0);
    if (remaining)
        return kUninstalled;

    // The deleting open returns no store; only the last error tells.
    SetLastError(ERROR_SUCCESS);
    CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING, 0, kStoreDeleteFlags, kStoreName);
    if (GetLastError() != ERROR_SUCCESS)
        return kEmptyStoreNotDeleted;

    HKEY parent = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kReferenceParent, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        kReferenceAccess, nullptr, &parent, nullptr) != ERROR_SUCCESS)
        return kReferenceKeyNotOpened;
    // Named in the 64-bit view too: a 32-bit caller would otherwise look for
    // the subkey in its own view.
    LONG keyDeleted = RegDeleteKeyExW(parent, kReferenceSubkey, KEY_WOW64_64KEY, 0);
    RegCloseKey(parent);
    return keyDeleted == ERROR_SUCCESS ? kUninstalled : kReferenceKeyNotDeleted;
}

namespace {

// The file at `filePath` was installed before with another certificate: its
// reference moves to the new one, and the old certificate goes when that was
// its last reference, as an uninstall of the path would have done.
void releasePreviousSerial(HCERTSTORE store, const wchar_t* filePath,
                           const CRYPT_INTEGER_BLOB& serial) {
    std::vector<BYTE> previous;
    if (!referencedSerial(kReferenceKey, filePath, previous))
        return;
    CRYPT_INTEGER_BLOB previousSerial = {DWORD(previous.size()), previous.data()};
    CRYPT_INTEGER_BLOB currentSerial = serial;
    if (CertCompareIntegerBlob(&previousSerial, &currentSerial))
        return;
    if (removeCertReference(kReferenceKey, filePath, previousSerial.cbData,
                            previousSerial.pbData) == kNoReferenceLeft)
        deleteCertificatesOfSerial(store, previousSerial);
}

DWORD installCertFromFile(const wchar_t* filePath) {
    PCCERT_CONTEXT certificate = nullptr;
    DWORD failure = kFileNotOpened;
    if (!readCertificate(filePath, &certificate, &failure))
        return failure;
    HCERTSTORE store = openStore();
    if (store == nullptr) {
        CertFreeCertificateContext(certificate);
        return kStoreNotOpened;
    }
    DWORD result = kCertificateNotAdded;
    if (CertAddCertificateContextToStore(store, certificate, CERT_STORE_ADD_REPLACE_EXISTING,
                                         nullptr)) {
        const CRYPT_INTEGER_BLOB& serial = certificate->pCertInfo->SerialNumber;
        releasePreviousSerial(store, filePath, serial);
        // The certificate is in the store: a reference that cannot be
        // recorded does not make the install fail.
        addCertReference(kReferenceKey, filePath, serial.cbData, serial.pbData);
        result = kInstalled;
    }
    CertFreeCertificateContext(certificate);
    CertCloseStore(store, 0);
    return result;
}

}  // namespace

KESTRINE_ACTION(InstallQLNCertFromFile) {
    enterAction(stringSize, variables, stackTop);
    wchar_t path[kParameterUnits];
    popParameter(path);
    pushString(kInstallTexts[installCertFromFile(path)]);
}

KESTRINE_ACTION(UnInstallQLNCertFromFile) {
    enterAction(stringSize, variables, stackTop);
    wchar_t path[kParameterUnits];
    popParameter(path);
    pushString(uninstallText(uninstallCertFromFile(path)));
}
