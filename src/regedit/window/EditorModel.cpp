#include "EditorModel.h"

#include "registry/TextCodec.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace karvo::regedit {

using reg::DWORD;
using reg::HKey;
using reg::LONG;
using reg::RegistryService;

namespace {

// Windows' number for "already exists"; the service has no constant for it.
constexpr LONG kErrorAlreadyExists = 183;

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = upper(c);
    return out;
}

bool containsFolded(std::string_view haystack, std::string_view needle) {
    return upperCopy(haystack).find(upperCopy(needle)) != std::string::npos;
}

std::string trimBlanks(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

// A key opened for the length of one operation; roots are used as they are, never closed.
class OpenKey {
public:
    OpenKey(RegistryService& service, const KeyRef& key, DWORD rights) : service_(service) {
        if (key.isComputer()) {
            error_ = reg::kErrorInvalidHandle;
        } else if (key.parts.empty()) {
            handle_ = key.root;
        } else {
            error_ = service.RegOpenKeyExA(key.root, key.subPath().c_str(), 0, rights, &handle_);
            owned_ = error_ == reg::kErrorSuccess;
        }
    }
    ~OpenKey() {
        if (owned_)
            service_.RegCloseKey(handle_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    bool ok() const { return error_ == reg::kErrorSuccess; }
    LONG error() const { return error_; }
    HKey handle() const { return handle_; }

private:
    RegistryService& service_;
    HKey handle_ = 0;
    LONG error_ = reg::kErrorSuccess;
    bool owned_ = false;
};

constexpr DWORD kReadRights = reg::kKeyQueryValue | reg::kKeyEnumerateSubKeys;
constexpr DWORD kWriteRights = kReadRights | reg::kKeySetValue | reg::kKeyCreateSubKey;

EditResult failure(LONG error, const std::string& what) {
    EditResult r;
    r.error = error;
    r.message = what + ": Error " + std::to_string(error) + ": " + errorText(error);
    return r;
}

// A refusal of our own, not the service's: the sentence says all.
EditResult refusal(LONG error, std::string sentence) {
    EditResult r;
    r.error = error;
    r.message = std::move(sentence);
    return r;
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

KeyRef parentOf(const KeyRef& key) {
    KeyRef p = key;
    if (!p.parts.empty())
        p.parts.pop_back();
    return p;
}

KeyRef childOf(const KeyRef& key, const std::string& name) {
    KeyRef c = key;
    c.parts.push_back(name);
    return c;
}

// Batches make a multi-step change all or nothing where the back end can do it.
class Batch {
public:
    explicit Batch(RegistryService& service) : service_(service) {
        active_ = service_.BeginBatch() == reg::kErrorSuccess;
    }
    ~Batch() {
        if (active_)
            service_.RollbackBatch();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    bool active() const { return active_; }
    LONG commit() {
        if (!active_)
            return reg::kErrorSuccess;
        active_ = false;
        return service_.CommitBatch();
    }

private:
    RegistryService& service_;
    bool active_ = false;
};

std::vector<std::string> subKeyNames(RegistryService& service, HKey key) {
    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0; service.EnumKeyRaw(key, i, name) == reg::kErrorSuccess; ++i)
        names.push_back(name);
    return names;
}

// Copies src with everything below it to a new sub-key dstName of dstParent.
LONG copyTree(RegistryService& service, HKey src, HKey dstParent, const std::string& dstName) {
    HKey dst = 0;
    DWORD disposition = 0;
    const reg::SecurityAttributes security{};
    LONG rc = service.RegCreateKeyExA(dstParent, dstName.c_str(), 0, "", 0, kWriteRights, &security, &dst,
                                      &disposition);
    if (rc != reg::kErrorSuccess)
        return rc;
    std::string name;
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    for (DWORD i = 0; rc == reg::kErrorSuccess; ++i) {
        LONG e = service.EnumValueRaw(src, i, name, type, data);
        if (e != reg::kErrorSuccess)
            break;
        rc = service.SetValueRaw(dst, name, type, data.data(), data.size());
    }
    if (rc == reg::kErrorSuccess) {
        for (const std::string& child : subKeyNames(service, src)) {
            HKey from = 0;
            rc = service.RegOpenKeyExA(src, child.c_str(), 0, kReadRights, &from);
            if (rc != reg::kErrorSuccess)
                break;
            rc = copyTree(service, from, dst, child);
            service.RegCloseKey(from);
            if (rc != reg::kErrorSuccess)
                break;
        }
    }
    service.RegCloseKey(dst);
    return rc;
}

std::string hexNumber(std::uint64_t v, int minDigits) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "0x%0*llx (%llu)", minDigits, static_cast<unsigned long long>(v),
                  static_cast<unsigned long long>(v));
    return buf;
}

std::uint64_t littleEndian(const std::vector<std::uint8_t>& data) {
    std::uint64_t v = 0;
    for (std::size_t i = data.size(); i-- > 0;)
        v = (v << 8) | data[i];
    return v;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isStringType(DWORD type) { return type == reg::kRegSz || type == reg::kRegExpandSz; }

}  // namespace

// ---- roots and key paths -------------------------------------------------------------------

const std::vector<RootInfo>& editorRoots() {
    static const std::vector<RootInfo> roots = {
        {"HKEY_CLASSES_ROOT", "HKCR", reg::kHkeyClassesRoot},
        {"HKEY_CURRENT_USER", "HKCU", reg::kHkeyCurrentUser},
        {"HKEY_LOCAL_MACHINE", "HKLM", reg::kHkeyLocalMachine},
        {"HKEY_USERS", "HKU", reg::kHkeyUsers},
        {"HKEY_CURRENT_CONFIG", "HKCC", reg::kHkeyCurrentConfig},
    };
    return roots;
}

std::string KeyRef::subPath() const {
    std::string s;
    for (const std::string& p : parts) {
        if (!s.empty())
            s += '\\';
        s += p;
    }
    return s;
}

std::string KeyRef::fullPath() const {
    std::string s = rootName;
    for (const std::string& p : parts)
        s += '\\' + p;
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

std::optional<KeyRef> parseKeyPath(std::string_view text) {
    const std::string trimmed = trimBlanks(text);
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= trimmed.size()) {
        std::size_t end = trimmed.find('\\', start);
        if (end == std::string::npos)
            end = trimmed.size();
        if (end > start)
            parts.push_back(trimmed.substr(start, end - start));
        start = end + 1;
    }
    KeyRef ref;
    std::size_t first = 0;
    if (!parts.empty() && sameName(parts[0], "Computer"))
        first = 1;
    if (first == parts.size())
        return first == 1 ? std::optional<KeyRef>(ref) : std::nullopt;
    for (const RootInfo& root : editorRoots()) {
        if (sameName(parts[first], root.name) || sameName(parts[first], root.shortName)) {
            ref.root = root.handle;
            ref.rootName = root.name;
            ref.parts.assign(parts.begin() + static_cast<std::ptrdiff_t>(first) + 1, parts.end());
            return ref;
        }
    }
    return std::nullopt;
}

KeyRef resolveExisting(RegistryService& service, const KeyRef& ref, bool* complete) {
    KeyRef found = ref;
    found.parts.clear();
    bool all = true;
    for (const std::string& part : ref.parts) {
        std::optional<std::string> stored;
        for (const std::string& name : listSubKeys(service, found)) {
            if (sameName(name, part)) {
                stored = name;
                break;
            }
        }
        if (!stored) {
            // Names the simple folding above does not match may still open.
            KeyRef candidate = childOf(found, part);
            OpenKey probe(service, candidate, reg::kKeyQueryValue);
            if (probe.ok())
                stored = part;
        }
        if (!stored) {
            all = false;
            break;
        }
        found.parts.push_back(*stored);
    }
    if (complete)
        *complete = all;
    return found;
}

// ---- reading --------------------------------------------------------------------------------

std::vector<std::string> listSubKeys(RegistryService& service, const KeyRef& key) {
    if (key.isComputer()) {
        std::vector<std::string> names;
        for (const RootInfo& root : editorRoots())
            names.push_back(root.name);
        return names;
    }
    OpenKey k(service, key, reg::kKeyEnumerateSubKeys);
    if (!k.ok())
        return {};
    return subKeyNames(service, k.handle());
}

bool hasSubKeys(RegistryService& service, const KeyRef& key) {
    if (key.isComputer())
        return true;
    OpenKey k(service, key, reg::kKeyEnumerateSubKeys);
    std::string name;
    return k.ok() && service.EnumKeyRaw(k.handle(), 0, name) == reg::kErrorSuccess;
}

std::vector<ValueEntry> listValues(RegistryService& service, const KeyRef& key) {
    std::vector<ValueEntry> named;
    std::optional<ValueEntry> byDefault;
    OpenKey k(service, key, reg::kKeyQueryValue);
    if (k.ok()) {
        ValueEntry v;
        for (DWORD i = 0; service.EnumValueRaw(k.handle(), i, v.name, v.type, v.data) == reg::kErrorSuccess; ++i) {
            if (v.name.empty())
                byDefault = v;
            else
                named.push_back(v);
        }
    }
    std::stable_sort(named.begin(), named.end(), [](const ValueEntry& a, const ValueEntry& b) {
        return upperCopy(a.name) < upperCopy(b.name);
    });
    std::vector<ValueEntry> out;
    if (key.isComputer())
        return out;
    if (!byDefault) {
        byDefault = ValueEntry{};
        byDefault->isSet = false;
    }
    out.push_back(*byDefault);
    out.insert(out.end(), named.begin(), named.end());
    return out;
}

std::string displayName(const ValueEntry& value) { return value.name.empty() ? "(Default)" : value.name; }

std::string displayData(const ValueEntry& value) {
    if (!value.isSet)
        return "(value not set)";
    const auto& d = value.data;
    switch (value.type) {
    case reg::kRegSz:
    case reg::kRegExpandSz: return decodeString(d);
    case reg::kRegMultiSz: {
        std::string joined;
        for (const std::string& s : decodeMultiString(d)) {
            if (!joined.empty())
                joined += ' ';
            joined += s;
        }
        return joined;
    }
    case reg::kRegDword:
        return d.size() == 4 ? hexNumber(littleEndian(d), 8) : "(invalid 32-bit number)";
    case reg::kRegDwordBigEndian: {
        if (d.size() != 4)
            return "(invalid 32-bit number)";
        std::vector<std::uint8_t> swapped(d.rbegin(), d.rend());
        return hexNumber(littleEndian(swapped), 8);
    }
    case reg::kRegQword:
        return d.size() == 8 ? hexNumber(littleEndian(d), 8) : "(invalid 64-bit number)";
    default: return d.empty() ? "(zero-length binary value)" : formatHexBytes(d);
    }
}

// ---- value data -----------------------------------------------------------------------------

std::vector<std::uint8_t> encodeString(std::string_view utf8) {
    const std::string wide = text::utf8ToUtf16le(utf8);
    std::vector<std::uint8_t> out(wide.begin(), wide.end());
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::vector<std::uint8_t> encodeMultiString(const std::vector<std::string>& strings) {
    std::vector<std::uint8_t> out;
    for (const std::string& s : strings) {
        if (s.empty())
            continue;
        const std::string wide = text::utf8ToUtf16le(s);
        out.insert(out.end(), wide.begin(), wide.end());
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::string decodeString(const std::vector<std::uint8_t>& data) {
    std::size_t end = 0;
    while (end + 1 < data.size() && !(data[end] == 0 && data[end + 1] == 0))
        end += 2;
    if (end + 1 >= data.size())
        end = data.size();  // no terminator: everything stored
    return text::utf16leToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), end));
}

std::vector<std::string> decodeMultiString(const std::vector<std::uint8_t>& data) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        if (data[i] == 0 && data[i + 1] == 0) {
            if (i == start)
                return out;  // an empty string ends the list
            out.push_back(text::utf16leToUtf8(
                std::string_view(reinterpret_cast<const char*>(data.data()) + start, i - start)));
            start = i + 2;
        }
    }
    if (start + 1 < data.size())  // the last string lacks its terminator
        out.push_back(text::utf16leToUtf8(
            std::string_view(reinterpret_cast<const char*>(data.data()) + start, data.size() - start)));
    return out;
}

