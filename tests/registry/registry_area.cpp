#include "registry_area.h"

#include "WinePrefix.h"
#include "registry/RegistryPipe.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <random>

#ifdef _WIN32
#include <windows.h>
#endif

namespace karvo::test {

namespace {

std::string uniqueArea() {
    return "Software\\Karvo Tests\\" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}());
}

RegistryService& backEnd(std::unique_ptr<RegistryService>& store, const std::string& file, std::string& skip) {
#ifdef _WIN32
    (void)store, (void)file, (void)skip;
    return systemRegistry();
#else
    if (backEndName() == "wine" && (skip = winePrefixMissing()).empty())
        store = openWineRegistry(testWinePrefix());  // the run's prefix; each test keeps to its area
    else if (backEndName() == "helper")
        store = openHelperRegistry({{(binaryDir() / "windows" / "reghelper").string(), file}, {}, "the test store " + file, ""});
    else
        store = openStore(file);
    return *store;
#endif
}

}  // namespace

std::string backEndName() {
    const char* name = std::getenv("KARVO_TEST_BACKEND");
    return name ? name : "";
}

bool underWine() {
#ifdef _WIN32
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
#else
    return backEndName() == "wine";
#endif
}

RegistryArea::RegistryArea() : reg(backEnd(store, file, skip)), base(uniqueArea()) { area = create(""); }

void RegistryArea::SetUp() {
    if (!skip.empty()) GTEST_SKIP() << skip;
}

RegistryArea::~RegistryArea() {
    for (HKey h : made_) reg.RegCloseKey(h);
    EXPECT_EQ(reg.DeleteTree(root, base.c_str()), kErrorSuccess);
    reg.RegDeleteKeyA(root, "Software\\Karvo Tests");  // only when no other run's area is left in it
}

HKey RegistryArea::create(const std::string& sub, HKey parent, DWORD rights) {
    const std::string full = parent ? sub : sub.empty() ? base : base + "\\" + sub;
    HKey h = 0;
    EXPECT_EQ(reg.RegCreateKeyExA(parent ? parent : root, full.c_str(), 0, "", 0, rights, nullptr, &h, nullptr),
              kErrorSuccess)
        << full;
    made_.push_back(h);
    return h;
}

Strings RegistryArea::subKeys(HKey h) {
    Strings names;
    for (std::string name; reg.EnumKeyRaw(h, static_cast<DWORD>(names.size()), name) == kErrorSuccess;)
        names.push_back(name);
    return listed(names);
}

Strings RegistryArea::valueNames(HKey h) {
    Strings names;
    DWORD type = 0;
    Bytes data;
    for (std::string name; reg.EnumValueRaw(h, static_cast<DWORD>(names.size()), name, type, data) == kErrorSuccess;)
        names.push_back(name);
    return listed(names);
}

Strings RegistryArea::listed(Strings names) {
#ifndef _WIN32
    if (!underWine()) return names;
#endif
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
    });
    return names;
}

}  // namespace karvo::test
