// The .reg writer: a key and its whole sub-tree in the Windows registry editor's own layout.
//
// The tree is walked depth first with one open handle per level, and every line goes through a
// small output buffer, so memory stays flat however large the sub-tree is.

#include "regfile/RegFile.h"
#include "registry/RootKeys.h"
#include "registry/TextCodec.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <vector>

namespace karvo::regfile {

namespace {

using reg::DWORD;
using reg::HKey;
using reg::LONG;

// Where hex data breaks onto the next line (see writeHex).
constexpr std::size_t kWrapColumn = 77;

// Length in UTF-16 code units, which is what the wrapping column counts.
std::size_t utf16Length(std::string_view utf8) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++pos;
            ++n;
            continue;
        }
        const char32_t cp = text::nextCodePoint(utf8, pos);
        n += cp >= 0x10000 ? 2 : 1;
    }
    return n;
}

std::string escapeQuoted(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A name as it can appear in a one-line message.
std::string printable(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out.push_back(c);
    }
    return out;
}

using Bytes = std::span<const std::uint8_t>;

std::uint16_t unitAt(Bytes data, std::size_t i) {
    return static_cast<std::uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
}

// Whether a REG_SZ comes back byte for byte from its quoted form: the reader appends exactly one
// NUL and reads one line, so the data must be whole UTF-16 ending in its only NUL, with no line
// break and no lone surrogate (that would not survive the file's text conversion).
bool quotable(Bytes data) {
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    const std::size_t units = data.size() / 2;
    if (unitAt(data, units - 1) != 0)
        return false;
    for (std::size_t i = 0; i + 1 < units; ++i) {
        const std::uint16_t u = unitAt(data, i);
        if (u == 0 || u == 0x0D || u == 0x0A)
            return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 2 >= units)
                return false;
            const std::uint16_t next = unitAt(data, i + 1);
            if (next < 0xDC00 || next > 0xDFFF)
                return false;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

namespace detail {

// Collects the file's text in its own encoding and hands it to the stream in large pieces.
class OutputBuffer {
public:
    OutputBuffer(std::ostream& out, Format format) : out_(out), wide_(format == Format::Unicode5) {
        buf_.reserve(kChunk + 1024);
    }

    void ascii(char c) {
        buf_.push_back(c);
        if (wide_)
            buf_.push_back('\0');
    }
    void ascii(std::string_view s) {
        for (char c : s)
            ascii(c);
    }
    // UTF-8 text, converted for a Unicode file.
    void text(std::string_view utf8) {
        if (wide_)
            text::appendUtf16le(buf_, utf8);
        else
            buf_.append(utf8);
    }
    // UTF-16LE code units, written as they are (Unicode file only).
    void units(const std::uint8_t* p, std::size_t n) { buf_.append(reinterpret_cast<const char*>(p), n); }
    void newline() { ascii("\r\n"); }
    // Hex data is most of a large export, so its characters go in whole.
    void byteHex(std::uint8_t b, bool comma) {
        static constexpr char kDigits[] = "0123456789abcdef";
        const char hi = kDigits[b >> 4];
        const char lo = kDigits[b & 0xF];
        if (wide_) {
            const char piece[6] = {hi, '\0', lo, '\0', ',', '\0'};
            buf_.append(piece, comma ? 6 : 4);
        } else {
            const char piece[3] = {hi, lo, ','};
            buf_.append(piece, comma ? 3 : 2);
        }
    }
    bool wide() const { return wide_; }

    void maybeFlush() {
        if (buf_.size() >= kChunk)
            flush();
    }
    bool flush() {
        out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
        buf_.clear();
        return static_cast<bool>(out_);
    }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    std::ostream& out_;
    bool wide_;
    std::string buf_;
};

// Lines of a .reg file in the export's own layout: the exporter and RegComposer both write
// through it.
class TextWriter {
public:
    TextWriter(std::ostream& out, Format format) : out_(out, format) {}

    void header() {
        if (out_.wide()) {
            out_.units(reinterpret_cast<const std::uint8_t*>("\xFF\xFE"), 2);
            out_.ascii("Windows Registry Editor Version 5.00");
        } else {
            out_.ascii("REGEDIT4");
        }
        out_.newline();
    }

    // An empty line, then [path] or [-path].
    void key(std::string_view path, bool remove) {
        out_.newline();
        out_.ascii(remove ? "[-" : "[");
        out_.text(path);
        out_.ascii(']');
        out_.newline();
        out_.maybeFlush();
    }

    void deleteValue(std::string_view name) {
        if (name.empty()) {
            out_.ascii("@");
        } else {
            out_.ascii('"');
            out_.text(escapeQuoted(name));
            out_.ascii('"');
        }
        out_.ascii("=-");
        out_.newline();
        out_.maybeFlush();
    }

    // The closing empty line; false when the stream would not take the text.
    bool finish() {
        out_.newline();
        return out_.flush();
    }

    void maybeFlush() { out_.maybeFlush(); }

    void value(std::string_view name, DWORD type, Bytes data) {
        std::size_t column = 0;
        if (name.empty()) {
            out_.ascii("@=");
            column = 2;
        } else {
            const std::string escaped = escapeQuoted(name);
            out_.ascii('"');
            out_.text(escaped);
            out_.ascii("\"=");
            column = utf16Length(escaped) + 3;
        }

        if (type == reg::kRegSz && quotable(data)) {
            quoted(data);
        } else if (type == reg::kRegDword && data.size() == 4) {
            char digits[9];
            const std::uint32_t v = static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                    (static_cast<std::uint32_t>(data[2]) << 16) |
                                    (static_cast<std::uint32_t>(data[3]) << 24);
            std::snprintf(digits, sizeof digits, "%08x", v);
            out_.ascii("dword:");
            out_.ascii(digits);
        } else {
            char tag[16];
            if (type == reg::kRegBinary)
                std::snprintf(tag, sizeof tag, "hex:");
            else
                std::snprintf(tag, sizeof tag, "hex(%x):", static_cast<unsigned>(type));
            const std::string_view tagText(tag);
            out_.ascii(tagText);
            column += tagText.size();
            const bool ansiText = !out_.wide() && (type == reg::kRegSz || type == reg::kRegExpandSz ||
                                                    type == reg::kRegMultiSz);
            if (ansiText) {
                // An 8-bit file carries text types as code-page bytes, one per character.
                const std::string bytes = text::utf16leToUtf8(
                    std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
                hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), column);
            } else {
                hex(data.data(), data.size(), column);
            }
        }
        out_.newline();
    }

    void quoted(Bytes data) {
        out_.ascii('"');
        const std::size_t units = data.size() / 2 - 1;  // without the closing NUL
        if (out_.wide()) {
            std::size_t runStart = 0;
            for (std::size_t i = 0; i < units; ++i) {
                const std::uint16_t u = unitAt(data, i);
                if (u == '\\' || u == '"') {
                    out_.units(data.data() + 2 * runStart, 2 * (i - runStart));
                    out_.ascii('\\');
                    runStart = i;
                }
            }
            out_.units(data.data() + 2 * runStart, 2 * (units - runStart));
        } else {
            const std::string utf8 =
                text::utf16leToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), 2 * units));
            out_.text(escapeQuoted(utf8));
        }
        out_.ascii('"');
    }

    // Bytes as "xx," pairs. After each comma, once the line holds 77 characters or more, it
    // continues on the next line after "\" and two blanks; the last byte never breaks the line.
    void hex(const std::uint8_t* p, std::size_t n, std::size_t column) {
        for (std::size_t i = 0; i < n; ++i) {
            const bool last = i + 1 == n;
            out_.byteHex(p[i], !last);
            if (last)
                break;
            column += 3;
            if (column >= kWrapColumn) {
                out_.ascii('\\');
                out_.newline();
                out_.ascii("  ");
                column = 2;
            }
            if ((i & 0xFFF) == 0xFFF)
                out_.maybeFlush();
        }
    }