std::optional<std::uint64_t> parseHexNumber(std::string_view text, unsigned bits) {
    std::string t = trimBlanks(text);
    std::string_view s = t;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        s.remove_prefix(2);
    if (s.empty())
        return std::nullopt;
    const std::uint64_t limit = bits >= 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << bits) - 1);
    std::uint64_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0 || v > (limit >> 4))
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    if (v > limit)
        return std::nullopt;
    return v;
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text) {
    std::vector<std::uint8_t> out;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == ',' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && hexDigit(text[end]) >= 0)
            ++end;
        const std::size_t len = end - i;
        if (len == 0)
            return std::nullopt;  // not a hex digit
        if (end < text.size() && !(text[end] == ' ' || text[end] == ',' || text[end] == '\t' ||
                                   text[end] == '\r' || text[end] == '\n'))
            return std::nullopt;
        if (len == 1) {
            out.push_back(static_cast<std::uint8_t>(hexDigit(text[i])));
        } else if (len % 2 == 0) {
            for (std::size_t k = i; k < end; k += 2)
                out.push_back(static_cast<std::uint8_t>(hexDigit(text[k]) * 16 + hexDigit(text[k + 1])));
        } else {
            return std::nullopt;
        }
        i = end;
    }
    return out;
}

std::string formatHexBytes(const std::vector<std::uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : data) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::vector<std::uint8_t> initialData(DWORD type) {
    switch (type) {
    case reg::kRegSz:
    case reg::kRegExpandSz: return encodeString("");
    case reg::kRegMultiSz: return encodeMultiString({});
    case reg::kRegDword: return std::vector<std::uint8_t>(4, 0);
    case reg::kRegQword: return std::vector<std::uint8_t>(8, 0);
    default: return {};
    }
}

