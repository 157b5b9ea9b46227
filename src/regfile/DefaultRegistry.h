// The default registry: a new store starts looking like a fresh Windows installation.
#pragma once

#include <string_view>

namespace karvo::regfile {

// The .reg text shipped with the program.
std::string_view defaultRegistryText();

// Makes every store created from now on in this process start with the default registry.
void installDefaultRegistry();

}  // namespace karvo::regfile
