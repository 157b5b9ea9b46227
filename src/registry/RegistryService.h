// The registry service: the Windows registry functions the program relies on, as one interface
// with two back ends (the SQLite store off Windows, advapi32 on Windows). Nothing above this
// interface may assume which back end it talks to.
//
// The "A" members keep the Windows ANSI signatures and results; text is in the system code page,
// which is UTF-8 off Windows. The "raw" members give the .reg reader and writer the data exactly as
// stored (string types as UTF-16LE bytes), with names in UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace karvo::reg {

using HKey = std::uint32_t;  // 0 is no key
using LONG = std::int32_t;
using DWORD = std::uint32_t;

// Root handles keep their Windows values.
inline constexpr HKey kHkeyClassesRoot = 0x80000000u;
inline constexpr HKey kHkeyCurrentUser = 0x80000001u;
inline constexpr HKey kHkeyLocalMachine = 0x80000002u;
inline constexpr HKey kHkeyUsers = 0x80000003u;
inline constexpr HKey kHkeyPerformanceData = 0x80000004u;
inline constexpr HKey kHkeyCurrentConfig = 0x80000005u;
inline constexpr HKey kHkeyDynData = 0x80000006u;

// Result codes (Windows error numbers).
inline constexpr LONG kErrorSuccess = 0;
inline constexpr LONG kErrorFileNotFound = 2;
inline constexpr LONG kErrorAccessDenied = 5;
inline constexpr LONG kErrorInvalidHandle = 6;
inline constexpr LONG kErrorInvalidData = 13;
inline constexpr LONG kErrorNotSupported = 50;
inline constexpr LONG kErrorInvalidParameter = 87;
inline constexpr LONG kErrorBusy = 170;  // the store: another program holds it for writing
inline constexpr LONG kErrorMoreData = 234;
inline constexpr LONG kErrorNoMoreItems = 259;
inline constexpr LONG kErrorBadKey = 1010;
inline constexpr LONG kErrorCantOpen = 1011;
inline constexpr LONG kErrorCantRead = 1012;
inline constexpr LONG kErrorCantWrite = 1013;
inline constexpr LONG kErrorKeyDeleted = 1018;

// Access rights.
inline constexpr DWORD kKeyQueryValue = 0x0001;
inline constexpr DWORD kKeySetValue = 0x0002;
inline constexpr DWORD kKeyCreateSubKey = 0x0004;
inline constexpr DWORD kKeyEnumerateSubKeys = 0x0008;
inline constexpr DWORD kKeyNotify = 0x0010;
inline constexpr DWORD kKeyCreateLink = 0x0020;
inline constexpr DWORD kKeyAllAccess = 0xF003F;
inline constexpr DWORD kKeyRead = 0x20019;

// Value types.
inline constexpr DWORD kRegNone = 0;
inline constexpr DWORD kRegSz = 1;
inline constexpr DWORD kRegExpandSz = 2;
inline constexpr DWORD kRegBinary = 3;
inline constexpr DWORD kRegDword = 4;
inline constexpr DWORD kRegDwordBigEndian = 5;
inline constexpr DWORD kRegLink = 6;
inline constexpr DWORD kRegMultiSz = 7;
inline constexpr DWORD kRegQword = 11;

// Dispositions of RegCreateKeyExA.
inline constexpr DWORD kRegCreatedNewKey = 1;
inline constexpr DWORD kRegOpenedExistingKey = 2;

// The longest key or value name, in characters.
inline constexpr std::size_t kMaxNameLength = 255;

// Stands for SECURITY_ATTRIBUTES; callers pass a zero-filled record or nullptr.
struct SecurityAttributes {
    DWORD nLength = 0;
    void* lpSecurityDescriptor = nullptr;
    std::int32_t bInheritHandle = 0;
};

class RegistryService {
public:
    virtual ~RegistryService() = default;

    // ---- the ANSI entry points -------------------------------------------------------------
    virtual LONG RegOpenKeyExA(HKey hKey, const char* lpSubKey, DWORD ulOptions, DWORD samDesired,
                               HKey* phkResult) = 0;
    virtual LONG RegCreateKeyExA(HKey hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass,
                                 DWORD dwOptions, DWORD samDesired,
                                 const SecurityAttributes* lpSecurityAttributes, HKey* phkResult,
                                 DWORD* lpdwDisposition) = 0;
    // Fails harmlessly (kErrorInvalidHandle) on 0 and on handles it never gave out.
    virtual LONG RegCloseKey(HKey hKey) = 0;
    // lpData may be null to ask for type and size only; too small a buffer gives kErrorMoreData
    // with *lpcbData set to the size needed.
    virtual LONG RegQueryValueExA(HKey hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType,
                                  std::uint8_t* lpData, DWORD* lpcbData) = 0;
    virtual LONG RegSetValueExA(HKey hKey, const char* lpValueName, DWORD Reserved, DWORD dwType,
                                const std::uint8_t* lpData, DWORD cbData) = 0;
    // Refuses (kErrorAccessDenied) a key that has sub-keys, as Windows NT does.
    virtual LONG RegDeleteKeyA(HKey hKey, const char* lpSubKey) = 0;
    virtual LONG RegDeleteValueA(HKey hKey, const char* lpValueName) = 0;
    // cchName counts the terminating zero; a name that does not fit gives kErrorMoreData.
    virtual LONG RegEnumKeyA(HKey hKey, DWORD dwIndex, char* lpName, DWORD cchName) = 0;
    virtual LONG RegEnumValueA(HKey hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName,
                               DWORD* lpReserved, DWORD* lpType, std::uint8_t* lpData, DWORD* lpcbData) = 0;
    // Lengths are in characters without the terminating zero; lpClass and the times are unused.
    virtual LONG RegQueryInfoKeyA(HKey hKey, char* lpClass, DWORD* lpcchClass, DWORD* lpReserved,
                                  DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen,
                                  DWORD* lpcValues, DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen,
                                  DWORD* lpcbSecurityDescriptor, void* lpftLastWriteTime) = 0;