std::string editText(const ValueEntry& value) {
    if (!value.isSet)
        return "";
    switch (value.type) {
    case reg::kRegSz:
    case reg::kRegExpandSz: return decodeString(value.data);
    case reg::kRegMultiSz: {
        std::string lines;
        for (const std::string& s : decodeMultiString(value.data)) {
            if (!lines.empty())
                lines += '\n';
            lines += s;
        }
        return lines;
    }
    case reg::kRegDword:
    case reg::kRegQword: {
        if (value.data.size() != (value.type == reg::kRegDword ? 4u : 8u))
            return "";
        char buf[24];
        std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(littleEndian(value.data)));
        return buf;
    }
    default: return formatHexBytes(value.data);
    }
}

std::optional<std::vector<std::uint8_t>> dataFromEditText(DWORD type, std::string_view text, std::string* problem) {
    const auto fail = [problem](const char* sentence) -> std::optional<std::vector<std::uint8_t>> {
        if (problem)
            *problem = sentence;
        return std::nullopt;
    };
    switch (type) {
    case reg::kRegSz:
    case reg::kRegExpandSz: return encodeString(text);
    case reg::kRegMultiSz: {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            std::string line(text.substr(start, end - start));
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(std::move(line));
            start = end + 1;
        }
        return encodeMultiString(lines);
    }
    case reg::kRegDword:
    case reg::kRegQword: {
        const unsigned bits = type == reg::kRegDword ? 32 : 64;
        const auto v = parseHexNumber(text, bits);
        if (!v)
            return fail(bits == 32 ? "Type a hexadecimal number from 0 to ffffffff."
                                   : "Type a hexadecimal number from 0 to ffffffffffffffff.");
        std::vector<std::uint8_t> out(bits / 8);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(*v >> (8 * i));
        return out;
    }
    default: {
        auto bytes = parseHexBytes(text);
        if (!bytes)
            return fail("Type the data as bytes in hexadecimal, for example 0a 1b ff.");
        return bytes;
    }
    }
}

