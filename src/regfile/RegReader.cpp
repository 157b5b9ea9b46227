// The .reg reader: reads and decodes a file once, checking every line, and applies exactly what
// it checked, all or nothing.
//
// The file is read in fixed-size chunks. Where the registry has batches, each change goes in as
// soon as its line has passed, inside the batch, which the first problem rolls back: memory stays
// flat however large the file is. Two things are held back, in a compact form: the changes of an
// 8-bit file from its first text beyond ASCII on, while a later line may still show that the file
// is Windows-1252 rather than UTF-8 (EightBitSink); and, for a registry without batches, the
// whole file, which must pass before the first change is made.
//
// The import is one reader among others: the pass converts names and text and hands every change
// to a RegVisitor, which for an import writes it to the registry (RegistryWriter) and for
// readRegFile is the caller's own.
#include "regfile/RegFile.h"

#include "registry/RootKeys.h"
#include "registry/TextCodec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace karvo::regfile {

using reg::DWORD;
using reg::HKey;
using reg::LONG;

namespace detail {

namespace {

// Where the bytes come from, read once from the start.
class Source {
public:
    virtual ~Source() = default;
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    // An upper bound on the bytes still to come, so small inputs get small buffers.
    virtual std::size_t sizeHint() const { return SIZE_MAX; }
    virtual const std::string& error() const {
        static const std::string none;
        return none;
    }
};

// How value data still has to be converted: an 8-bit file's text is kept as its bytes until the
// file's encoding is known.
enum class Text : std::uint8_t {
    Ready,   // stored as it is
    Quoted,  // a "string": widened to UTF-16 with its terminator
    Bytes,   // hex data of a string type, NUL-terminated: widened to UTF-16
};

// What a pass does with the changes it reads; each answers "" or what went wrong. Names come as
// the file has them (UTF-8 from a UTF-16 file, the bytes of an 8-bit one).
class Sink {
public:
    virtual ~Sink() = default;
    virtual std::string openKey(HKey root, const std::string& path) = 0;
    virtual std::string deleteKey(HKey root, const std::string& path) = 0;
    virtual std::string setValue(const std::string& name, DWORD type, const std::string& data, Text text) = 0;
    virtual std::string deleteValue(const std::string& name) = 0;
    // An 8-bit file has shown that it is not UTF-8; and the file has ended.
    virtual std::string notUtf8() { return {}; }
    virtual std::string end() { return {}; }
    // The line the changes that follow come from.
    void setLine(std::uint64_t line) { line_ = line; }
    // The line of the change that failed last, when it was not the line being read.
    virtual std::uint64_t failedLine() const { return 0; }

protected:
    std::uint64_t line_ = 0;
};

// 8-bit text is UTF-8 unless some of it is not valid UTF-8; then the whole file is Windows-1252.
enum class Encoding { Utf16, Utf8, Windows1252 };

struct Detected {
    Encoding encoding = Encoding::Utf8;
    std::size_t skip = 0;  // the byte-order mark
    std::string problem;
};

struct PassResult {
    bool ok = true;
    std::uint64_t line = 0;
    std::string problem;
    bool registryFailed = false;  // the problem is the registry's, not the file's
    bool importsNothing = false;
    bool allUtf8 = true;
};

constexpr std::size_t kChunkBytes = 256 * 1024;
// Windows' own limit on a key name component, in characters.
constexpr std::size_t kMaxKeyComponent = 255;
// Windows' limit on a value name, in characters.
constexpr std::size_t kMaxValueName = 16383;

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

template <class C>
constexpr bool isBlank(C c) {
    return c == C(' ') || c == C('\t');
}

template <class C>
int hexDigit(C c) {
    if (c >= C('0') && c <= C('9'))
        return static_cast<int>(c - C('0'));
    if (c >= C('a') && c <= C('f'))
        return static_cast<int>(c - C('a')) + 10;
    if (c >= C('A') && c <= C('F'))
        return static_cast<int>(c - C('A')) + 10;
    return -1;
}

template <class C>
std::basic_string_view<C> trimLeft(std::basic_string_view<C> s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

template <class C>
std::basic_string_view<C> trimRight(std::basic_string_view<C> s) {
    std::size_t n = s.size();
    while (n > 0 && isBlank(s[n - 1]))
        --n;
    return s.substr(0, n);
}

// Compares code units with an ASCII text.
template <class C>
bool equalsAscii(std::basic_string_view<C> s, std::string_view ascii) {
    if (s.size() != ascii.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] != C(static_cast<unsigned char>(ascii[i])))
            return false;
    return true;
}

template <class C>
bool startsWithAscii(std::basic_string_view<C> s, std::string_view ascii) {
    return s.size() >= ascii.size() && equalsAscii(s.substr(0, ascii.size()), ascii);
}

template <class C>
bool equalsAsciiNoCase(std::basic_string_view<C> s, std::string_view ascii) {
    if (s.size() != ascii.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        C c = s[i];
        if (c >= C('a') && c <= C('z'))
            c = static_cast<C>(c - C('a') + C('A'));
        if (c != C(static_cast<unsigned char>(ascii[i])))
            return false;
    }
    return true;
}

void appendLe(std::string& out, std::u16string_view units) {
    std::size_t at = out.size();
    out.resize(at + 2 * units.size());
    for (char16_t u : units) {
        out[at++] = static_cast<char>(u & 0xFF);
        out[at++] = static_cast<char>(u >> 8);
    }
}

// A name's length as Windows counts it, in UTF-16 units. Text that is not UTF-8 yet (an 8-bit file
// still being checked) counts one unit a byte, as it will after conversion from Windows-1252.
std::size_t nameLength(std::string_view name) {
    if (!text::isValidUtf8(name))
        return name.size();
    std::size_t n = 0;
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80)
            ++n;
        if ((c & 0xF8) == 0xF0)
            ++n;
    }
    return n;
}

