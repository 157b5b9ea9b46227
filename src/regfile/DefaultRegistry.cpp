#include "regfile/DefaultRegistry.h"

#include "regfile/RegFile.h"
#include "registry/RegistryService.h"

namespace karvo::regfile {

// Generated from default.reg when the build is configured.
extern const std::string_view kDefaultRegistryText;

std::string_view defaultRegistryText() { return kDefaultRegistryText; }

void installDefaultRegistry() {
    // The text ships with the program and a test imports it, so a failure here would be a broken
    // build; the new store then simply starts with its bare roots.
    reg::setNewStoreInitializer(
        [](reg::RegistryService& service) { importRegBytes(service, defaultRegistryText(), "default.reg"); });
}

}  // namespace karvo::regfile