// ---- changes --------------------------------------------------------------------------------

std::string errorText(LONG error) {
    switch (error) {
    case reg::kErrorSuccess: return "The operation completed successfully.";
    case reg::kErrorFileNotFound: return "The system cannot find the file specified.";
    case reg::kErrorAccessDenied: return "Access is denied.";
    case reg::kErrorInvalidHandle: return "The handle is invalid.";
    case reg::kErrorInvalidData: return "The data is invalid.";
    case reg::kErrorNotSupported: return "The request is not supported.";
    case reg::kErrorBusy: return "The requested resource is in use.";
    case reg::kErrorInvalidParameter: return "The parameter is incorrect.";
    case reg::kErrorMoreData: return "More data is available.";
    case reg::kErrorNoMoreItems: return "No more data is available.";
    case kErrorAlreadyExists: return "Cannot create a file when that file already exists.";
    case reg::kErrorBadKey: return "The configuration registry key is invalid.";
    case reg::kErrorCantOpen: return "The configuration registry key could not be opened.";
    case reg::kErrorCantRead: return "The configuration registry key could not be read.";
    case reg::kErrorCantWrite: return "The configuration registry key could not be written.";
    case reg::kErrorKeyDeleted:
        return "Illegal operation attempted on a registry key that has been marked for deletion.";
    default: return "Unknown error.";
    }
}