// ---- reading lines ---------------------------------------------------------------------------

// Splits the source into lines (CR LF, LF or a lone CR end a line; the last line needs no end).
// A returned line stays valid until the next call.
template <class C>
class LineReader {
public:
    LineReader(Source& source, std::size_t skipBytes)
        : source_(source),
          skip_(skipBytes),
          rawSize_(std::max<std::size_t>(2, std::min(kChunkBytes, source.sizeHint()))),
          raw_(new char[rawSize_]) {}

    bool next(std::basic_string_view<C>& line) {
        carry_.clear();
        bool carrying = false;
        for (;;) {
            if (pos_ == len_ && !fill()) {
                if (!carrying)
                    return false;
                line = carry_;
                return true;
            }
            if (skipLf_) {
                skipLf_ = false;
                if (data_[pos_] == C('\n')) {
                    ++pos_;
                    continue;
                }
            }
            std::size_t i = pos_;
            while (i < len_ && data_[i] != C('\n') && data_[i] != C('\r'))
                ++i;
            if (i == len_) {
                carry_.append(data_ + pos_, len_ - pos_);
                carrying = true;
                pos_ = len_;
                continue;
            }
            if (carrying) {
                carry_.append(data_ + pos_, i - pos_);
                line = carry_;
            } else {
                line = std::basic_string_view<C>(data_ + pos_, i - pos_);
            }
            pos_ = i + 1;
            if (data_[i] == C('\r')) {
                if (pos_ < len_) {
                    if (data_[pos_] == C('\n'))
                        ++pos_;
                } else {
                    skipLf_ = true;
                }
            }
            return true;
        }
    }

    // The source could not be read, or (UTF-16) it ended inside a character.
    const std::string& error() const { return error_; }

private:
    static char16_t unit(char low, char high) {
        return static_cast<char16_t>(static_cast<unsigned char>(low) | (static_cast<unsigned char>(high) << 8));
    }

    bool fill() {
        if (eof_)
            return false;
        std::size_t n = source_.read(raw_.get(), rawSize_);
        while (n > 0 && skip_ > 0) {
            const std::size_t drop = std::min(n, skip_);
            skip_ -= drop;
            std::memmove(raw_.get(), raw_.get() + drop, n - drop);
            n -= drop;
            if (n == 0)
                n = source_.read(raw_.get(), rawSize_);
        }
        if (n == 0) {
            eof_ = true;
            if (!source_.error().empty())
                error_ = source_.error();
            else if constexpr (sizeof(C) == 2) {
                if (haveOdd_)
                    error_ = "the file ends in the middle of a UTF-16 character";
            }
            return false;
        }
        if constexpr (sizeof(C) == 1) {
            data_ = raw_.get();
            len_ = n;
        } else {
            units_.resize((n + 1) / 2);
            std::size_t count = 0;
            std::size_t i = 0;
            if (haveOdd_) {
                units_[count++] = unit(odd_, raw_[0]);
                haveOdd_ = false;
                i = 1;
            }
            for (; i + 1 < n; i += 2)
                units_[count++] = unit(raw_[i], raw_[i + 1]);
            units_.resize(count);
            if (i < n) {
                odd_ = raw_[i];
                haveOdd_ = true;
            }
            data_ = units_.data();
            len_ = units_.size();
            if (len_ == 0)
                return fill();
        }
        pos_ = 0;
        return true;
    }

    Source& source_;
    std::size_t skip_;
    std::size_t rawSize_;
    std::unique_ptr<char[]> raw_;
    std::u16string units_;
    const C* data_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::basic_string<C> carry_;
    bool eof_ = false;
    bool skipLf_ = false;
    bool haveOdd_ = false;
    char odd_ = 0;
    std::string error_;
};

// ---- parsing ---------------------------------------------------------------------------------

// One line-by-line pass over the file, checking every line; a sink gets the changes. Text of an
// 8-bit file is checked as UTF-8 and handed on as its bytes (see Text).
template <class C>
class Parser {
public:
    using View = std::basic_string_view<C>;

    explicit Parser(Sink* sink) : sink_(sink) {}

    // False stops the pass: an error (problem() says which) or a header that imports nothing.
    bool line(View text, std::uint64_t number) {
        lineNo_ = number;
        if (sink_ != nullptr)
            sink_->setLine(number);
        if (!scanUnits(text))
            return false;
        if (number == 1)
            return header(text);
        if (inHex_)
            return continuation(text);
        const View t = trimLeft(text);
        if (t.empty() || t[0] == C(';') || t[0] == C('#'))
            return true;
        if (t[0] == C('['))
            return keyLine(t);
        if (t[0] == C('@') || t[0] == C('"'))
            return valueLine(t);
        return fail("not a key, a value or a comment");
    }

    bool finish() {
        if (!headerSeen_) {
            lineNo_ = 1;
            return fail("the file is empty");
        }
        if (!allUtf8_ && longLine_ != 0) {
            lineNo_ = longLine_;
            return fail(longProblem_);
        }
        // Hex data that was still continuing at the end of the file is complete as it stands.
        if (inHex_) {
            inHex_ = false;
            if (!finishValue())
                return false;
        }
        return sink_ == nullptr || report(sink_->end());
    }