private:
    OutputBuffer out_;
};

}  // namespace detail

namespace {

// A key the caller named, resolved to its root and stored path.
struct Target {
    HKey root = 0;
    std::string rootName;     // the full root name, as it is always written
    std::string subPath;      // below the root, single "\" between names, as typed
};

Result resolveTarget(const std::string& keyPath, Target& target) {
    const std::size_t slash = keyPath.find('\\');
    const std::string_view rootPart = std::string_view(keyPath).substr(0, slash);
    if (const reg::RootKey* r = reg::findRootKey(rootPart)) {
        target.root = r->handle;
        target.rootName = r->name;
    }
    if (target.root == 0)
        return {false, "cannot export \"" + printable(keyPath) + "\": \"" + printable(rootPart) +
                           "\" is not a registry root"};
    if (slash != std::string::npos) {
        for (std::string_view part : reg::keyPathParts(std::string_view(keyPath).substr(slash + 1))) {
            if (!target.subPath.empty())
                target.subPath.push_back('\\');
            target.subPath.append(part);
        }
    }
    return {};
}

// Only a key the registry says is not there is called missing; a registry that cannot be read
// says so.
Result unopened(const std::string& keyPath, LONG error) {
    if (error == reg::kErrorFileNotFound)
        return {false, "cannot export \"" + printable(keyPath) + "\": the key does not exist"};
    return {false, "cannot export \"" + printable(keyPath) + "\": the key cannot be read" + failureText(error)};
}

class Exporter {
public:
    Exporter(reg::RegistryService& service, Format format, std::ostream& out)
        : service_(service), writer_(out, format) {}

