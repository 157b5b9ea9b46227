// What the registry editor's window does, without the window: key paths as the user types them,
// values as the user sees them, and every change, written through the registry service at once.
// The window only reads its controls, calls these and shows the result.
#pragma once

#include "registry/RegistryService.h"
#include "registry/ValueTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvo::regedit {

// ---- roots and key paths -------------------------------------------------------------------

struct RootInfo {
    const char* name;       // "HKEY_CURRENT_USER"
    const char* shortName;  // "HKCU"
    reg::HKey handle;
};

// The roots the editor shows under "Computer", in their usual order.
const std::vector<RootInfo>& editorRoots();

// A key the editor can name: a root and the sub-keys below it. An empty root name stands for the
// "Computer" node above the roots.
struct KeyRef {
    reg::HKey root = 0;
    std::string rootName;           // canonical full name; "" for "Computer"
    std::vector<std::string> parts;  // sub-key names below the root
    bool isComputer() const { return rootName.empty(); }
    bool isRoot() const { return !rootName.empty() && parts.empty(); }
    std::string subPath() const;   // "Software\Classes"
    std::string fullPath() const;  // "HKEY_CURRENT_USER\Software\Classes", "" for "Computer"
};

// Reads a path as typed or pasted into the address bar: letter case ignored, blanks around it
// trimmed, an optional leading "Computer\", short root names (HKCU, ...), repeated and trailing
// separators tolerated. nullopt when the root is not one of the editor's.
std::optional<KeyRef> parseKeyPath(std::string_view text);

// Walks ref as far as it exists, with each name in its stored spelling. The result names the
// deepest existing key (the root when nothing below it exists); *complete tells whether all of
// ref exists.
KeyRef resolveExisting(reg::RegistryService& service, const KeyRef& ref, bool* complete = nullptr);

// Letter-case-insensitive comparison as the store does it (ASCII letters folded).
bool sameName(std::string_view a, std::string_view b);

// ---- reading --------------------------------------------------------------------------------

struct ValueEntry {
    std::string name;  // "" is the key's default value
    reg::DWORD type = reg::kRegSz;
    std::vector<std::uint8_t> data;
    bool isSet = true;  // false only for the placeholder of an unset default value
};

// The sub-key names of a key, in the store's order; empty when the key cannot be read.
std::vector<std::string> listSubKeys(reg::RegistryService& service, const KeyRef& key);
bool hasSubKeys(reg::RegistryService& service, const KeyRef& key);

// The values of a key as the editor lists them: the default value first (a placeholder when it is
// not set), then the named values sorted by name, letter case ignored.
std::vector<ValueEntry> listValues(reg::RegistryService& service, const KeyRef& key);

std::string displayName(const ValueEntry& value);  // "(Default)" for the default value
using reg::typeName;                                // "REG_SZ"
std::string displayData(const ValueEntry& value);   // "0x0000002a (42)", "(value not set)", ...

// ---- value data -----------------------------------------------------------------------------

// Stored form of string types: UTF-16LE with a terminating zero.
std::vector<std::uint8_t> encodeString(std::string_view utf8);
// Each string terminated, then one more terminator; empty strings are left out, as they would end
// the list early.
std::vector<std::uint8_t> encodeMultiString(const std::vector<std::string>& strings);
std::string decodeString(const std::vector<std::uint8_t>& data);  // up to the first zero
std::vector<std::string> decodeMultiString(const std::vector<std::uint8_t>& data);

// Hexadecimal number entry ("2a", "0x2A"); nullopt when it is not a number or does not fit.
std::optional<std::uint64_t> parseHexNumber(std::string_view text, unsigned bits);
// Byte entry: pairs of hex digits separated by blanks or commas ("01 a0,ff"); nullopt if malformed.
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text);
std::string formatHexBytes(const std::vector<std::uint8_t>& data);  // "01 a0 ff"

// The data a new value of a type starts with (an empty string, 0, no bytes, an empty list).
std::vector<std::uint8_t> initialData(reg::DWORD type);

// The text a user edits for a value, and the data that text stands for. String types edit as
// text (multi-strings one per line), numbers as hexadecimal, everything else as hex bytes.
std::string editText(const ValueEntry& value);
// nullopt (with *problem set to a sentence for the user) when the text is not valid for the type.
std::optional<std::vector<std::uint8_t>> dataFromEditText(reg::DWORD type, std::string_view text,
                                                          std::string* problem = nullptr);

// ---- changes --------------------------------------------------------------------------------

// The outcome of one change: ok, or the error number the registry service gave and a sentence.
struct EditResult {
    reg::LONG error = reg::kErrorSuccess;
    std::string message;  // what failed and why, for the user; "" when ok
    std::string name;     // the name created (new key, new value)
    bool ok() const { return error == reg::kErrorSuccess; }
};

// The system's wording of a registry error number.
std::string errorText(reg::LONG error);

// A new sub-key "New Key #n" (the first n not in use) below parent.
EditResult createKey(reg::RegistryService& service, const KeyRef& parent);
// A new value "New Value #n" of the type, with initialData(type).
EditResult createValue(reg::RegistryService& service, const KeyRef& key, reg::DWORD type);
// Writes a value (string types as stored: UTF-16LE with terminator).
EditResult setValue(reg::RegistryService& service, const KeyRef& key, const std::string& name, reg::DWORD type,
                    const std::vector<std::uint8_t>& data);
// Renames keep everything below and the data; a new name that another key or value already has is
// refused, a change of letter case alone is allowed. Both happen in one batch.
EditResult renameValue(reg::RegistryService& service, const KeyRef& key, const std::string& oldName,
                       const std::string& newName);
EditResult renameKey(reg::RegistryService& service, const KeyRef& key, const std::string& newName);
EditResult deleteValue(reg::RegistryService& service, const KeyRef& key, const std::string& name);
// Deletes the key with everything below it; roots cannot be deleted.
EditResult deleteKey(reg::RegistryService& service, const KeyRef& key);

// ---- find -----------------------------------------------------------------------------------

struct FindQuery {
    std::string text;
    bool keys = true;
    bool values = true;
    bool data = true;
    bool wholeString = false;  // otherwise a part of the name or data, letter case ignored
};

struct FindHit {
    KeyRef key;
    std::optional<std::string> value;  // set when a value's name or data matched
};

// The next match after a position, in the order the tree shows keys: a key, then its values, then
// its sub-keys. from is the key where the search starts; afterValue, when set, is the value there
// that was found last (the search goes on with the values after it); otherwise from itself is
// done and the search goes on with its values. From "Computer" the search covers every root.
std::optional<FindHit> findNext(reg::RegistryService& service, const KeyRef& from,
                                const std::optional<std::string>& afterValue, const FindQuery& query);

// ---- the last key -------------------------------------------------------------------------

// Where the editor keeps the key it showed last, below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
inline constexpr const char* kLastKeyValue = "LastKey";

// "Computer\HKEY_..." as stored; "" when nothing is stored.
std::string loadLastKey(reg::RegistryService& service);
EditResult saveLastKey(reg::RegistryService& service, const KeyRef& key);

}  // namespace karvo::regedit