    const std::string& problem() const { return problem_; }
    std::uint64_t lineNo() const { return lineNo_; }
    bool importsNothing() const { return importsNothing_; }
    bool allUtf8() const { return allUtf8_; }
    bool registryFailed() const { return registryFailed_; }

private:
    bool fail(std::string message) {
        problem_ = std::move(message);
        // A name already known to be too long in Windows-1252 comes first.
        if (!allUtf8_ && longLine_ != 0 && longLine_ < lineNo_) {
            lineNo_ = longLine_;
            problem_ = longProblem_;
        }
        return false;
    }

    // While an 8-bit file is still being checked its code page is not known: a name that fits as
    // UTF-8 may not fit as Windows-1252 (one character a byte), which counts once the file turns
    // out not to be UTF-8.
    bool checkLength(const std::string& name, std::size_t limit, const char* problem) {
        if (nameLength(name) > limit)
            return fail(problem);
        if constexpr (sizeof(C) == 1) {
            if (longLine_ == 0 && name.size() > limit) {
                longLine_ = lineNo_;
                longProblem_ = problem;
            }
        }
        return true;
    }

    // NUL code units are refused anywhere; 8-bit lines are also checked for valid UTF-8.
    bool scanUnits(View text) {
        bool high = false;
        for (C c : text) {
            if (c == C(0))
                return fail("the line contains a NUL character");
            if constexpr (sizeof(C) == 1)
                high = high || (static_cast<unsigned char>(c) & 0x80) != 0;
        }
        if constexpr (sizeof(C) == 1) {
            if (high && allUtf8_ && !text::isValidUtf8(text)) {
                allUtf8_ = false;
                if (longLine_ != 0)  // a name that only fitted as UTF-8
                    return fail(longProblem_);
                return sink_ == nullptr || report(sink_->notUtf8());
            }
        }
        return true;
    }

    bool header(View text) {
        headerSeen_ = true;
        const View t = trimRight(trimLeft(text));
        if (equalsAscii(t, kHeader4) || equalsAscii(t, kHeader5))
            return true;
        if (equalsAscii(t, "REGEDIT"))
            return fail("Windows 3.1 registration files are not supported");
        if (startsWithAscii(t, "REGEDIT")) {
            // Other versions of the header are accepted by Windows, which then imports nothing.
            importsNothing_ = true;
            return false;
        }
        return fail("not a registry file: the first line must be \"Windows Registry Editor Version 5.00\" or "
                    "\"REGEDIT4\"");
    }

    // Text of the file to UTF-8 (names); an 8-bit file's bytes as they are.
    void toUtf8(std::basic_string_view<C> s, std::string& out) {
        out.clear();
        if constexpr (sizeof(C) == 2) {
            // Most names are ASCII: no conversion needed.
            bool ascii = true;
            for (C c : s)
                ascii = ascii && c < 0x80;
            if (ascii) {
                out.resize(s.size());
                for (std::size_t i = 0; i < s.size(); ++i)
                    out[i] = static_cast<char>(s[i]);
                return;
            }
            scratch_.clear();
            appendLe(scratch_, s);
            out = text::utf16leToUtf8(scratch_);
        } else {
            out.assign(s);
        }
    }

    // A quoted text starting at s[pos] == '"'; only \\ and \" are escapes. On success pos is just
    // after the closing quote and unescaped_ holds the text.
    bool quoted(View s, std::size_t& pos, const char* what) {
        unescaped_.clear();
        std::size_t i = pos + 1;
        for (;;) {
            if (i >= s.size())
                return fail(std::string("the ") + what + " has no closing quote");
            const C c = s[i];
            if (c == C('"'))
                break;
            if (c == C('\\')) {
                if (i + 1 >= s.size())
                    return fail(std::string("the ") + what + " has no closing quote");
                const C e = s[i + 1];
                if (e != C('\\') && e != C('"')) {
                    if (e == C('0'))
                        return fail(std::string("\\0 is not allowed in a ") + what);
                    return fail(std::string("unknown escape in a ") + what + " (only \\\\ and \\\" are allowed)");
                }
                unescaped_.push_back(e);
                i += 2;
                continue;
            }
            unescaped_.push_back(c);
            ++i;
        }
        pos = i + 1;
        return true;
    }

    // After data: blanks, then the end or a ';' comment.
    static bool onlyCommentFollows(View s, std::size_t pos) {
        while (pos < s.size() && isBlank(s[pos]))
            ++pos;
        return pos == s.size() || s[pos] == C(';');
    }

