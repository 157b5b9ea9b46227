#include "registry/cRegistry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>

#include "registry/cRegistryPlatform.h"

using namespace karvo::reg;

namespace {

constexpr DWORD kOpenRights = 0x3F;  // query, set, create sub-key, enumerate, notify, create link
constexpr std::size_t kSectionBuffer = 255;

std::string sys(const std::string& text) { return platform::utf8ToAnsi(text); }

// Closes the key it was given when the operation ends, also when it ends by an error.
class KeyCloser {
public:
    KeyCloser(RegistryService& reg, HKey key) : reg_(reg), key_(key) {}
    ~KeyCloser() {
        if (key_ != 0) reg_.RegCloseKey(key_);
    }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    RegistryService& reg_;
    HKey key_;
};

// The data of a value whose size was just asked for. The value may change between the two queries;
// a value that grew is asked for again, so the buffer is never overrun and the bytes are current.
std::optional<std::vector<std::uint8_t>> queryData(RegistryService& reg, HKey key, const std::string& name,
                                                   DWORD size) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::vector<std::uint8_t> data(std::max<DWORD>(size, 1));
        DWORD type = 0;
        DWORD cb = size;
        const LONG result = reg.RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &cb);
        if (result == kErrorMoreData && cb > size) {
            size = cb;
            continue;
        }
        if (result != kErrorSuccess) return std::nullopt;
        data.resize(std::min(cb, size));
        return data;
    }
    return std::nullopt;
}

// Appends a name the registry gave in its code page.
void appendName(std::vector<std::string>& names, const char* name, std::size_t length) {
#ifdef _WIN32
    names.push_back(platform::ansiToUtf8(std::string(name, length)));
#else
    names.emplace_back(name, length);  // the code page is UTF-8 already
#endif
}

std::string asText(const std::vector<std::uint8_t>& data) { return {data.begin(), data.end()}; }

// Four stored bytes as a little-endian number.
std::int32_t littleEndian(const std::array<std::uint8_t, 4>& b) {
    const std::uint32_t u = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return static_cast<std::int32_t>(u);
}

std::string trimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

}  // namespace

// ---- errors ----------------------------------------------------------------------------------

RegistryError::RegistryError(std::int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {
    message_ = description_.empty() ? "registry error " + std::to_string(number_) : description_;
}

const std::string& cRegistry::ErrorSource() {
    static const std::string source = platform::programBaseName() + ".cRegistry";
    return source;
}

void cRegistry::raise(std::int32_t number, const std::string& description) {
    throw RegistryError(number, ErrorSource(), description);
}

RegistryService& cRegistry::service() { return service_ != nullptr ? *service_ : systemRegistry(); }

// ---- keys ------------------------------------------------------------------------------------

bool cRegistry::openKey(DWORD rights, HKey& key) {
    return service().RegOpenKeyExA(hive(), sys(sectionKey_).c_str(), 0, rights, &key) == kErrorSuccess;
}

bool cRegistry::createKey(HKey& key) {
    DWORD disposition = 0;
    const SecurityAttributes security{};
    return service().RegCreateKeyExA(hive(), sys(sectionKey_).c_str(), 0, "", 0, kOpenRights, &security, &key,
                                     &disposition) == kErrorSuccess;
}

bool cRegistry::KeyExists() {
    RegistryService& reg = service();
    HKey key = 0;
    if (!openKey(kKeyQueryValue, key)) return false;
    reg.RegCloseKey(key);
    return true;
}

bool cRegistry::CreateKey() {
    RegistryService& reg = service();
    HKey key = 0;
    if (!createKey(key)) {
        raise(kErrKey, "Failed to create registry Key: '" + sectionKey_);
    }
    reg.RegCloseKey(key);
    return true;
}

bool cRegistry::DeleteKey() {
    if (service().RegDeleteKeyA(hive(), sys(sectionKey_).c_str()) != kErrorSuccess) {
        raise(kErrKey, "Failed to delete registry Key: '" + std::to_string(classKey_) + "',Section: '" + sectionKey_);
    }
    return true;
}

bool cRegistry::EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount) {
    sKeyNames.clear();
    iKeyCount = 0;
    RegistryService& reg = service();
    HKey key = 0;
    if (!openKey(kKeyQueryValue, key)) return true;
    KeyCloser closer(reg, key);

    DWORD longest = 0;
    if (reg.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                             nullptr, nullptr) != kErrorSuccess) {
        return true;
    }
    // Windows counts the longest name in characters; a name whose code-page form is longer than that
    // (several bytes to a character) gets a larger buffer instead of ending the list early.
    constexpr DWORD kLargestBuffer = 1u << 20;
    std::string buffer(static_cast<std::size_t>(longest) + 1, '\0');
    for (DWORD index = 0; iKeyCount < std::numeric_limits<std::int32_t>::max();) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG result = reg.RegEnumValueA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == kErrorMoreData && buffer.size() < kLargestBuffer) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (result != kErrorSuccess) break;
        appendName(sKeyNames, buffer.data(), std::min<std::size_t>(length, buffer.size()));
        ++iKeyCount;
        ++index;
    }
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount) {
    RegistryService& reg = service();
    HKey key = 0;
    try {
        sSect.clear();
        iSectCount = 0;
        if (!openKey(kKeyEnumerateSubKeys, key)) {
            return true;
        }
        // One handle for the whole walk: the service answers index after index in constant time.
        std::array<char, kSectionBuffer> buffer{};
        for (DWORD index = 0; iSectCount < std::numeric_limits<std::int32_t>::max(); ++index) {
            if (reg.RegEnumKeyA(key, index, buffer.data(), static_cast<DWORD>(buffer.size())) != kErrorSuccess) break;
            const auto length = static_cast<std::size_t>(std::find(buffer.begin(), buffer.end(), '\0') - buffer.begin());
            appendName(sSect, buffer.data(), length);
            ++iSectCount;
            // Back to all zeros for the next name (a name that fills the buffer has no terminator).
            std::fill_n(buffer.begin(), std::min(length + 1, buffer.size()), '\0');
        }
        reg.RegCloseKey(key);
        return true;
    } catch (const std::exception& e) {
        if (key != 0) reg.RegCloseKey(key);
        raise(kErrEnumerate, e.what());
    }
}