EditResult createKey(RegistryService& service, const KeyRef& parent) {
    if (parent.isComputer())
        return refusal(reg::kErrorAccessDenied, "Keys can only be created below the roots.");
    OpenKey p(service, parent, kWriteRights);
    if (!p.ok())
        return failure(p.error(), "Cannot open " + parent.fullPath());
    const std::vector<std::string> existing = subKeyNames(service, p.handle());
    std::string name;
    for (int n = 1;; ++n) {
        name = "New Key #" + std::to_string(n);
        if (std::none_of(existing.begin(), existing.end(), [&](const std::string& e) { return sameName(e, name); }))
            break;
    }
    HKey created = 0;
    DWORD disposition = 0;
    const reg::SecurityAttributes security{};
    const LONG rc =
        service.RegCreateKeyExA(p.handle(), name.c_str(), 0, "", 0, kWriteRights, &security, &created, &disposition);
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot create the key " + quoted(name));
    service.RegCloseKey(created);
    EditResult r;
    r.name = name;
    return r;
}

EditResult createValue(RegistryService& service, const KeyRef& key, DWORD type) {
    OpenKey k(service, key, kWriteRights);
    if (!k.ok())
        return failure(k.error(), "Cannot open " + (key.isComputer() ? std::string("Computer") : key.fullPath()));
    std::string name;
    DWORD t = 0;
    std::vector<std::uint8_t> d;
    for (int n = 1;; ++n) {
        name = "New Value #" + std::to_string(n);
        if (service.QueryValueRaw(k.handle(), name, t, d) != reg::kErrorSuccess)
            break;
    }
    const std::vector<std::uint8_t> data = initialData(type);
    const LONG rc = service.SetValueRaw(k.handle(), name, type, data.data(), data.size());
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot create the value " + quoted(name));
    EditResult r;
    r.name = name;
    return r;
}

