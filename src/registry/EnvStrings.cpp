// The kernel helpers that come with the registry functions.

#include "registry/RegistryService.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>
// <windows.h> makes RtlMoveMemory a macro for memmove, which would rename our own helper.
#undef RtlMoveMemory
#else
extern char** environ;
#endif

namespace karvo::reg {

#ifdef _WIN32

DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize) {
    return ::ExpandEnvironmentStringsA(lpSrc, lpDst, nSize);
}

#else

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 0x20);
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 0x20);
        if (x != y)
            return false;
    }
    return true;
}

// The variable's value, its letter case ignored; an exact match wins over one that differs only
// in case, since names here are case-sensitive while Windows programs expect them not to be.
const char* lookUp(std::string_view name) {
    const char* loose = nullptr;
    for (char** e = environ; e && *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (!eq || eq == *e)
            continue;
        const std::string_view candidate(*e, static_cast<std::size_t>(eq - *e));
        if (candidate == name)
            return eq + 1;
        if (!loose && equalsIgnoringCase(candidate, name))
            loose = eq + 1;
    }
    return loose;
}

}  // namespace

DWORD ExpandEnvironmentStringsA(const char* lpSrc, char* lpDst, DWORD nSize) {
    if (!lpSrc)
        return 0;
    const std::string_view src(lpSrc);
    std::string out;
    std::size_t pos = 0;
    while (pos < src.size()) {
        const std::size_t open = src.find('%', pos);
        if (open == std::string_view::npos) {
            out.append(src.substr(pos));
            break;
        }
        out.append(src.substr(pos, open - pos));
        const std::size_t close = src.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(src.substr(open));  // a lone "%" stays as written
            break;
        }
        const std::string name(src.substr(open + 1, close - open - 1));
        const char* value = name.empty() ? nullptr : lookUp(name);
        if (value)
            out.append(value);
        else
            out.append(src.substr(open, close - open + 1));  // unknown: "%NAME%" as written
        pos = close + 1;
    }
    const std::size_t needed = out.size() + 1;
    if (needed > 0xFFFFFFFFu)
        return 0;
    if (lpDst && nSize >= needed)
        std::memcpy(lpDst, out.c_str(), needed);
    return static_cast<DWORD>(needed);
}

#endif  // _WIN32

void RtlMoveMemory(void* destination, const void* source, std::size_t length) {
    if (length && destination && source)
        std::memmove(destination, source, length);
}

}  // namespace karvo::reg
