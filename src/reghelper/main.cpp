// reghelper: serves a registry over its standard input and output, one answer per request, until
// its input ends. Built for Windows it serves the system's registry (under Wine: the prefix's);
// built here it serves the store file named on its command line, which the tests use to check the
// protocol without Wine.
#include "registry/RegistryPipe.h"
#include "registry/RegistryService.h"

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The protocol is binary: no CR LF translation, and text is UTF-8 (the program's manifest
    // makes UTF-8 the code page of the ANSI registry functions).
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    (void)argc;
    (void)argv;
    return karvo::reg::serveRegistry(karvo::reg::systemRegistry(), stdin, stdout);
#else
    if (argc != 2) {
        std::fputs("usage: reghelper STORE-FILE\n", stderr);
        return 2;
    }
    const std::unique_ptr<karvo::reg::RegistryService> store = karvo::reg::openStore(argv[1]);
    return karvo::reg::serveRegistry(*store, stdin, stdout);
#endif
}