// ---- values ----------------------------------------------------------------------------------

Variant cRegistry::Value() {
    RegistryService& reg = service();
    HKey key = 0;
    if (!openKey(kKeyQueryValue, key)) return default_;
    KeyCloser closer(reg, key);

    const std::string name = sys(valueKey_);
    DWORD type = 0;
    DWORD size = 0;
    const LONG found = reg.RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (found != kErrorSuccess && found != kErrorMoreData) return default_;
    valueType_ = static_cast<std::int32_t>(type);

    switch (type) {
    case kRegSz:
    case kRegExpandSz:
    case kRegMultiSz: {
        if (size == 0) return std::string();
        auto data = queryData(reg, key, name, size);
        if (!data) return default_;
        // Drop the terminating zero; a value stored without one keeps its last character. The
        // separating zeros of a multi-string stay in the text.
        if (!data->empty() && data->back() == 0) data->pop_back();
        std::string text = asText(*data);
        if (type == kRegExpandSz) text = ExpandEnvStr(text);
        return platform::ansiToUtf8(text);
    }
    case kRegDword:
    case kRegDwordBigEndian: {
        auto data = queryData(reg, key, name, size);
        if (!data) return default_;
        // Data of the wrong length is read as the number its bytes make: a short value is
        // zero-extended on its high side, a long one contributes its first four bytes.
        std::array<std::uint8_t, 4> image{};
        const std::size_t n = std::min<std::size_t>(data->size(), image.size());
        const std::size_t at = (type == kRegDwordBigEndian) ? image.size() - n : 0;
        std::copy_n(data->begin(), n, image.begin() + static_cast<std::ptrdiff_t>(at));
        const std::int32_t stored = littleEndian(image);
        return type == kRegDword ? stored : SwapEndian(stored);
    }
    default: {
        auto data = queryData(reg, key, name, size);
        if (!data) return default_;
        data->push_back(0);
        return *data;
    }
    }
}

std::string cRegistry::setValueFailure(const Variant& vValue) const {
    return "Failed to set registry value Key: '" + std::to_string(classKey_) + "',Section: '" + sectionKey_ +
           "',Key: '" + valueKey_ + "' to value: '" + detail::variantText(vValue) + "'";
}

