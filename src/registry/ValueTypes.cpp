#include "registry/ValueTypes.h"

#include <cstdio>

namespace karvo::reg {

std::string typeName(DWORD type) {
    switch (type) {
    case kRegNone: return "REG_NONE";
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegDwordBigEndian: return "REG_DWORD_BIG_ENDIAN";
    case kRegLink: return "REG_LINK";
    case kRegMultiSz: return "REG_MULTI_SZ";
    case 8: return "REG_RESOURCE_LIST";
    case 9: return "REG_FULL_RESOURCE_DESCRIPTOR";
    case 10: return "REG_RESOURCE_REQUIREMENTS_LIST";
    case kRegQword: return "REG_QWORD";
    default: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "REG_UNKNOWN (0x%x)", static_cast<unsigned>(type));
        return buf;
    }
    }
}

}  // namespace karvo::reg
