// The Win32 comparison window, made for real in this process and driven by window messages as a
// user's keys and clicks would arrive (what is shown where is the logic's, tested beside it).
// The registry's headers name a kernel helper that <windows.h> makes a macro: they come first.
#include "registry/RegistryService.h"

#include "SampleComparison.h"
#include "ui/win32/frmCompare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace karvo::win32 {
namespace {

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<std::string> rows(HWND tree, HTREEITEM parent) {
    std::vector<std::string> out;
    for (HTREEITEM at = parent ? TreeView_GetChild(tree, parent) : TreeView_GetRoot(tree); at;
         at = TreeView_GetNextSibling(tree, at)) {
        wchar_t buffer[512] = {};
        TVITEMW get{};
        get.mask = TVIF_TEXT | TVIF_HANDLE;
        get.hItem = at;
        get.pszText = buffer;
        get.cchTextMax = 512;
        TreeView_GetItem(tree, &get);
        out.push_back(utf8(buffer));
    }
    return out;
}

TEST(Win32CompareWindow, ShowsTheTopKeyOpenAndFillsEachLevelOnItsFirstExpansion) {
    int closed = 0;
    frmCompare window(GetModuleHandleW(nullptr), nullptr, "Sample.reg", test::sampleComparison(), [&] { ++closed; });
    EXPECT_EQ(windowText(window.hwnd()), "Compare Sample.reg with the Registry");
    for (const compare::Control& c : compare::controls())
        ASSERT_NE(window.control(c.name), nullptr) << c.name;
    EXPECT_EQ(windowText(window.control("lblCounts")).rfind("2 values changed, 1 only in the backup", 0), 0u);
    EXPECT_EQ(SendMessageW(window.control("optDifferences"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(window.control("optEverything"), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    HWND tree = window.control("tvwCompare");
    ASSERT_EQ(rows(tree, nullptr), std::vector<std::string>{"* HKEY_CURRENT_USER\\Software\\Sample"});
    HTREEITEM top = TreeView_GetRoot(tree);
    EXPECT_TRUE(TreeView_GetItemState(tree, top, TVIS_EXPANDED) & TVIS_EXPANDED);  // the top key opens at once
    // The keyboard's way to open and close a row: choose it, then the arrow keys.
    const auto key = [&](HTREEITEM at, WPARAM vk) {
        TreeView_SelectItem(tree, at);
        SendMessageW(tree, WM_KEYDOWN, vk, 0);
        pump();
    };
    const std::vector<std::string> level = rows(tree, top);
    ASSERT_EQ(level.size(), 6u);
    EXPECT_EQ(level[0], "\u2260 Colour  [REG_SZ]  red \u2192 blue");
    EXPECT_EQ(level[1], "+ Gone  [REG_DWORD]  0x0000002a (42)");
    EXPECT_EQ(level[4], "\u2212 Added");
    key(top, VK_LEFT);
    EXPECT_TRUE(rows(tree, top).empty());  // a closed branch is dropped
    key(top, VK_RIGHT);
    EXPECT_EQ(rows(tree, top), level);

    const auto press = [&](const char* name) {
        HWND w = window.control(name);
        SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), reinterpret_cast<LPARAM>(w));
        pump();
    };
    press("optEverything");
    EXPECT_EQ(SendMessageW(window.control("optDifferences"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    top = TreeView_GetRoot(tree);
    EXPECT_EQ(rows(tree, top).size(), 8u);
    EXPECT_EQ(rows(tree, top)[0], "= (Default)  [REG_SZ]  hello");

    press("cmdClose");
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(closed, 1);
}

}  // namespace
}  // namespace karvo::win32