EditResult setValue(RegistryService& service, const KeyRef& key, const std::string& name, DWORD type,
                    const std::vector<std::uint8_t>& data) {
    OpenKey k(service, key, kWriteRights);
    if (!k.ok())
        return failure(k.error(), "Cannot open " + (key.isComputer() ? std::string("Computer") : key.fullPath()));
    const LONG rc = service.SetValueRaw(k.handle(), name, type, data.data(), data.size());
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot write the value " + quoted(name.empty() ? "(Default)" : name));
    return {};
}

EditResult renameValue(RegistryService& service, const KeyRef& key, const std::string& oldName,
                       const std::string& newName) {
    if (oldName.empty())
        return refusal(reg::kErrorInvalidParameter, "The default value cannot be renamed.");
    if (newName.empty())
        return refusal(reg::kErrorInvalidParameter,
                       "Cannot rename " + quoted(oldName) + ": a value name cannot be empty.");
    if (newName.size() > 16383)
        return refusal(reg::kErrorInvalidParameter, "Cannot rename " + quoted(oldName) + ": the name is too long.");
    if (newName == oldName)
        return {};
    OpenKey k(service, key, kWriteRights);
    if (!k.ok())
        return failure(k.error(), "Cannot open " + key.fullPath());
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    LONG rc = service.QueryValueRaw(k.handle(), oldName, type, data);
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot rename " + quoted(oldName));
    const bool caseOnly = sameName(oldName, newName);
    if (!caseOnly) {
        DWORD t2 = 0;
        std::vector<std::uint8_t> d2;
        if (service.QueryValueRaw(k.handle(), newName, t2, d2) == reg::kErrorSuccess)
            return refusal(kErrorAlreadyExists, "Cannot rename " + quoted(oldName) + ": a value named " +
                                                    quoted(newName) + " already exists.");
    }
    Batch batch(service);
    if (caseOnly) {
        // The store matches names with letter case ignored, so the old name has to go first.
        rc = service.RegDeleteValueA(k.handle(), oldName.c_str());
        if (rc == reg::kErrorSuccess) {
            rc = service.SetValueRaw(k.handle(), newName, type, data.data(), data.size());
            if (rc != reg::kErrorSuccess && !batch.active())
                service.SetValueRaw(k.handle(), oldName, type, data.data(), data.size());
        }
    } else {
        rc = service.SetValueRaw(k.handle(), newName, type, data.data(), data.size());
        if (rc == reg::kErrorSuccess) {
            rc = service.RegDeleteValueA(k.handle(), oldName.c_str());
            if (rc != reg::kErrorSuccess && !batch.active())
                service.RegDeleteValueA(k.handle(), newName.c_str());
        }
    }
    if (rc == reg::kErrorSuccess)
        rc = batch.commit();
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot rename " + quoted(oldName));
    return {};
}

