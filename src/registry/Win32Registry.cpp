// The registry service over the system's own registry (advapi32). Handles given out are small
// numbers of our own, since a Windows HKEY need not fit in 32 bits; the root handles keep their
// values. Batches are not available here: changes apply one by one.
#ifdef _WIN32

#include "registry/RegistryBackends.h"
#include "registry/RegistryService.h"
#include "registry/TextCodec.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace karvo::reg {

namespace {

std::wstring wide(std::string_view utf8) {
    const std::string bytes = text::utf8ToUtf16le(utf8);
    std::wstring w(bytes.size() / 2, L'\0');
    std::memcpy(w.data(), bytes.data(), w.size() * sizeof(wchar_t));
    return w;
}

std::string narrow(const wchar_t* s, std::size_t count) {
    return text::utf16leToUtf8(std::string_view(reinterpret_cast<const char*>(s), count * sizeof(wchar_t)));
}

// Under WOW64 a 32-bit build would see a redirected HKLM\SOFTWARE, not the one 64-bit regedit exports.
REGSAM systemView() {
    static const REGSAM view = [] {
        BOOL wow64 = FALSE;
        return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : REGSAM{0};
    }();
    return view;
}

struct Predefined {
    HKey handle;
    HKEY key;
    const char* name;
};

const Predefined kPredefined[] = {
    {kHkeyClassesRoot, HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {kHkeyCurrentUser, HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {kHkeyLocalMachine, HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
    {kHkeyUsers, HKEY_USERS, "HKEY_USERS"},
    {kHkeyPerformanceData, HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
    {kHkeyCurrentConfig, HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
    {kHkeyDynData, HKEY_DYN_DATA, "HKEY_DYN_DATA"},
};

class Win32Registry final : public RegistryService {
public:
    LONG RegOpenKeyExA(HKey hKey, const char* lpSubKey, DWORD ulOptions, DWORD samDesired,
                       HKey* phkResult) override {
        if (!phkResult)
            return kErrorInvalidParameter;
        *phkResult = 0;
        HKEY base = nullptr, key = nullptr;
        std::string path;
        if (!resolve(hKey, base, &path))
            return kErrorInvalidHandle;
        const LONG err = ::RegOpenKeyExA(base, lpSubKey, ulOptions, samDesired | systemView(), &key);
        if (err == ERROR_SUCCESS)
            *phkResult = adopt(key, join(path, lpSubKey));
        return err;
    }

    LONG RegCreateKeyExA(HKey hKey, const char* lpSubKey, DWORD, const char* lpClass, DWORD dwOptions,
                         DWORD samDesired, const SecurityAttributes*, HKey* phkResult,
                         DWORD* lpdwDisposition) override {
        if (!phkResult)
            return kErrorInvalidParameter;
        *phkResult = 0;
        HKEY base = nullptr, key = nullptr;
        std::string path;
        if (!resolve(hKey, base, &path))
            return kErrorInvalidHandle;
        ::DWORD disposition = 0;
        // Our security record is always the zero-filled one: default security.
        const LONG err = ::RegCreateKeyExA(base, lpSubKey, 0, const_cast<char*>(lpClass), dwOptions,
                                           samDesired | systemView(), nullptr, &key, &disposition);
        if (err != ERROR_SUCCESS)
            return err;
        *phkResult = adopt(key, join(path, lpSubKey));
        if (lpdwDisposition)
            *lpdwDisposition = disposition;
        return err;
    }

    LONG RegCloseKey(HKey hKey) override {
        for (const Predefined& p : kPredefined)
            if (p.handle == hKey)
                return ERROR_SUCCESS;
        HKEY key = nullptr;
        {
            std::lock_guard lock(mutex_);
            auto it = open_.find(hKey);
            if (it == open_.end())
                return kErrorInvalidHandle;
            key = it->second.key;
            open_.erase(it);
        }
        return ::RegCloseKey(key);
    }

    LONG RegQueryValueExA(HKey hKey, const char* lpValueName, DWORD*, DWORD* lpType, std::uint8_t* lpData,
                          DWORD* lpcbData) override {
        HKEY key = nullptr;
        if (!resolve(hKey, key))
            return kErrorInvalidHandle;
        ::DWORD type = 0, size = lpcbData ? *lpcbData : 0;
        const LONG err = ::RegQueryValueExA(key, lpValueName, nullptr, &type, lpData, lpcbData ? &size : nullptr);
        if (lpType)
            *lpType = type;
        if (lpcbData)
            *lpcbData = size;
        return err;
    }

    LONG RegSetValueExA(HKey hKey, const char* lpValueName, DWORD, DWORD dwType, const std::uint8_t* lpData,
                        DWORD cbData) override {
        HKEY key = nullptr;
        return resolve(hKey, key) ? ::RegSetValueExA(key, lpValueName, 0, dwType, lpData, cbData)
                                  : kErrorInvalidHandle;
    }

    LONG RegDeleteKeyA(HKey hKey, const char* lpSubKey) override {
        HKEY key = nullptr;
        return resolve(hKey, key) ? ::RegDeleteKeyA(key, lpSubKey) : kErrorInvalidHandle;
    }

    LONG RegDeleteValueA(HKey hKey, const char* lpValueName) override {
        HKEY key = nullptr;
        return resolve(hKey, key) ? ::RegDeleteValueA(key, lpValueName) : kErrorInvalidHandle;
    }

    LONG RegEnumKeyA(HKey hKey, DWORD dwIndex, char* lpName, DWORD cchName) override {
        HKEY key = nullptr;
        return resolve(hKey, key) ? ::RegEnumKeyA(key, dwIndex, lpName, cchName) : kErrorInvalidHandle;
    }

    LONG RegEnumValueA(HKey hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*, DWORD* lpType,
                       std::uint8_t* lpData, DWORD* lpcbData) override {
        HKEY key = nullptr;
        if (!resolve(hKey, key))
            return kErrorInvalidHandle;
        ::DWORD nameLen = lpcchValueName ? *lpcchValueName : 0, type = 0, size = lpcbData ? *lpcbData : 0;
        const LONG err = ::RegEnumValueA(key, dwIndex, lpValueName, lpcchValueName ? &nameLen : nullptr, nullptr,
                                         &type, lpData, lpcbData ? &size : nullptr);
        if (lpcchValueName)
            *lpcchValueName = nameLen;
        if (lpType)
            *lpType = type;
        if (lpcbData)
            *lpcbData = size;
        return err;
    }

    LONG RegQueryInfoKeyA(HKey hKey, char* lpClass, DWORD* lpcchClass, DWORD*, DWORD* lpcSubKeys,
                          DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                          DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                          void* lpftLastWriteTime) override {
        HKEY key = nullptr;
        if (!resolve(hKey, key))
            return kErrorInvalidHandle;
        ::DWORD v[8] = {lpcchClass ? *lpcchClass : 0};
        const LONG err = ::RegQueryInfoKeyA(key, lpClass, lpcchClass ? &v[0] : nullptr, nullptr, &v[1], &v[2],
                                            &v[3], &v[4], &v[5], &v[6], &v[7],
                                            static_cast<PFILETIME>(lpftLastWriteTime));
        DWORD* out[8] = {lpcchClass, lpcSubKeys, lpcbMaxSubKeyLen, lpcbMaxClassLen,
                         lpcValues, lpcbMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor};
        for (int i = 0; i < 8; ++i)
            if (out[i])
                *out[i] = v[i];
        return err;
    }

    LONG EnumKeyRaw(HKey hKey, DWORD dwIndex, std::string& name) override {
        HKEY key = nullptr;
        if (!resolve(hKey, key))
            return kErrorInvalidHandle;
        wchar_t buffer[kMaxNameLength + 1];
        ::DWORD len = kMaxNameLength + 1;
        const LONG err = ::RegEnumKeyExW(key, dwIndex, buffer, &len, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_SUCCESS)
            name = narrow(buffer, len);
        return err;
    }

    LONG EnumValueRaw(HKey hKey, DWORD dwIndex, std::string& name, DWORD& type,
                      std::vector<std::uint8_t>& data) override {
        HKEY key = nullptr;
        if (!resolve(hKey, key))
            return kErrorInvalidHandle;
        std::vector<wchar_t> nameBuffer(16384);
        for (;;) {  // the value may grow between asking for its size and reading it
            ::DWORD nameLen = static_cast<::DWORD>(nameBuffer.size()), t = 0, size = 0;
            LONG err = ::RegEnumValueW(key, dwIndex, nameBuffer.data(), &nameLen, nullptr, &t, nullptr, &size);
            if (err != ERROR_SUCCESS)
                return err;
            data.resize(size);
            nameLen = static_cast<::DWORD>(nameBuffer.size());
            err = ::RegEnumValueW(key, dwIndex, nameBuffer.data(), &nameLen, nullptr, &t, data.data(), &size);
            if (err == ERROR_MORE_DATA)
                continue;
            if (err == ERROR_SUCCESS) {
                data.resize(size);
                name = narrow(nameBuffer.data(), nameLen);
                type = t;
            }
            return err;
        }
    }

    LONG QueryValueRaw(HKey hKey, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) override {
        HKEY key = nullptr;
        if (!resolve(hKey, key))
            return kErrorInvalidHandle;
        const std::wstring w = wide(name);
        for (;;) {
            ::DWORD t = 0, size = 0;
            LONG err = ::RegQueryValueExW(key, w.c_str(), nullptr, &t, nullptr, &size);
            if (err != ERROR_SUCCESS)
                return err;
            data.resize(size);
            err = ::RegQueryValueExW(key, w.c_str(), nullptr, &t, data.data(), &size);
            if (err == ERROR_MORE_DATA)
                continue;
            if (err == ERROR_SUCCESS) {
                data.resize(size);
                type = t;
            }
            return err;
        }
    }

    LONG SetValueRaw(HKey hKey, const std::string& name, DWORD type, const std::uint8_t* data,
                     std::size_t size) override {
        HKEY key = nullptr;
        if (!resolve(hKey, key))
            return kErrorInvalidHandle;
        if (size > 0xFFFFFFFFu)
            return kErrorInvalidParameter;
        return ::RegSetValueExW(key, wide(name).c_str(), 0, type, data, static_cast<::DWORD>(size));
    }

    LONG DeleteTree(HKey hKey, const char* lpSubKey) override {
        HKEY key = nullptr;
        return resolve(hKey, key) ? ::RegDeleteTreeA(key, lpSubKey) : kErrorInvalidHandle;
    }

    // The path as the handle was opened; Windows does not hand out the stored spelling cheaply.
    bool KeyPath(HKey hKey, std::string& path) override {
        HKEY key = nullptr;
        return resolve(hKey, key, &path);
    }

    LONG BeginBatch() override { return kErrorNotSupported; }
    LONG CommitBatch() override { return kErrorNotSupported; }
    LONG RollbackBatch() override { return kErrorNotSupported; }

    ~Win32Registry() override {
        for (auto& [h, open] : open_)
            ::RegCloseKey(open.key);
    }

private:
    struct OpenKey {
        HKEY key;
        std::string path;
    };

    bool resolve(HKey h, HKEY& key, std::string* path = nullptr) {
        for (const Predefined& p : kPredefined) {
            if (p.handle == h) {
                key = p.key;
                if (path)
                    *path = p.name;
                return true;
            }
        }
        std::lock_guard lock(mutex_);
        auto it = open_.find(h);
        if (it == open_.end())
            return false;
        key = it->second.key;
        if (path)
            *path = it->second.path;
        return true;
    }

    HKey adopt(HKEY key, std::string path) {
        std::lock_guard lock(mutex_);
        const HKey h = next_;
        next_ += 4;
        open_.emplace(h, OpenKey{key, std::move(path)});
        return h;
    }

    // Empty parts of a sub-key path name no key: "a\\b\" is "a\b".
    static std::string join(std::string path, const char* sub) {
        std::string part;
        for (const char* p = sub ? sub : "";; ++p) {
            if (*p && *p != '\\') {
                part += *p;
                continue;
            }
            if (!part.empty()) {
                path += '\\';
                path += part;
                part.clear();
            }
            if (!*p)
                return path;
        }
    }

    std::mutex mutex_;
    std::unordered_map<HKey, OpenKey> open_;
    HKey next_ = 0x100;
};

}  // namespace

namespace detail {

std::unique_ptr<RegistryService> makeWin32Registry() { return std::make_unique<Win32Registry>(); }

}  // namespace detail

}  // namespace karvo::reg

#endif  // _WIN32
