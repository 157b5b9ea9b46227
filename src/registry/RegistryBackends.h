// How the registry service's pieces find each other inside the library.
#pragma once

#include "registry/RegistryService.h"

#include <memory>

namespace karvo::reg::detail {

// The initializer set by setNewStoreInitializer (empty when none was set).
NewStoreInitializer newStoreInitializer();

#ifdef _WIN32
// The back end over the system's own registry.
std::unique_ptr<RegistryService> makeWin32Registry();
#endif

}  // namespace karvo::reg::detail
