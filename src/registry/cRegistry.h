// cRegistry: the registry access object. A caller points it at a place in the registry through its
// properties (hive, key path, value name, value type) and then calls an operation on that place.
// Every operation opens what it needs and closes it again, so an instance holds no open key and is
// an ordinary copyable value.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <variant>
#include <vector>

#include "registry/RegistryService.h"

// The tagged value of Value and Default: empty, text, 16-bit or 32-bit integer, byte sequence.
using Variant = std::variant<std::monostate, std::string, std::int16_t, std::int32_t, std::vector<std::uint8_t>>;

// What a failing cRegistry operation throws.
class RegistryError : public std::exception {
public:
    RegistryError(std::int32_t number, std::string source, std::string description);

    std::int32_t number() const { return number_; }
    const std::string& source() const { return source_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
    std::string message_;
};

class cRegistry {
public:
    // Error numbers.
    static constexpr std::int32_t kErrKey = 26001;
    static constexpr std::int32_t kErrSetValue = static_cast<std::int32_t>(0x800469A9u);
    static constexpr std::int32_t kErrEnumerate = static_cast<std::int32_t>(0x800469AAu);
    static constexpr std::int32_t kErrItemList = static_cast<std::int32_t>(0x800469ACu);
    static constexpr std::int32_t kErrNoClass = static_cast<std::int32_t>(0x800469ADu);

    // Hive handles as the ClassKey property holds them.
    static constexpr std::int32_t kClassesRoot = static_cast<std::int32_t>(karvo::reg::kHkeyClassesRoot);
    static constexpr std::int32_t kCurrentUser = static_cast<std::int32_t>(karvo::reg::kHkeyCurrentUser);
    static constexpr std::int32_t kLocalMachine = static_cast<std::int32_t>(karvo::reg::kHkeyLocalMachine);
    static constexpr std::int32_t kUsers = static_cast<std::int32_t>(karvo::reg::kHkeyUsers);
    static constexpr std::int32_t kCurrentConfig = static_cast<std::int32_t>(karvo::reg::kHkeyCurrentConfig);
    static constexpr std::int32_t kDynData = static_cast<std::int32_t>(karvo::reg::kHkeyDynData);

    // Works on the process's system registry, looked up at the first operation.
    cRegistry() = default;
    explicit cRegistry(karvo::reg::RegistryService& service) : service_(&service) {}

    bool KeyExists();
    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();

    Variant Value();
    void setValue(const Variant& vValue);

    bool EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount);
    bool EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount);

    void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                              const std::string& sClassDescription, const std::string& sAssociation,
                              const std::string& sOpenMenuText, bool bSupportPrint,
                              const std::string& sPrintMenuText, bool bSupportNew,
                              const std::string& sNewMenuText, bool bSupportInstall,
                              const std::string& sInstallMenuText, std::int32_t lDefaultIconIndex);
    // vItems is read three at a time: verb name, menu text, command.
    void CreateAdditionalEXEAssociations(const std::string& sClassName, const std::vector<Variant>& vItems);

    std::int32_t ValueType() const { return valueType_; }
    void setValueType(std::int32_t eValueType) { valueType_ = eValueType; }
    std::int32_t ClassKey() const { return classKey_; }
    void setClassKey(std::int32_t eKey) { classKey_ = eKey; }
    const std::string& SectionKey() const { return sectionKey_; }
    void setSectionKey(const std::string& sSectionKey) { sectionKey_ = sSectionKey; }
    const std::string& ValueKey() const { return valueKey_; }
    void setValueKey(const std::string& sValueKey) { valueKey_ = sValueKey; }
    const Variant& Default() const { return default_; }
    void setDefault(const Variant& vDefault) { default_ = vDefault; }

    // The source every error carries: the program's file name without extension + ".cRegistry".
    static const std::string& ErrorSource();

    // The registry it works on.
    karvo::reg::RegistryService& service();

private:
    karvo::reg::HKey hive() const { return static_cast<karvo::reg::HKey>(classKey_); }
    [[noreturn]] static void raise(std::int32_t number, const std::string& description);
    std::string setValueFailure(const Variant& vValue) const;
    // Opens SectionKey under ClassKey for the given rights / creates it where missing; the caller closes.
    bool openKey(karvo::reg::DWORD rights, karvo::reg::HKey& key);
    bool createKey(karvo::reg::HKey& key);

    void SetClassesValue(const std::string& sText);
    static std::int32_t SwapEndian(std::int32_t v);
    static std::string ExpandEnvStr(const std::string& sText);

    karvo::reg::RegistryService* service_ = nullptr;  // null: the system registry
    std::int32_t classKey_ = 0;
    std::string sectionKey_;
    std::string valueKey_;
    std::int32_t valueType_ = 0;
    Variant default_;
};

namespace karvo::reg::detail {

// The text form of a variant, used for text writes and inside error descriptions: text as it is,
// integers in decimal, empty as "", bytes as two-digit upper-case hex pairs separated by blanks.
std::string variantText(const Variant& v);

// True when the text must be stored as REG_EXPAND_SZ: a "%" with a further "%" at least two
// characters after it.
bool looksExpandable(const std::string& text);

// Expands %NAME% references through the given ExpandEnvironmentStringsA-shaped function. When the
// function fails the text comes back unexpanded.
using ExpandFunction = DWORD (*)(const char*, char*, DWORD);
std::string expandEnvironment(const std::string& text, ExpandFunction expand);

}  // namespace karvo::reg::detail