void cRegistry::setValue(const Variant& vValue) {
    RegistryService& reg = service();
    HKey key = 0;
    if (!createKey(key)) {
        raise(kErrKey, setValueFailure(vValue));
    }
    KeyCloser closer(reg, key);
    const std::string name = sys(valueKey_);

    LONG result = kErrorSuccess;
    switch (valueType_) {
    case static_cast<std::int32_t>(kRegSz):
    case static_cast<std::int32_t>(kRegExpandSz): {
        const std::string text = detail::variantText(vValue);
        const std::string data = sys(text);
        if (data.size() >= std::numeric_limits<DWORD>::max()) {
            result = kErrorInvalidData;
            break;
        }
        const DWORD type = detail::looksExpandable(text) ? kRegExpandSz : kRegSz;
        result = reg.RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const std::uint8_t*>(data.c_str()),
                                    static_cast<DWORD>(data.size() + 1));
        break;
    }
    case static_cast<std::int32_t>(kRegBinary): {
        const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&vValue);
        if (bytes == nullptr) throw RegistryError(kErrKey, "", "");
        if (bytes->size() > std::numeric_limits<DWORD>::max()) {
            result = kErrorInvalidData;
            break;
        }
        result = reg.RegSetValueExA(key, name.c_str(), 0, kRegBinary, bytes->data(),
                                    static_cast<DWORD>(bytes->size()));
        break;
    }
    case static_cast<std::int32_t>(kRegDword):
    case static_cast<std::int32_t>(kRegDwordBigEndian): {
        std::int32_t number = 0;
        if (const auto* i16 = std::get_if<std::int16_t>(&vValue)) {
            number = *i16;
        } else if (const auto* i32 = std::get_if<std::int32_t>(&vValue)) {
            number = *i32;
        } else {
            break;  // not a number: nothing to write
        }
        const auto u = static_cast<std::uint32_t>(number);
        const std::array<std::uint8_t, 4> data{static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                                               static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
        result = reg.RegSetValueExA(key, name.c_str(), 0, kRegDword, data.data(), static_cast<DWORD>(data.size()));
        break;
    }
    default:
        result = kErrorInvalidData;
        break;
    }
    if (result != kErrorSuccess) raise(kErrSetValue, setValueFailure(vValue));
}

bool cRegistry::DeleteValue() {
    RegistryService& reg = service();
    HKey key = 0;
    if (!openKey(kOpenRights, key)) {
        raise(kErrKey, "Failed to open key '" + std::to_string(classKey_) + "',Section: '" + sectionKey_ +
                           "' for delete access");
    }
    KeyCloser closer(reg, key);
    if (reg.RegDeleteValueA(key, sys(valueKey_).c_str()) != kErrorSuccess) {
        raise(kErrKey, "Failed to delete registry Key: '" + std::to_string(classKey_) + "',Section: '" + sectionKey_ +
                           "',Key: '" + valueKey_);
    }
    return true;
}

void cRegistry::SetClassesValue(const std::string& sText) {
    classKey_ = kClassesRoot;
    setValue(sText);

    const std::string section = sectionKey_;
    classKey_ = kLocalMachine;
    sectionKey_ = "SOFTWARE\\Classes\\" + section;
    try {
        setValue(sText);
    } catch (...) {
        sectionKey_ = section;  // callers see the key in its HKEY_CLASSES_ROOT form either way
        throw;
    }
    sectionKey_ = section;
}

std::int32_t cRegistry::SwapEndian(std::int32_t v) {
    std::int32_t swapped = 0;
    auto* to = reinterpret_cast<unsigned char*>(&swapped);
    const auto* from = reinterpret_cast<const unsigned char*>(&v);
    for (std::size_t i = 0; i < sizeof v; ++i) RtlMoveMemory(to + i, from + (sizeof v - 1 - i), 1);
    return swapped;
}

std::string cRegistry::ExpandEnvStr(const std::string& sText) {
    return detail::expandEnvironment(sText, &ExpandEnvironmentStringsA);
}

// ---- file-type associations ------------------------------------------------------------------

void cRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription, const std::string& sAssociation,
                                     const std::string& sOpenMenuText, bool bSupportPrint,
                                     const std::string& sPrintMenuText, bool bSupportNew,
                                     const std::string& sNewMenuText, bool bSupportInstall,
                                     const std::string& sInstallMenuText, std::int32_t lDefaultIconIndex) {
    std::string exe = trimBlanks(sExePath);
    if (exe.empty() || exe.front() != '"') exe.insert(exe.begin(), '"');
    if (exe.back() != '"') exe.push_back('"');

    const auto write = [this](const std::string& section, const std::string& text) {
        sectionKey_ = section;
        valueKey_.clear();
        SetClassesValue(text);
    };
    const auto orDefault = [](const std::string& text, const std::string& fallback) {
        return text.empty() ? fallback : text;
    };
    const std::string shell = sClassName + "\\shell\\";

    valueType_ = static_cast<std::int32_t>(kRegSz);
    write("." + sAssociation, sClassName);
    write(sClassName, sClassDescription);
    write(shell + "open", orDefault(sOpenMenuText, "&Open"));
    write(shell + "open\\command", exe + " \"%1\"");
    if (bSupportPrint) {
        write(shell + "print", orDefault(sPrintMenuText, "&Print"));
        write(shell + "print\\command", exe + " /p \"%1\"");
    }
    if (bSupportInstall) {
        write(shell + "add", orDefault(sInstallMenuText, "&Install " + sAssociation));
        write(shell + "add\\command", exe + " /a \"%1\"");
    }
    if (bSupportNew) {
        write(shell + "new", orDefault(sNewMenuText, "&New"));
        write(shell + "new\\command", exe + " /n \"%1\"");
    }
    if (lDefaultIconIndex >= 0) write(sClassName + "\\DefaultIcon", exe + "," + std::to_string(lDefaultIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<Variant>& vItems) {
    if (vItems.size() % 3 != 0) {
        raise(kErrItemList,
              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
    }
    sectionKey_ = sClassName;
    // A registration writes the class under HKEY_CLASSES_ROOT (and leaves ClassKey at
    // HKEY_LOCAL_MACHINE, whose root holds no classes), so that is where to look for it.
    const std::int32_t callerHive = classKey_;
    classKey_ = kClassesRoot;
    const bool defined = KeyExists();
    classKey_ = callerHive;
    if (!defined) raise(kErrNoClass, "Error - attempt to create additional associations before class defined.");

    const auto write = [this](const std::string& section, const std::string& text) {
        sectionKey_ = section;
        valueKey_.clear();
        try {
            SetClassesValue(text);
        } catch (const RegistryError&) {
            // An additional verb that cannot be written is skipped; the others still go in.
        }
    };
    for (std::size_t i = 0; i + 2 < vItems.size(); i += 3) {
        const std::string verb = sClassName + "\\shell\\" + detail::variantText(vItems[i]);
        valueType_ = static_cast<std::int32_t>(kRegSz);
        write(verb, detail::variantText(vItems[i + 1]));
        write(verb + "\\command", detail::variantText(vItems[i + 2]));
    }
}

// ---- helpers ---------------------------------------------------------------------------------

namespace karvo::reg::detail {

std::string variantText(const Variant& v) {
    if (const auto* text = std::get_if<std::string>(&v)) return *text;
    if (const auto* i16 = std::get_if<std::int16_t>(&v)) return std::to_string(*i16);
    if (const auto* i32 = std::get_if<std::int32_t>(&v)) return std::to_string(*i32);
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&v)) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string out;
        for (const std::uint8_t b : *bytes) {
            if (!out.empty()) out.push_back(' ');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        }
        return out;
    }
    return {};
}

bool looksExpandable(const std::string& text) {
    const auto first = text.find('%');
    if (first == std::string::npos) return false;
    const auto last = text.rfind('%');
    return last >= first + 2;
}

std::string expandEnvironment(const std::string& text, ExpandFunction expand) {
    DWORD needed = expand(text.c_str(), nullptr, 0);
    // The environment may change between the two calls; ask again while the answer grows.
    for (int attempt = 0; attempt < 4 && needed != 0; ++attempt) {
        std::string buffer(needed, '\0');
        const DWORD written = expand(text.c_str(), buffer.data(), needed);
        if (written == 0) break;
        if (written <= needed) {
            buffer.resize(std::min<std::size_t>(buffer.find('\0'), written - 1));
            return buffer;
        }
        needed = written;
    }
    return text;  // expansion failed: the text as stored is the best answer
}

}  // namespace karvo::reg::detail
