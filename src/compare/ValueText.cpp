#include "compare/ValueText.h"

#include "registry/TextCodec.h"

#include <cstdio>

namespace karvo::compare {

namespace {

std::string hexBytes(std::string_view bytes) {
    if (bytes.empty())
        return "(zero-length binary value)";
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::size_t shown = bytes.size() < kShownBytes ? bytes.size() : kShownBytes;
    std::string text;
    text.reserve(shown * 3 + 32);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i)
            text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    if (shown < bytes.size())
        text += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

std::string number(std::uint64_t value, int digits) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "0x%0*llx (%llu)", digits, static_cast<unsigned long long>(value),
                  static_cast<unsigned long long>(value));
    return buffer;
}

// The UTF-16 strings the bytes hold, split at each zero; the terminator ends nothing extra.
std::vector<std::string> strings(std::string_view bytes) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == 0 && bytes[i + 1] == 0) {
            out.push_back(text::utf16leToUtf8(bytes.substr(start, i - start)));
            start = i + 2;
        }
    }
    // A string without its terminator still counts.
    if (start < bytes.size())
        out.push_back(text::utf16leToUtf8(bytes.substr(start)));
    return out;
}

}  // namespace

std::string valueName(std::string_view name) { return name.empty() ? "(Default)" : std::string(name); }

std::vector<std::string> dataLines(std::string_view name, const Data& data) {
    const std::string_view bytes = data.bytes;
    if (name.empty() && bytes.empty() && data.type == reg::kRegSz)
        return {"(value not set)"};
    const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])); };
    switch (data.type) {
    case reg::kRegSz:
    case reg::kRegExpandSz:
        if (bytes.size() % 2 == 0) {
            // The editor shows a string up to its first zero.
            std::vector<std::string> parts = strings(bytes);
            return {parts.empty() ? std::string() : std::move(parts.front())};
        }
        break;
    case reg::kRegMultiSz:
        if (bytes.size() % 2 == 0) {
            std::vector<std::string> parts = strings(bytes);
            // The list ends at the first empty string (its closing double zero).
            for (std::size_t i = 0; i < parts.size(); ++i)
                if (parts[i].empty()) {
                    parts.resize(i);
                    break;
                }
            if (parts.empty())
                parts.emplace_back();
            return parts;
        }
        break;
    case reg::kRegDword:
        if (bytes.size() == 4)
            return {number(byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24, 8)};
        break;
    case reg::kRegDwordBigEndian:
        if (bytes.size() == 4)
            return {number(byte(3) | byte(2) << 8 | byte(1) << 16 | byte(0) << 24, 8)};
        break;
    case reg::kRegQword:
        if (bytes.size() == 8) {
            std::uint64_t value = 0;
            for (std::size_t i = 8; i-- > 0;)
                value = value << 8 | byte(i);
            return {number(value, 16)};
        }
        break;
    default: break;
    }
    return {hexBytes(bytes)};
}

std::string dataText(std::string_view name, const Data& data) {
    std::vector<std::string> lines = dataLines(name, data);
    std::string text = std::move(lines.front());
    for (std::size_t i = 1; i < lines.size(); ++i)
        text += ' ' + lines[i];
    return text;
}

}  // namespace karvo::compare
