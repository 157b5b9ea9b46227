// The names the registry editor shows for value types.
#pragma once

#include "registry/RegistryService.h"

#include <string>

namespace karvo::reg {

// "REG_SZ", ..., and a type the registry gives no name as "REG_UNKNOWN (0x14)".
std::string typeName(DWORD type);

}  // namespace karvo::reg
