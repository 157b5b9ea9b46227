// The registry tree's logic on a registry of the test's own, against the recording window's tree.
#include "tree/RegistryTree.h"

#include "RecordingWindow.h"
#include "TestStore.h"
#include "registry/cRegistry.h"

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::tree;
using namespace karvo::test;

namespace {

class RegistryTreeLogic : public ::testing::Test, public test::TestStore {
protected:
    Lines lines;
    test::RecordingWindow view{lines};
    cRegistry registry{store()};
    RegistryTree tree{view, registry};
    RegistryTreeLogic() {
        dropArea(store());
        tree.buildRoots();
    }
    ~RegistryTreeLogic() override { dropArea(store()); }
    // The area's Key path as components, then those given.
    static std::vector<std::string> areaPath(std::vector<std::string> more = {}) {
        const std::string own = kArea.substr(kArea.rfind('\\') + 1);
        std::vector<std::string> parts{"HKEY_CURRENT_USER", "Software", "Karvo Tests", own};
        parts.insert(parts.end(), more.begin(), more.end());
        return parts;
    }
    NodeId area() { return tree.openPath(areaPath()); }
    std::vector<std::string> shown(NodeId parent) {
        std::vector<std::string> texts;
        for (NodeId child : tree.children(parent))
            texts.push_back(view.nodes.at(child).text);
        return texts;
    }
    Lines take() { return std::exchange(lines, {}); }
};

TEST_F(RegistryTreeLogic, OneSortedLevelPerFirstExpansionInOneBatchReadOnce) {
    EXPECT_EQ(view.nodes.size(), 6u);
    EXPECT_EQ(tree.enumerations(), 0);
    for (const char* name : {"zeta", "Alpha", "beta", "Gamma,with comma"})
        touch(kArea + "\\" + name);
    const NodeId at = area();
    ASSERT_NE(at, kNoNode);
    EXPECT_EQ(take().back(), "open " + kArea);
    EXPECT_EQ(shown(at), (std::vector<std::string>{"Alpha", "beta", "Gamma,with comma", "zeta"}));
    tree.expanded(at);  // already read: nothing more
    tree.open(at);
    EXPECT_EQ(take(), Lines{});
    const NodeId comma = tree.children(at)[2];
    EXPECT_EQ(tree.nodeKey(comma), "K-2147483647,\\" + kAreaUnderUser + "\\Gamma,with comma");
    // Read and found empty: never opened, never read twice, its expander gone.
    const int reads = tree.enumerations();
    tree.open(comma);
    tree.open(comma);
    EXPECT_EQ(tree.enumerations(), reads + 1);
    EXPECT_EQ(take(), Lines{});
    EXPECT_TRUE(view.nodes.at(comma).read);
    EXPECT_EQ(view.nodes.at(comma).image, Image::OpenFolder);
    EXPECT_EQ(tree.openPath(areaPath({"Alpha", "Nothing"})), kNoNode);
    EXPECT_EQ(tree.fullPath(tree.selectedNode()), kArea + "\\Alpha");
}

TEST_F(RegistryTreeLogic, ACollapseForgetsTheBranchAndTheMarkAndARootGoesLast) {
    touch(kArea + "\\One");
    const NodeId at = area();
    tree.mark(at);
    touch(kArea + "\\Two");
    take();
    tree.collapsed(at);  // closed by the user
    EXPECT_EQ(take(), (Lines{"remove under " + kArea, "select " + kArea}));
    EXPECT_FALSE(tree.isMarked(at));
    EXPECT_FALSE(view.nodes.at(at).read);
    EXPECT_EQ(view.nodes.at(at).image, Image::ClosedFolder);
    tree.expanded(at);
    EXPECT_EQ(shown(at), (std::vector<std::string>{"One", "Two"}));
    const NodeId hkcu = tree.rootOf(at);
    take();
    tree.collapse(hkcu);
    EXPECT_EQ(take(), (Lines{"close HKEY_CURRENT_USER", "remove under HKEY_CURRENT_USER", "select HKEY_CURRENT_USER",
                             "to end HKEY_CURRENT_USER", "select HKEY_CURRENT_USER"}));
    EXPECT_EQ(tree.roots().back(), hkcu);
    EXPECT_EQ(view.nodes.size(), 6u);
    // The forgotten nodes' ids are given again, and the paths stay right.
    EXPECT_EQ(view.path(area()), kArea);
}

}  // namespace
