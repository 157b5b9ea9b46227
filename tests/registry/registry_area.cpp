// Wine's registry, where it answers otherwise than Windows does (the suites say where).
#include "registry_area.h"

#ifdef _WIN32
#include <windows.h>

bool karvo::test::underWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}
#endif