    // The name runs to the last "]" on the line; whatever follows it is ignored, as the Windows
    // registry editor ignores it.
    bool keyLine(View t) {
        std::size_t close = t.size();
        while (close > 0 && t[close - 1] != C(']'))
            --close;
        if (close == 0)
            return fail("the key name has no closing ]");
        --close;
        View name = t.substr(1, close - 1);
        const bool remove = !name.empty() && name[0] == C('-');
        if (remove)
            name.remove_prefix(1);
        if (name.empty())
            return fail("the key name is missing");
        if (isBlank(name[0]))
            return fail(remove ? "blank after [-" : "blank after [");

        std::size_t slash = 0;
        while (slash < name.size() && name[slash] != C('\\'))
            ++slash;
        const View rootText = name.substr(0, slash);
        const reg::RootKey* root = nullptr;
        for (const reg::RootKey& r : reg::kRootKeys)
            if (equalsAsciiNoCase(rootText, r.name))
                root = &r;
        if (root == nullptr) {
            toUtf8(rootText, name_);
            return fail("unknown root key \"" + name_ + "\"");
        }

        // Empty components (a doubled or trailing \) name the same key, as the registry API has it.
        path_.clear();
        std::size_t start = slash;
        while (start < name.size()) {
            std::size_t end = start + 1;
            while (end < name.size() && name[end] != C('\\'))
                ++end;
            const View component = name.substr(start + 1, end - start - 1);
            if (!component.empty()) {
                toUtf8(component, name_);
                if (!checkLength(name_, kMaxKeyComponent, "a key name is longer than 255 characters"))
                    return false;
                if (!path_.empty())
                    path_.push_back('\\');
                path_ += name_;
            }
            start = end;
        }
        if (remove && path_.empty())
            return fail("a root key cannot be deleted: " + std::string(root->name));

        hasKey_ = !remove;
        afterDelete_ = remove;
        if (sink_ != nullptr)
            return report(remove ? sink_->deleteKey(root->handle, path_) : sink_->openKey(root->handle, path_));
        return true;
    }

    bool valueLine(View t) {
        std::size_t pos = 0;
        if (t[0] == C('@')) {
            valueName_.clear();
            pos = 1;
        } else {
            if (!quoted(t, pos, "value name"))
                return false;
            toUtf8(unescaped_, valueName_);
            if (!checkLength(valueName_, kMaxValueName, "the value name is longer than 16383 characters"))
                return false;
        }
        while (pos < t.size() && isBlank(t[pos]))
            ++pos;
        if (pos == t.size() || t[pos] != C('='))
            return fail("= expected after the value name");
        ++pos;
        while (pos < t.size() && isBlank(t[pos]))
            ++pos;
        if (!hasKey_)
            return fail(afterDelete_ ? "a value follows the deletion of a key, so it has no key to go to"
                                     : "a value comes before any key");
        valueLine_ = lineNo_;
        const View d = t.substr(pos);
        if (d.empty())
            return fail("the value data is missing");
        if (d[0] == C('"'))
            return stringData(d);
        if (d[0] == C('-')) {
            if (!onlyCommentFollows(d, 1))
                return fail("unexpected text after =-");
            return sink_ == nullptr || report(sink_->deleteValue(valueName_));
        }
        if (startsWithAscii(d, "dword:"))
            return dwordData(d.substr(6));
        if (startsWithAscii(d, "hex:")) {
            type_ = reg::kRegBinary;
            return hexStart(d.substr(4));
        }
        if (startsWithAscii(d, "hex("))
            return hexTypedData(d.substr(4));
        return fail("unknown value data");
    }

    bool report(std::string error) {
        if (error.empty())
            return true;
        registryFailed_ = true;
        if (const std::uint64_t line = sink_->failedLine(); line != 0)
            lineNo_ = line;
        return fail(std::move(error));
    }

    bool stringData(View d) {
        std::size_t pos = 0;
        if (!quoted(d, pos, "string"))
            return false;
        if (!onlyCommentFollows(d, pos))
            return fail("unexpected text after the closing quote");
        data_.clear();
        if constexpr (sizeof(C) == 2) {
            appendLe(data_, unescaped_);
            data_.append(2, '\0');
        } else {
            data_.assign(unescaped_);
            text_ = Text::Quoted;
        }
        type_ = reg::kRegSz;
        return store();
    }

    bool dwordData(View d) {
        std::size_t pos = 0;
        while (pos < d.size() && isBlank(d[pos]))
            ++pos;
        std::uint32_t v = 0;
        std::size_t digits = 0;
        for (; pos < d.size(); ++pos) {
            const int h = hexDigit(d[pos]);
            if (h < 0)
                break;
            if (++digits > 8)
                return fail("a dword has more than 8 hex digits");
            v = (v << 4) | static_cast<std::uint32_t>(h);
        }
        if (digits == 0)
            return fail("a dword needs 1 to 8 hex digits");
        if (!onlyCommentFollows(d, pos))
            return fail("unexpected text after the dword");
        data_.clear();
        for (int i = 0; i < 4; ++i)
            data_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        type_ = reg::kRegDword;
        return store();
    }

    // "hex(" already consumed: 1 to 8 hex digits, ")" and ":".
    bool hexTypedData(View d) {
        std::uint32_t v = 0;
        std::size_t pos = 0;
        for (; pos < d.size(); ++pos) {
            const int h = hexDigit(d[pos]);
            if (h < 0)
                break;
            if (pos >= 8)
                return fail("the value type in hex(...) is larger than ffffffff");
            v = (v << 4) | static_cast<std::uint32_t>(h);
        }
        if (pos == 0 || pos >= d.size() || d[pos] != C(')'))
            return fail("the value type in hex(...) must be 1 to 8 hex digits");
        if (pos + 1 >= d.size() || d[pos + 1] != C(':'))
            return fail(": expected after hex(...)");
        type_ = v;
        return hexStart(d.substr(pos + 2));
    }

    bool hexStart(View d) {
        data_.clear();
        return hexSegment(d);
    }