    void header() { writer_.header(); }

    // Opens the named key; on success `path` holds the stored spelling of its full path.
    LONG open(const Target& target, HKey& key, std::string& path) {
        if (const LONG rc = service_.RegOpenKeyExA(target.root, target.subPath.c_str(), 0, reg::kKeyRead, &key);
            rc != reg::kErrorSuccess)
            return rc;
        path = target.rootName;
        if (target.subPath.empty())
            return reg::kErrorSuccess;
        // The stored names are the last pieces of the key's own path; views may answer with
        // their underlying root, so the root is always the one the caller named.
        const std::vector<std::string_view> wanted = reg::keyPathParts(target.subPath);
        std::string stored;
        std::vector<std::string_view> have;
        if (service_.KeyPath(key, stored))
            have = reg::keyPathParts(stored);
        const bool useStored = have.size() > wanted.size();
        const auto& names = useStored ? have : wanted;
        for (std::size_t i = names.size() - wanted.size(); i < names.size(); ++i) {
            path.push_back('\\');
            path.append(names[i]);
        }
        return reg::kErrorSuccess;
    }

    // Writes the key at `path` and everything below it. The caller keeps `key` and closes it.
    bool tree(HKey key, std::string path) {
        struct Level {
            HKey key;
            DWORD next;
            std::size_t pathSize;
        };
        std::vector<Level> stack;
        if (!keyBlock(key, path))
            return false;
        stack.push_back({key, 0, path.size()});
        bool ok = true;
        std::string name;
        while (!stack.empty()) {
            Level& top = stack.back();
            path.resize(top.pathSize);
            const LONG r = ok ? service_.EnumKeyRaw(top.key, top.next, name) : reg::kErrorNoMoreItems;
            if (r != reg::kErrorSuccess) {
                if (r != reg::kErrorNoMoreItems)
                    ok = fail("cannot read the sub-keys of \"" + printable(path) + "\"");
                if (stack.size() > 1)
                    service_.RegCloseKey(top.key);
                stack.pop_back();
                continue;
            }
            ++top.next;
            HKey child = 0;
            path.push_back('\\');
            path.append(name);
            if (service_.RegOpenKeyExA(top.key, name.c_str(), 0, reg::kKeyRead, &child) != reg::kErrorSuccess) {
                ok = fail("cannot open \"" + printable(path) + "\"");
                continue;
            }
            stack.push_back({child, 0, path.size()});
            if (!keyBlock(child, path))
                ok = false;
        }
        return ok;
    }

    bool finish() {
        if (!writer_.finish())
            return fail("cannot write the file");
        return error_.empty();
    }

    const std::string& error() const { return error_; }

private:
    bool fail(std::string message) {
        if (error_.empty())
            error_ = std::move(message);
        return false;
    }