EditResult renameKey(RegistryService& service, const KeyRef& key, const std::string& newName) {
    if (key.isComputer() || key.isRoot())
        return refusal(reg::kErrorAccessDenied, "The roots cannot be renamed.");
    const std::string& oldName = key.parts.back();
    if (newName.empty())
        return refusal(reg::kErrorInvalidParameter, "Cannot rename " + quoted(oldName) + ": a key name cannot be empty.");
    if (newName.find('\\') != std::string::npos)
        return refusal(reg::kErrorInvalidParameter,
                       "Cannot rename " + quoted(oldName) + ": a key name cannot contain \"\\\".");
    if (newName.size() > reg::kMaxNameLength)
        return refusal(reg::kErrorInvalidParameter, "Cannot rename " + quoted(oldName) + ": the name is too long.");
    if (newName == oldName)
        return {};
    const KeyRef parent = parentOf(key);
    OpenKey p(service, parent, kWriteRights);
    if (!p.ok())
        return failure(p.error(), "Cannot open " + parent.fullPath());
    const std::vector<std::string> siblings = subKeyNames(service, p.handle());
    const bool caseOnly = sameName(oldName, newName);
    if (!caseOnly && std::any_of(siblings.begin(), siblings.end(),
                                 [&](const std::string& s) { return sameName(s, newName); }))
        return refusal(kErrorAlreadyExists,
                       "Cannot rename " + quoted(oldName) + ": a key named " + quoted(newName) + " already exists.");
    HKey src = 0;
    LONG rc = service.RegOpenKeyExA(p.handle(), oldName.c_str(), 0, kReadRights, &src);
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot rename " + quoted(oldName));

    // The service has no rename: copy, then delete the original. A change of letter case alone goes
    // through a temporary name, since both spellings name the same key.
    std::string target = newName;
    if (caseOnly) {
        for (int n = 1;; ++n) {
            target = oldName + " (renaming " + std::to_string(n) + ")";
            if (std::none_of(siblings.begin(), siblings.end(),
                             [&](const std::string& s) { return sameName(s, target); }))
                break;
        }
    }
    Batch batch(service);
    rc = copyTree(service, src, p.handle(), target);
    service.RegCloseKey(src);
    if (rc == reg::kErrorSuccess)
        rc = service.DeleteTree(p.handle(), oldName.c_str());
    if (rc == reg::kErrorSuccess && caseOnly) {
        HKey temp = 0;
        rc = service.RegOpenKeyExA(p.handle(), target.c_str(), 0, kReadRights, &temp);
        if (rc == reg::kErrorSuccess) {
            rc = copyTree(service, temp, p.handle(), newName);
            service.RegCloseKey(temp);
        }
        if (rc == reg::kErrorSuccess)
            rc = service.DeleteTree(p.handle(), target.c_str());
    }
    if (rc == reg::kErrorSuccess)
        rc = batch.commit();
    if (rc != reg::kErrorSuccess) {
        if (!batch.active() && !caseOnly) {
            // Without a transaction, take back a partial copy; the original is still whole.
            OpenKey still(service, key, reg::kKeyQueryValue);
            if (still.ok())
                service.DeleteTree(p.handle(), target.c_str());
        }
        return failure(rc, "Cannot rename " + quoted(oldName));
    }
    return {};
}

EditResult deleteValue(RegistryService& service, const KeyRef& key, const std::string& name) {
    OpenKey k(service, key, kWriteRights);
    if (!k.ok())
        return failure(k.error(), "Cannot open " + key.fullPath());
    const LONG rc = service.RegDeleteValueA(k.handle(), name.c_str());
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot delete the value " + quoted(name.empty() ? "(Default)" : name));
    return {};
}

EditResult deleteKey(RegistryService& service, const KeyRef& key) {
    if (key.isComputer() || key.isRoot())
        return refusal(reg::kErrorAccessDenied, "The roots cannot be deleted.");
    const KeyRef parent = parentOf(key);
    OpenKey p(service, parent, kWriteRights);
    if (!p.ok())
        return failure(p.error(), "Cannot open " + parent.fullPath());
    const LONG rc = service.DeleteTree(p.handle(), key.parts.back().c_str());
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot delete the key " + quoted(key.parts.back()));
    return {};
}

// ---- find -----------------------------------------------------------------------------------

namespace {

bool matches(const FindQuery& q, std::string_view s) {
    return q.wholeString ? sameName(s, q.text) : containsFolded(s, q.text);
}

bool valueMatches(const FindQuery& q, const ValueEntry& v) {
    if (q.values && !v.name.empty() && matches(q, v.name))
        return true;
    if (!q.data)
        return false;
    if (isStringType(v.type))
        return matches(q, decodeString(v.data));
    if (v.type == reg::kRegMultiSz) {
        for (const std::string& s : decodeMultiString(v.data))
            if (matches(q, s))
                return true;
    }
    return false;
}

std::optional<std::string> nextValueMatch(RegistryService& service, const KeyRef& key,
                                          const std::optional<std::string>& after, const FindQuery& q) {
    if (!q.values && !q.data)
        return std::nullopt;
    const std::vector<ValueEntry> values = listValues(service, key);
    std::size_t i = 0;
    if (after) {
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (values[j].isSet && values[j].name == *after) {
                i = j + 1;
                break;
            }
        }
    }
    for (; i < values.size(); ++i)
        if (values[i].isSet && valueMatches(q, values[i]))
            return values[i].name;
    return std::nullopt;
}