    // One line's worth of hex bytes. A trailing "\" right after a comma (or after nothing)
    // continues the data on the next line.
    bool hexSegment(View d) {
        std::size_t end = 0;
        while (end < d.size() && d[end] != C(';'))
            ++end;
        View s = trimRight(d.substr(0, end));
        bool more = false;
        if (!s.empty() && s.back() == C('\\')) {
            more = true;
            s = trimRight(s.substr(0, s.size() - 1));
            if (!s.empty() && s.back() != C(','))
                return fail("\\ must follow a comma to continue hex data");
        }
        std::size_t pos = 0;
        while (pos < s.size()) {
            while (pos < s.size() && isBlank(s[pos]))
                ++pos;
            if (pos == s.size())
                break;
            if (s[pos] == C(','))
                return fail("a comma without a hex byte before it");
            unsigned v = 0;
            std::size_t digits = 0;
            for (; pos < s.size(); ++pos) {
                const int h = hexDigit(s[pos]);
                if (h < 0)
                    break;
                v = (v << 4) | static_cast<unsigned>(h);
                ++digits;
                if (v > 0xFF)
                    return fail("a hex byte is larger than ff");
            }
            if (digits == 0)
                return fail("not a hex byte");
            if (pos < s.size() && s[pos] != C(','))
                return fail("not a hex byte");
            data_.push_back(static_cast<char>(v));
            if (pos < s.size())
                ++pos;  // the comma
        }
        if (more) {
            inHex_ = true;
            return true;
        }
        return finishValue();
    }

    // A line after "\": blank and ';' lines are passed over; anything else must be hex data.
    bool continuation(View text) {
        const View t = trimLeft(text);
        if (t.empty() || t[0] == C(';'))
            return true;
        inHex_ = false;
        if (hexDigit(t[0]) < 0)
            return fail("hex data of the value on line " + std::to_string(valueLine_) +
                        " continues with a line that is not hex data");
        return hexSegment(t);
    }

    bool finishValue() {
        const bool stringType =
            type_ == reg::kRegSz || type_ == reg::kRegExpandSz || type_ == reg::kRegMultiSz;
        if (stringType && !data_.empty()) {
            if constexpr (sizeof(C) == 2) {
                const std::size_t n = data_.size();
                if (n < 2 || data_[n - 1] != '\0' || data_[n - 2] != '\0')
                    data_.append(2, '\0');
            } else {
                // Bytes of an 8-bit file are text in the ANSI code page, stored widened.
                if (data_.back() != '\0')
                    data_.push_back('\0');
                text_ = Text::Bytes;
            }
        }
        return store();
    }

    bool store() {
        const Text text = std::exchange(text_, Text::Ready);
        if (sink_ == nullptr)
            return true;
        return report(sink_->setValue(valueName_, type_, data_, text));
    }

    Sink* sink_;
    bool registryFailed_ = false;
    Text text_ = Text::Ready;
    std::uint64_t lineNo_ = 0;
    std::string problem_;
    bool headerSeen_ = false;
    bool importsNothing_ = false;
    bool allUtf8_ = true;
    std::uint64_t longLine_ = 0;
    std::string longProblem_;

    bool hasKey_ = false;
    bool afterDelete_ = false;
    std::string path_;

    bool inHex_ = false;
    std::uint64_t valueLine_ = 0;
    DWORD type_ = 0;
    std::string valueName_;
    std::string data_;

    std::basic_string<C> unescaped_;
    std::string name_;
    std::string scratch_;
};

template <class C>
PassResult runLines(Source& source, std::size_t skip, Sink* sink) {
    LineReader<C> reader(source, skip);
    Parser<C> parser(sink);
    PassResult result;
    std::basic_string_view<C> text;
    std::uint64_t number = 0;
    bool stopped = false;
    while (reader.next(text)) {
        if (!parser.line(text, ++number)) {
            stopped = true;
            break;
        }
    }
    if (!stopped && !reader.error().empty()) {
        result.ok = false;
        result.line = std::max<std::uint64_t>(number, 1);
        result.problem = reader.error();
        return result;
    }
    if (!stopped && parser.finish()) {
        result.allUtf8 = parser.allUtf8();
        return result;
    }
    if (parser.importsNothing()) {
        result.importsNothing = true;
        return result;
    }
    result.ok = false;
    result.line = parser.lineNo();
    result.problem = parser.problem();
    result.registryFailed = parser.registryFailed();
    return result;
}

// The first bytes, read to learn the encoding, handed out again ahead of the rest: the file is
// read from its start only once.
class Resumed final : public Source {
public:
    Resumed(Source& in, std::string head) : in_(in), head_(std::move(head)) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, head_.size() - pos_);
        std::memcpy(buffer, head_.data() + pos_, n);
        pos_ += n;
        return n + (n < size ? in_.read(buffer + n, size - n) : 0);
    }
    std::size_t sizeHint() const override { return in_.sizeHint(); }
    const std::string& error() const override { return in_.error(); }

private:
    Source& in_;
    std::string head_;
    std::size_t pos_ = 0;
};

Detected detectEncoding(const std::string& head) {
    const auto byte = [&](std::size_t i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0x100u; };
    Detected d;
    if (byte(0) == 0xFF && byte(1) == 0xFE) {
        d.encoding = Encoding::Utf16;
        d.skip = 2;
    } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
        d.problem = "big-endian UTF-16 is not supported";
    } else if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        d.skip = 3;
    } else if (head.size() >= 2 && (byte(0) == 0 || byte(1) == 0)) {
        d.problem = "UTF-16 without a byte-order mark is not supported";
    }
    return d;
}

