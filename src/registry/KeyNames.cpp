#include "registry/KeyNames.h"

#include "registry/RootKeys.h"

#include "registry/TextCodec.h"

namespace karvo::reg::detail {

namespace {

// In these ranges upper and lower case alternate: the upper form sits at the even code point
// when evenUpper is set, at the odd one otherwise.
struct PairRange {
    char32_t first;
    char32_t last;
    bool evenUpper;
};

constexpr PairRange kPairRanges[] = {
    {0x0100, 0x0137, true},  {0x0139, 0x0148, false}, {0x014A, 0x0177, true},
    {0x0179, 0x017E, false}, {0x03D8, 0x03EF, true},  {0x0460, 0x0481, true},
    {0x048A, 0x04BF, true},  {0x04C1, 0x04CE, false}, {0x04D0, 0x052F, true},
};

}  // namespace

char32_t upcase(char32_t cp) {
    if (cp < 0x80)
        return (cp >= U'a' && cp <= U'z') ? cp - 0x20 : cp;
    if (cp < 0x100) {
        if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)
            return cp - 0x20;
        return cp == 0xFF ? char32_t{0x178} : cp;
    }
    if (cp == 0x0131)
        return U'I';  // dotless i
    for (const PairRange& r : kPairRanges) {
        if (cp >= r.first && cp <= r.last) {
            const bool isEven = (cp % 2) == 0;
            return isEven == r.evenUpper ? cp : cp - 1;
        }
    }
    // Greek.
    if ((cp >= 0x03B1 && cp <= 0x03C1) || (cp >= 0x03C3 && cp <= 0x03CB))
        return cp - 0x20;
    switch (cp) {
    case 0x03C2: return 0x03A3;  // final sigma
    case 0x03AC: return 0x0386;
    case 0x03AD: return 0x0388;
    case 0x03AE: return 0x0389;
    case 0x03AF: return 0x038A;
    case 0x03CC: return 0x038C;
    case 0x03CD: return 0x038E;
    case 0x03CE: return 0x038F;
    case 0x04CF: return 0x04C0;
    default: break;
    }
    // Cyrillic.
    if (cp >= 0x0430 && cp <= 0x044F)
        return cp - 0x20;
    if (cp >= 0x0450 && cp <= 0x045F)
        return cp - 0x50;
    return cp;
}

std::string foldName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c));
            ++pos;
            continue;
        }
        text::appendUtf8(out, upcase(text::nextCodePoint(utf8, pos)));
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80)
            ++units;            // a lead byte or ASCII starts a character
        if ((c & 0xF8) == 0xF0)
            ++units;            // four-byte forms need a surrogate pair
    }
    return units;
}

std::string cleanName(std::string_view bytes) {
    if (text::isValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size())
        text::appendUtf8(out, text::nextCodePoint(bytes, pos));
    return out;
}

std::vector<std::string> splitKeyPath(std::string_view path) {
    const std::vector<std::string_view> parts = keyPathParts(path);
    return {parts.begin(), parts.end()};
}

}  // namespace karvo::reg::detail