    bool keyBlock(HKey key, const std::string& path) {
        if (hasLineBreak(path))
            return fail("cannot export \"" + printable(path) + "\": a key name holds a line break");
        writer_.key(path, false);
        for (DWORD i = 0;; ++i) {
            const LONG r = service_.EnumValueRaw(key, i, valueName_, valueType_, valueData_);
            if (r == reg::kErrorNoMoreItems)
                break;
            if (r != reg::kErrorSuccess)
                return fail("cannot read the values of \"" + path + "\"");
            if (hasLineBreak(valueName_))
                return fail("cannot export \"" + path + "\": the value name \"" + printable(valueName_) +
                            "\" holds a line break");
            writer_.value(valueName_, valueType_, valueData_);
            writer_.maybeFlush();
        }
        return true;
    }

    reg::RegistryService& service_;
    detail::TextWriter writer_;
    std::string error_;
    std::string valueName_;
    DWORD valueType_ = 0;
    std::vector<std::uint8_t> valueData_;
};

// Writes the whole export; the targets are resolved beforehand so nothing is written for a bad key.
Result run(reg::RegistryService& service, const std::string& keyPath, const std::vector<Target>& targets,
           Format format, std::ostream& out) {
    // One snapshot around the whole walk: the file shows the registry at one moment even while
    // another program writes to it, the store answers the many small reads far faster, and an
    // import running meanwhile is not waited for. Back ends without snapshots read as they go.
    struct Snapshot {
        reg::RegistryService& service;
        bool active;
        ~Snapshot() {
            if (active)
                service.EndSnapshot();
        }
    } snapshot{service, service.BeginSnapshot() == reg::kErrorSuccess};

    Exporter exporter(service, format, out);
    std::vector<std::pair<HKey, std::string>> opened;
    for (const Target& t : targets) {
        HKey key = 0;
        std::string path;
        if (const LONG rc = exporter.open(t, key, path); rc != reg::kErrorSuccess) {
            for (auto& o : opened)
                service.RegCloseKey(o.first);
            return unopened(keyPath.empty() ? t.rootName : keyPath, rc);
        }
        opened.emplace_back(key, std::move(path));
    }
    exporter.header();
    bool ok = true;
    for (auto& o : opened) {
        if (ok)
            ok = exporter.tree(o.first, o.second);
        service.RegCloseKey(o.first);
    }
    ok = exporter.finish() && ok;
    if (!ok)
        return {false, exporter.error()};
    return {};
}

Result targetsFor(const std::string& keyPath, std::vector<Target>& targets) {
    if (keyPath.empty()) {
        for (std::string_view root : reg::kWholeRegistry) {
            Target t;
            resolveTarget(std::string(root), t);
            targets.push_back(std::move(t));
        }
        return {};
    }
    Target t;
    Result r = resolveTarget(keyPath, t);
    if (r.ok)
        targets.push_back(std::move(t));
    return r;
}

std::filesystem::path temporaryNameBeside(const std::filesystem::path& target) {
    std::random_device rd;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
    return target.parent_path() / ("." + target.filename().string() + suffix);
}

// ".TARGET.XXXXXXXX.tmp", as temporaryNameBeside makes them.
bool isTemporaryName(std::string_view name) {
    constexpr std::string_view kTmp = ".tmp";
    if (name.size() < 3 + 8 + kTmp.size() || name.front() != '.' || name.substr(name.size() - kTmp.size()) != kTmp)
        return false;
    const std::string_view digits = name.substr(name.size() - kTmp.size() - 8, 8);
    return name[name.size() - kTmp.size() - 9] == '.' &&
           std::all_of(digits.begin(), digits.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// An export that was killed leaves its folder behind. The next export to the same folder removes
// such folders once nothing in them has changed for a minute (an empty one: once it is a minute
// old), so an export still writing its file beside it keeps its own.
void removeLeftovers(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto due = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!isTemporaryName(it->path().filename().string()) || !it->is_directory(ec))
            continue;
        bool old = !ec, empty = true;
        for (fs::directory_iterator in(it->path(), ec); old && !ec && in != end; in.increment(ec)) {
            empty = false;
            old = in->last_write_time(ec) < due && !ec;
        }
        if (old && !ec && empty)
            old = fs::last_write_time(it->path(), ec) < due && !ec;
        if (old && !ec)
            fs::remove_all(it->path(), ec);
        ec.clear();
    }
}

}  // namespace