std::string readHead(Source& source) {
    std::string head(3, '\0');
    std::size_t got = 0;
    while (got < head.size()) {
        const std::size_t n = source.read(head.data() + got, head.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    head.resize(got);
    return head;
}

PassResult runPass(Source& source, const Detected& detected, Sink* sink) {
    if (detected.encoding == Encoding::Utf16)
        return runLines<char16_t>(source, detected.skip, sink);
    return runLines<char>(source, detected.skip, sink);
}

std::string formatProblem(const std::string& name, std::uint64_t line, const std::string& problem) {
    if (line == 0)
        return name + ": " + problem;
    return name + ":" + std::to_string(line) + ": " + problem;
}

// Hands the changes on to a visitor, an 8-bit file's names and text converted in the encoding the
// whole file turned out to have.
class Converter final : public Sink {
public:
    Converter(RegVisitor& to, Encoding encoding) : to_(to), encoding_(encoding) {}
    void setEncoding(Encoding encoding) { encoding_ = encoding; }

    std::string openKey(HKey root, const std::string& path) override { return to_.key(root, utf8(path)); }
    std::string deleteKey(HKey root, const std::string& path) override { return to_.deleteKey(root, utf8(path)); }
    std::string setValue(const std::string& name, DWORD type, const std::string& data, Text text) override {
        return to_.value(utf8(name), type, text == Text::Ready ? data : widened(data, text));
    }
    std::string deleteValue(const std::string& name) override { return to_.deleteValue(utf8(name)); }

private:
    const std::string& utf8(const std::string& name) {
        if (encoding_ != Encoding::Windows1252)
            return name;
        name_ = text::windows1252ToUtf8(name);
        return name_;
    }

    // Text of an 8-bit file as the registry stores it: UTF-16LE.
    const std::string& widened(const std::string& data, Text text) {
        const bool utf8 = encoding_ != Encoding::Windows1252 && (text == Text::Quoted || text::isValidUtf8(data));
        data_ = text::utf8ToUtf16le(utf8 ? data : text::windows1252ToUtf8(data));
        if (text == Text::Quoted)
            data_.append(2, '\0');
        return data_;
    }

    RegVisitor& to_;
    Encoding encoding_;
    std::string name_;
    std::string data_;
};

// Applies the changes through the registry service.
//
// The current key stays open with the keys it was created below: a file lists a tree parent
// first, so the next key is mostly made below one that is open, not found again from its root.
class RegistryWriter final : public RegVisitor {
public:
    explicit RegistryWriter(reg::RegistryService& service) : service_(service) {}
    ~RegistryWriter() override { closeCurrent(); }
    RegistryWriter(const RegistryWriter&) = delete;
    RegistryWriter& operator=(const RegistryWriter&) = delete;

    std::string key(HKey root, const std::string& name) override {
        while (!open_.empty() && !(open_.back().root == root && within(name, open_.back().path)))
            closeLast();
        current_ = open_.empty() ? root : open_.back().key;
        const std::size_t known = open_.empty() ? 0 : open_.back().path.size() + 1;
        if (name.empty() || name.size() < known)
            return {};  // the root itself, or the key that is open
        HKey key = 0;
        DWORD disposition = 0;
        const LONG rc = service_.RegCreateKeyExA(current_, name.c_str() + known, 0, "", 0, reg::kKeyAllAccess, nullptr,
                                                 &key, &disposition);
        if (rc != reg::kErrorSuccess)
            return "cannot create the key " + rootName(root) + "\\" + name + failureText(rc);
        open_.push_back({root, name, key});
        current_ = key;
        return {};
    }

    std::string deleteKey(HKey root, const std::string& name) override {
        closeCurrent();  // a handle into the deleted tree would be of no more use
        const LONG rc = service_.DeleteTree(root, name.c_str());
        if (rc != reg::kErrorSuccess && rc != reg::kErrorFileNotFound)
            return "cannot delete the key " + rootName(root) + "\\" + name + failureText(rc);
        return {};
    }

    std::string value(const std::string& name, DWORD type, const std::string& data) override {
        const LONG rc = service_.SetValueRaw(current_, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                                             data.size());
        if (rc != reg::kErrorSuccess)
            return "cannot write the value \"" + name + "\"" + failureText(rc);
        return {};
    }

    std::string deleteValue(const std::string& name) override {
        const LONG rc = service_.RegDeleteValueA(current_, name.c_str());
        if (rc != reg::kErrorSuccess && rc != reg::kErrorFileNotFound)
            return "cannot delete the value \"" + name + "\"" + failureText(rc);
        return {};
    }

    void closeCurrent() {
        while (!open_.empty())
            closeLast();
        current_ = 0;
    }

private:
    struct Open {
        HKey root;
        std::string path;
        HKey key;
    };

    // The key named by path is, or lies below, the one at base ("" for the root).
    static bool within(const std::string& path, const std::string& base) {
        return path.compare(0, base.size(), base) == 0 && (path.size() == base.size() || path[base.size()] == '\\');
    }
    void closeLast() {
        service_.RegCloseKey(open_.back().key);
        open_.pop_back();
    }

    static std::string rootName(HKey root) {
        for (const reg::RootKey& r : reg::kRootKeys)
            if (r.handle == root)
                return std::string(r.name);
        return {};
    }

    reg::RegistryService& service_;
    HKey current_ = 0;
    std::vector<Open> open_;  // the current key last, each below the one before it
};

// Keeps the changes of a file being checked, in one buffer, to apply them once it has passed.
class Recorder final : public Sink {
public:
    std::string openKey(HKey root, const std::string& path) override { return put(Op::OpenKey, root, path); }
    std::string deleteKey(HKey root, const std::string& path) override { return put(Op::DeleteKey, root, path); }
    std::string setValue(const std::string& name, DWORD type, const std::string& data, Text text) override {
        return put(Op::SetValue, type, name, data, text);
    }
    std::string deleteValue(const std::string& name) override { return put(Op::DeleteValue, 0, name); }

    // Hands every change to `to` in order; on a failure, what went wrong and the line it came from.
    std::string replay(Sink& to, std::uint64_t& line) const {
        std::size_t pos = 0;
        std::string first, second;
        while (pos < buf_.size()) {
            const auto op = static_cast<Op>(buf_[pos++]);
            line = number(pos, 8);
            const auto arg = static_cast<DWORD>(number(pos, 4));
            const auto text = static_cast<Text>(buf_[pos++]);
            take(pos, first);
            take(pos, second);
            std::string error;
            switch (op) {
            case Op::OpenKey: error = to.openKey(arg, first); break;
            case Op::DeleteKey: error = to.deleteKey(arg, first); break;
            case Op::SetValue: error = to.setValue(first, arg, second, text); break;
            case Op::DeleteValue: error = to.deleteValue(first); break;
            }
            if (!error.empty())
                return error;
        }
        return {};
    }

private:
    enum class Op : char { OpenKey, DeleteKey, SetValue, DeleteValue };

    std::string put(Op op, DWORD arg, const std::string& first, const std::string& second = {},
                    Text text = Text::Ready) {
        buf_.push_back(static_cast<char>(op));
        append(line_, 8);
        append(arg, 4);
        buf_.push_back(static_cast<char>(text));
        append(first.size(), 8);
        buf_ += first;
        append(second.size(), 8);
        buf_ += second;
        return {};
    }
    void append(std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            buf_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    std::uint64_t number(std::size_t& pos, int bytes) const {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<std::uint64_t>(static_cast<unsigned char>(buf_[pos + i])) << (8 * i);
        pos += static_cast<std::size_t>(bytes);
        return v;
    }
    void take(std::size_t& pos, std::string& out) const {
        const auto n = static_cast<std::size_t>(number(pos, 8));
        out.assign(buf_, pos, n);
        pos += n;
    }

    std::string buf_;
};

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
}

// An 8-bit file applied as it is read. Its text counts as UTF-8 until a line shows otherwise, and
// then the whole file is Windows-1252; ASCII reads the same either way. So changes go in at once
// until the first with other text while the file may still be UTF-8: from there on they are held
// until a line settles the encoding, or the file ends as UTF-8.
class EightBitSink final : public Sink {
public:
    explicit EightBitSink(Converter& apply) : apply_(apply) {}

    std::string openKey(HKey root, const std::string& path) override {
        return route(isAscii(path), [&](Sink& to) { return to.openKey(root, path); });
    }
    std::string deleteKey(HKey root, const std::string& path) override {
        return route(isAscii(path), [&](Sink& to) { return to.deleteKey(root, path); });
    }
    std::string setValue(const std::string& name, DWORD type, const std::string& data, Text text) override {
        const bool ascii = isAscii(name) && (text == Text::Ready || isAscii(data));
        return route(ascii, [&](Sink& to) { return to.setValue(name, type, data, text); });
    }
    std::string deleteValue(const std::string& name) override {
        return route(isAscii(name), [&](Sink& to) { return to.deleteValue(name); });
    }
    std::string notUtf8() override {
        settled_ = true;
        apply_.setEncoding(Encoding::Windows1252);
        return release();
    }
    std::string end() override { return release(); }
    std::uint64_t failedLine() const override { return failedLine_; }

private:
    template <class Change>
    std::string route(bool ascii, Change change) {
        holding_ = holding_ || (!ascii && !settled_);
        Sink& to = holding_ ? static_cast<Sink&>(held_) : apply_;
        to.setLine(line_);
        failedLine_ = 0;
        return change(to);
    }
    std::string release() {
        std::string error = held_.replay(apply_, failedLine_);
        held_ = Recorder();
        holding_ = false;
        return error;
    }

    Converter& apply_;
    Recorder held_;
    bool holding_ = false;
    bool settled_ = false;
    std::uint64_t failedLine_ = 0;
};

}  // namespace
}  // namespace detail