struct Frame {
    KeyRef key;
    std::vector<std::string> children;
    std::size_t next = 0;
};

// Where a name stands among siblings in the store's order: the index after it when it is there,
// else the index of the first sibling that sorts after it.
std::size_t positionAfter(const std::vector<std::string>& siblings, const std::string& name) {
    const std::string u = upperCopy(name);
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (sameName(siblings[i], name))
            return i + 1;
        if (upperCopy(siblings[i]) > u)
            return i;
    }
    return siblings.size();
}

}  // namespace

std::optional<FindHit> findNext(RegistryService& service, const KeyRef& from,
                                const std::optional<std::string>& afterValue, const FindQuery& query) {
    if (query.text.empty() || (!query.keys && !query.values && !query.data))
        return std::nullopt;
    std::vector<Frame> stack;
    KeyRef computer;
    stack.push_back({computer, listSubKeys(service, computer), 0});
    if (!from.isComputer()) {
        Frame& top = stack.back();
        for (std::size_t i = 0; i < top.children.size(); ++i)
            if (top.children[i] == from.rootName)
                top.next = i + 1;
        KeyRef walk = from;
        walk.parts.clear();
        for (const std::string& part : from.parts) {
            std::vector<std::string> children = listSubKeys(service, walk);
            const std::size_t next = positionAfter(children, part);
            stack.push_back({walk, std::move(children), next});
            walk.parts.push_back(part);
        }
        if (auto v = nextValueMatch(service, from, afterValue, query))
            return FindHit{from, v};
        stack.push_back({from, listSubKeys(service, from), 0});
    }
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.children.size()) {
            stack.pop_back();
            continue;
        }
        KeyRef child;
        if (top.key.isComputer()) {
            const RootInfo& root = editorRoots()[top.next];
            child.root = root.handle;
            child.rootName = root.name;
        } else {
            child = childOf(top.key, top.children[top.next]);
        }
        ++top.next;
        if (query.keys && !child.isRoot() && matches(query, child.parts.back()))
            return FindHit{child, std::nullopt};
        if (auto v = nextValueMatch(service, child, std::nullopt, query))
            return FindHit{child, v};
        std::vector<std::string> grandChildren = listSubKeys(service, child);
        stack.push_back({child, std::move(grandChildren), 0});
    }
    return std::nullopt;
}

// ---- the last key -------------------------------------------------------------------------

std::string loadLastKey(RegistryService& service) {
    HKey h = 0;
    if (service.RegOpenKeyExA(reg::kHkeyCurrentUser, kSettingsKey, 0, reg::kKeyQueryValue, &h) != reg::kErrorSuccess)
        return "";
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    const LONG rc = service.QueryValueRaw(h, kLastKeyValue, type, data);
    service.RegCloseKey(h);
    if (rc != reg::kErrorSuccess || !isStringType(type))
        return "";
    return decodeString(data);
}

EditResult saveLastKey(RegistryService& service, const KeyRef& key) {
    HKey h = 0;
    DWORD disposition = 0;
    const reg::SecurityAttributes security{};
    LONG rc = service.RegCreateKeyExA(reg::kHkeyCurrentUser, kSettingsKey, 0, "", 0, kWriteRights, &security, &h,
                                      &disposition);
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot remember the last key");
    const std::string text = key.isComputer() ? std::string("Computer") : "Computer\\" + key.fullPath();
    const std::vector<std::uint8_t> data = encodeString(text);
    rc = service.SetValueRaw(h, kLastKeyValue, reg::kRegSz, data.data(), data.size());
    service.RegCloseKey(h);
    if (rc != reg::kErrorSuccess)
        return failure(rc, "Cannot remember the last key");
    return {};
}

}  // namespace karvo::regedit
