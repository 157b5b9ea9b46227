// The registry helper's wire format, shared by the serve loop and the client. A message is a
// 32-bit little-endian length and that many bytes: the request's operation code and arguments,
// or the answer's result and out-parameters. Pointers the caller may leave null travel as a
// presence byte, so the helper calls the real function with exactly the nulls the caller passed.
#pragma once

#include "registry/RegistryService.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace karvo::reg::pipe {

inline constexpr std::uint32_t kProtocolVersion = 2;
// Nothing the registry gives out comes near this; a longer message means a broken stream.
inline constexpr std::uint32_t kMaxMessage = 512u << 20;
// The largest out-buffer the helper allocates for one call.
inline constexpr std::uint32_t kMaxBuffer = 64u << 20;

enum class Op : std::uint8_t {
    Hello = 1,
    OpenKey,
    CreateKey,
    CloseKey,
    QueryValue,
    SetValue,
    DeleteKey,
    DeleteValue,
    EnumValue,
    QueryInfoKey,
    // Every sub-key name of a key in one answer, through RegEnumKeyA or EnumKeyRaw.
    ListKeys,
    ListKeysRaw,
    EnumValueRaw,
    QueryValueRaw,
    SetValueRaw,
    DeleteTree,
    KeyPath,
    BeginBatch,
    CommitBatch,
    RollbackBatch,
    BeginSnapshot,
    EndSnapshot,
};

class Writer {
public:
    void u8(std::uint8_t v) { buf_.push_back(static_cast<char>(v)); }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            buf_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void bytes(const void* data, std::size_t n) {
        u32(static_cast<std::uint32_t>(n));
        buf_.append(static_cast<const char*>(data), n);
    }
    void str(std::string_view s) { bytes(s.data(), s.size()); }
    // A C string the caller may pass as null.
    void cstr(const char* s) {
        u8(s != nullptr);
        if (s)
            str(s);
    }
    // An in/out DWORD the caller may pass as null.
    void dword(const DWORD* p) {
        u8(p != nullptr);
        u32(p ? *p : 0);
    }
    // The whole message, length first.
    std::string framed() const {
        Writer w;
        w.u32(static_cast<std::uint32_t>(buf_.size()));
        return w.buf_ + buf_;
    }

private:
    std::string buf_;
};

// Reads a message; any read past its end leaves ok() false and gives zeros.
class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return pos_ == data_.size(); }

    std::uint8_t u8() { return take(1) ? static_cast<std::uint8_t>(data_[pos_ - 1]) : 0; }
    std::uint32_t u32() {
        if (!take(4))
            return 0;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<std::uint8_t>(data_[pos_ - 4 + static_cast<std::size_t>(i)]);
        return v;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::string_view bytes() {
        const std::uint32_t n = u32();
        if (!take(n))
            return {};
        return data_.substr(pos_ - n, n);
    }
    std::string str() { return std::string(bytes()); }
    std::optional<std::string> cstr() {
        if (!u8())
            return std::nullopt;
        return str();
    }
    std::optional<DWORD> dword() {
        const bool present = u8() != 0;
        const DWORD v = u32();
        return present ? std::optional<DWORD>(v) : std::nullopt;
    }

private:
    bool take(std::size_t n) {
        if (!ok_ || data_.size() - pos_ < n) {
            ok_ = false;
            return false;
        }
        pos_ += n;
        return true;
    }
    std::string_view data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

inline const char* ptr(const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; }
inline DWORD* ptr(std::optional<DWORD>& d) { return d ? &*d : nullptr; }

}  // namespace karvo::reg::pipe