namespace {

using detail::Encoding;
using detail::PassResult;

std::function<void()>& fileEndHook() {
    static std::function<void()> hook;
    return hook;
}

class MemorySource final : public detail::Source {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, bytes_.size() - pos_);
        if (n > 0)
            std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t sizeHint() const override { return bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

class FileSource final : public detail::Source {
public:
    explicit FileSource(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
        if (file_ == nullptr)
            error_ = std::string("cannot open the file: ") + std::strerror(errno);
    }
    ~FileSource() override {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool open() const { return file_ != nullptr; }
    std::size_t read(char* buffer, std::size_t size) override {
        if (file_ == nullptr)
            return 0;
        const std::size_t n = std::fread(buffer, 1, size, file_);
        if (n < size && std::ferror(file_))
            error_ = "cannot read the file";
        if (n == 0 && fileEndHook())
            fileEndHook()();
        return n;
    }
    const std::string& error() const override { return error_; }

private:
    std::FILE* file_;
    std::string error_;
};

Result failed(std::string message) {
    return Result{false, std::move(message)};
}

// Ends a batch that did not go through. After a failure of the registry the message says what
// became of the lines before it; a refused file needs no more words, as nothing was changed.
std::string rolledBack(reg::RegistryService& service, bool batched, bool registryFailed) {
    if (!batched)
        return "; the lines before it were applied";
    const LONG rc = service.RollbackBatch();
    if (rc != reg::kErrorSuccess)
        return "; the changes could not be undone" + failureText(rc);
    return registryFailed ? "; nothing was changed" : "";
}

// Reads the file's first bytes to learn its encoding; a file that cannot be read says why.
Result opened(detail::Source& file, const std::string& name, std::string& head, detail::Detected& detected) {
    head = detail::readHead(file);
    if (!file.error().empty())
        return failed(detail::formatProblem(name, 0, file.error()));
    detected = detail::detectEncoding(head);
    if (!detected.problem.empty())
        return failed(detail::formatProblem(name, 1, detected.problem));
    return {};
}

Result importFrom(reg::RegistryService& service, detail::Source& file, const std::string& name) {
    std::string head;
    detail::Detected detected;
    if (Result r = opened(file, name, head, detected); !r.ok)
        return r;
    detail::Resumed source(file, head);
    const bool utf16 = detected.encoding == Encoding::Utf16;

    const LONG begin = service.BeginBatch();
    if (begin == reg::kErrorSuccess) {
        // Applied as it is read: the batch keeps every change unseen until the file has passed,
        // and the first problem rolls it back.
        PassResult pass;
        {
            detail::RegistryWriter writer(service);
            detail::Converter apply(writer, utf16 ? Encoding::Utf16 : Encoding::Utf8);
            detail::EightBitSink eightBit(apply);
            pass = detail::runPass(source, detected, utf16 ? static_cast<detail::Sink*>(&apply) : &eightBit);
        }
        if (!pass.ok || pass.importsNothing) {
            const std::string outcome = rolledBack(service, true, pass.registryFailed);
            return pass.ok ? Result{} : failed(detail::formatProblem(name, pass.line, pass.problem) + outcome);
        }
        if (const LONG rc = service.CommitBatch(); rc != reg::kErrorSuccess) {
            service.RollbackBatch();
            return failed(detail::formatProblem(name, 0, "cannot complete the change of the registry" + failureText(rc)));
        }
        return {};
    }
    if (begin != reg::kErrorNotSupported)
        return failed(detail::formatProblem(name, 0, "cannot start the change of the registry" + failureText(begin)));

    // Without batches nothing may change before the last line has passed: the checked changes
    // are held until then.
    detail::Recorder recorder;
    const PassResult pass = detail::runPass(source, detected, &recorder);
    if (!pass.ok)
        return failed(detail::formatProblem(name, pass.line, pass.problem));
    if (pass.importsNothing)
        return {};
    std::uint64_t line = 0;
    std::string error;
    {
        detail::RegistryWriter writer(service);
        detail::Converter apply(writer, utf16 ? Encoding::Utf16 : pass.allUtf8 ? Encoding::Utf8 : Encoding::Windows1252);
        error = recorder.replay(apply, line);
    }
    if (!error.empty())
        return failed(detail::formatProblem(name, line, error) + rolledBack(service, false, true));
    return {};
}

// The same pass as an import's, the changes handed to a visitor instead of the registry.
Result readFrom(detail::Source& file, const std::string& name, RegVisitor& visitor) {
    std::string head;
    detail::Detected detected;
    if (Result r = opened(file, name, head, detected); !r.ok)
        return r;
    detail::Resumed source(file, head);
    const bool utf16 = detected.encoding == Encoding::Utf16;
    detail::Converter convert(visitor, utf16 ? Encoding::Utf16 : Encoding::Utf8);
    detail::EightBitSink eightBit(convert);
    const PassResult pass = detail::runPass(source, detected, utf16 ? static_cast<detail::Sink*>(&convert) : &eightBit);
    if (!pass.ok)
        return failed(detail::formatProblem(name, pass.line, pass.problem));
    return {};
}

}  // namespace

void setFileEndHook(std::function<void()> hook) { fileEndHook() = std::move(hook); }

Result importRegFile(reg::RegistryService& service, const std::string& file) {
    FileSource source(file);
    if (!source.open())
        return failed(detail::formatProblem(file, 0, source.error()));
    return importFrom(service, source, file);
}

Result importRegBytes(reg::RegistryService& service, std::string_view bytes, const std::string& name) {
    MemorySource source(bytes);
    return importFrom(service, source, name);
}

Result readRegFile(const std::string& file, RegVisitor& visitor) {
    FileSource source(file);
    if (!source.open())
        return failed(detail::formatProblem(file, 0, source.error()));
    return readFrom(source, file, visitor);
}

Result readRegBytes(std::string_view bytes, const std::string& name, RegVisitor& visitor) {
    MemorySource source(bytes);
    return readFrom(source, name, visitor);
}

Result validateRegBytes(std::string_view bytes, const std::string& name) {
    MemorySource file(bytes);
    std::string head;
    detail::Detected detected;
    if (Result r = opened(file, name, head, detected); !r.ok)
        return r;
    detail::Resumed source(file, head);
    const PassResult check = detail::runPass(source, detected, nullptr);
    if (!check.ok)
        return failed(detail::formatProblem(name, check.line, check.problem));
    return {};
}

}  // namespace karvo::regfile