    // ---- raw access for the .reg reader and writer -----------------------------------------
    // Sub-key dwIndex of hKey (case-insensitive order), its name in UTF-8 as stored.
    virtual LONG EnumKeyRaw(HKey hKey, DWORD dwIndex, std::string& name) = 0;
    // Value dwIndex of hKey (creation order): name in UTF-8, type, data exactly as stored.
    virtual LONG EnumValueRaw(HKey hKey, DWORD dwIndex, std::string& name, DWORD& type,
                              std::vector<std::uint8_t>& data) = 0;
    virtual LONG QueryValueRaw(HKey hKey, const std::string& name, DWORD& type,
                               std::vector<std::uint8_t>& data) = 0;
    // Stores the bytes unchanged (string types are expected as UTF-16LE).
    virtual LONG SetValueRaw(HKey hKey, const std::string& name, DWORD type, const std::uint8_t* data,
                             std::size_t size) = 0;
    // Deletes subKey of hKey with its whole sub-tree; a missing key is kErrorFileNotFound.
    virtual LONG DeleteTree(HKey hKey, const char* lpSubKey) = 0;
    // The stored spelling of the key's full path ("HKEY_CURRENT_USER\Software"); false for a bad handle.
    // Views (HKEY_CURRENT_USER ...) answer in their own root's terms.
    virtual bool KeyPath(HKey hKey, std::string& path) = 0;

    // ---- grouping changes ------------------------------------------------------------------
    // Between BeginBatch and CommitBatch every change is part of one transaction: a crash, a kill
    // or RollbackBatch leaves the registry as it was before. Back ends that cannot do this answer
    // kErrorNotSupported from BeginBatch, and the changes then apply one by one.
    virtual LONG BeginBatch() = 0;
    virtual LONG CommitBatch() = 0;
    virtual LONG RollbackBatch() = 0;

    // ---- reading at one moment -------------------------------------------------------------
    // Between BeginSnapshot and EndSnapshot every read sees the registry as it was when the
    // snapshot began, and takes no lock that a program changing the registry meanwhile would
    // have to wait for. Back ends that cannot do this answer kErrorNotSupported and read as they go.
    virtual LONG BeginSnapshot() { return kErrorNotSupported; }
    virtual LONG EndSnapshot() { return kErrorNotSupported; }
};

// The kernel helpers that come with the registry.
// Windows semantics: names matched with letter case ignored, an unknown %NAME% stays as written;
// returns the size needed including the terminating zero, 0 on failure.
DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize);
void RtlMoveMemory(void* destination, const void* source, std::size_t length);

// The SQLite store at the given file path (created when missing). Never null; a store that cannot
// be opened answers every call with a failure.
std::unique_ptr<RegistryService> openStore(const std::string& path);

// Where the user's store lives: $KARVO_REGISTRY, else <user data folder>/karvo/registry.db.
std::string defaultStorePath();

// Called once when a store file is first created, before any other use of it: fills the new
// registry (the programs install the default registry here) and may use batches. If two processes
// create the same store at once, only one of them fills it. Without an initializer a new store
// starts empty but for its fixed skeleton of roots.
using NewStoreInitializer = std::function<void(RegistryService&)>;
void setNewStoreInitializer(NewStoreInitializer init);

// Which registry $KARVO_REGISTRY selects off Windows: a store file (the default), or with
// "wine:PREFIX" or "wine" a Wine prefix's own registry ($WINEPREFIX, else ~/.wine).
struct RegistryChoice {
    bool wine = false;
    std::string location;  // the store file, or the prefix folder
};
RegistryChoice registryChoice();

// Why the chosen registry cannot be used, in one sentence; "" when it can. A Wine prefix needs
// wine installed, its folder present and a Wine prefix (system.reg in it); nothing is created by
// looking, since wine would silently make a new prefix.
std::string registryProblem();

// Says, once per registry, that it cannot be reached (it would not open, or its helper stopped).
// By default one line on standard error; the window programs show a message box instead.
using RegistryFailureHandler = std::function<void(const std::string& message)>;
void setRegistryFailureHandler(RegistryFailureHandler handler);
void reportRegistryFailure(const std::string& message);

// The process's system registry: on Windows the real one, elsewhere the one registryChoice()
// names, opened on first use and kept for the life of the process. A registry that cannot be used
// answers every call with a failure.
RegistryService& systemRegistry();

}  // namespace karvo::reg