std::string failureText(LONG error) {
    const std::string number = "(error " + std::to_string(error) + ")";
    switch (error) {
    case reg::kErrorBusy: return ": the registry store is busy, another program is changing it " + number;
    case reg::kErrorCantOpen: return ": the registry cannot be opened " + number;
    default: return " " + number;
    }
}

Result exportRegistry(reg::RegistryService& service, const std::string& keyPath, Format format,
                      std::ostream& out) {
    std::vector<Target> targets;
    Result r = targetsFor(keyPath, targets);
    if (!r.ok)
        return r;
    return run(service, keyPath, targets, format, out);
}

Result exportRegFile(reg::RegistryService& service, const std::string& file, const std::string& keyPath,
                     Format format) {
    std::vector<Target> targets;
    Result r = targetsFor(keyPath, targets);
    if (!r.ok)
        return r;
    // The key is looked up before the file is touched, so a bad key leaves any old file alone.
    for (const Target& t : targets) {
        HKey key = 0;
        if (const LONG rc = service.RegOpenKeyExA(t.root, t.subPath.c_str(), 0, reg::kKeyRead, &key);
            rc != reg::kErrorSuccess)
            return unopened(keyPath.empty() ? t.rootName : keyPath, rc);
        service.RegCloseKey(key);
    }

    // Written beside the target and renamed over it only when complete: a failed export never
    // leaves half a file behind. The file is made in a folder of its own, since a new folder is the
    // one thing every system creates only when nothing of that name is there (the C library of
    // the Windows build, msvcrt, ignores fopen's "x" and would open an existing file).
    const std::filesystem::path target(file);
    removeLeftovers(target.parent_path());
    std::filesystem::path folder;
    std::error_code ec;
    bool created = false;
    for (int attempt = 0; attempt < 16 && !created; ++attempt) {
        folder = temporaryNameBeside(target);
        created = std::filesystem::create_directory(folder, ec);
    }
    if (!created)
        return {false, "cannot create \"" + file + "\""};
    const std::filesystem::path temp = folder / target.filename();
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) {
            r = run(service, keyPath, targets, format, out);
            out.close();
            if (r.ok && !out)
                r = {false, "cannot write \"" + file + "\""};
        } else {
            r = {false, "cannot create \"" + file + "\""};
        }
    }
    if (r.ok) {
        std::filesystem::rename(temp, target, ec);
        if (ec)
            r = {false, "cannot write \"" + file + "\": " + ec.message()};
    }
    std::filesystem::remove_all(folder, ec);
    return r;
}

RegComposer::RegComposer(std::ostream& out, Format format)
    : writer_(std::make_unique<detail::TextWriter>(out, format)) {}

RegComposer::~RegComposer() = default;

void RegComposer::header() { writer_->header(); }

bool RegComposer::key(const std::string& fullPath) {
    if (hasLineBreak(fullPath))
        return refuse("the key \"" + printable(fullPath) + "\" holds a line break");
    writer_->key(fullPath, false);
    return true;
}

bool RegComposer::deleteKey(const std::string& fullPath) {
    if (hasLineBreak(fullPath))
        return refuse("the key \"" + printable(fullPath) + "\" holds a line break");
    writer_->key(fullPath, true);
    return true;
}

bool RegComposer::value(const std::string& name, reg::DWORD type, std::string_view data) {
    if (hasLineBreak(name))
        return refuse("the value name \"" + printable(name) + "\" holds a line break");
    writer_->value(name, type, {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
    writer_->maybeFlush();
    return true;
}

bool RegComposer::deleteValue(const std::string& name) {
    if (hasLineBreak(name))
        return refuse("the value name \"" + printable(name) + "\" holds a line break");
    writer_->deleteValue(name);
    return true;
}

Result RegComposer::finish() {
    if (!writer_->finish())
        refuse("cannot write the file");
    return {problem_.empty(), problem_};
}

bool RegComposer::refuse(std::string problem) {
    if (problem_.empty())
        problem_ = std::move(problem);
    return false;
}

}  // namespace karvo::regfile
