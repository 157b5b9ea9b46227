#include "tree/RegistryTree.h"

#include "TestStore.h"
#include "registry/cRegistry.h"

#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace karvo;
using karvo::tree::Image;
using karvo::tree::RegistryTree;

namespace {

class RegistryTreeTest : public ::testing::Test, public test::TestStore {
protected:
    cRegistry registry{store()};
    QTreeWidget widget;
    RegistryTree tree{&widget, registry};
    void SetUp() override { tree.buildRoots(); }
    QTreeWidgetItem* root(const QString& name) { return widget.findItems(name, Qt::MatchExactly).value(0); }
    static QStringList texts(QTreeWidgetItem* item) {
        QStringList t;
        for (int i = 0; i < item->childCount(); ++i)
            t.append(item->child(i)->text(0));
        return t;
    }
    static QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text) {
        return item->child(static_cast<int>(texts(item).indexOf(text)));
    }
    // What the view draws an expander for.
    bool expander(QTreeWidgetItem* item) const { return widget.model()->hasChildren(widget.indexFromItem(item)); }
    // Not read yet, nothing below it, yet offered for expansion.
    bool waiting(QTreeWidgetItem* item) const {
        return !RegistryTree::isEnumerated(item) && item->childCount() == 0 && expander(item);
    }
};

TEST_F(RegistryTreeTest, SixRootsThenOneLevelPerFirstExpansionInAlphabeticalOrder) {
    const QStringList roots{"HKEY_CLASSES_ROOT",  "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE",
                            "HKEY_USERS",         "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
    ASSERT_EQ(widget.topLevelItemCount(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(widget.topLevelItem(i)->text(0), roots[i]);
        EXPECT_EQ(RegistryTree::image(widget.topLevelItem(i)), Image::ClosedFolder);
        EXPECT_TRUE(waiting(widget.topLevelItem(i)));
    }
    EXPECT_EQ(tree.enumerations(), 0);
    for (const char* name : {"zeta", "Alpha", "beta", "Gamma,with comma", "Unexpanded"})
        touch(std::string("HKEY_CURRENT_USER\\Software\\") + name);
    QTreeWidgetItem* hkcu = root("HKEY_CURRENT_USER");
    hkcu->setExpanded(true);
    EXPECT_EQ(RegistryTree::image(hkcu), Image::OpenFolder);
    QTreeWidgetItem* software = child(hkcu, "Software");
    ASSERT_TRUE(software);
    software->setExpanded(true);
    EXPECT_EQ(texts(software), (QStringList{"Alpha", "beta", "Gamma,with comma", "Unexpanded", "zeta"}));
    for (int i = 0; i < software->childCount(); ++i)
        EXPECT_TRUE(waiting(software->child(i))) << i;
    QTreeWidgetItem* comma = child(software, "Gamma,with comma");
    EXPECT_EQ(RegistryTree::nodeKey(comma), "K-2147483647,\\Software\\Gamma,with comma");
    // Read and found empty: no expander left, and no second read.
    comma->setExpanded(true);
    EXPECT_TRUE(RegistryTree::isEnumerated(comma));
    EXPECT_FALSE(expander(comma));
    EXPECT_EQ(RegistryTree::image(comma), Image::OpenFolder);
    const int reads = tree.enumerations();
    comma->setExpanded(false);
    comma->setExpanded(true);
    EXPECT_EQ(tree.enumerations(), reads);
    EXPECT_FALSE(expander(comma));
}

TEST_F(RegistryTreeTest, ReadOnceUntilCollapsedThenAfreshAndACollapsedRootLosesItsMark) {
    for (const char* key : {"HKEY_LOCAL_MACHINE\\KarvoTest\\One", "HKEY_USERS\\.DEFAULT\\Control Panel"})
        touch(key);
    QTreeWidgetItem* hklm = root("HKEY_LOCAL_MACHINE");
    tree.expand(hklm);  // what a click does: read without opening on screen
    EXPECT_FALSE(hklm->isExpanded());
    const int reads = tree.enumerations();
    hklm->setExpanded(true);
    EXPECT_EQ(tree.enumerations(), reads);
    QTreeWidgetItem* sw = child(hklm, "KarvoTest");
    sw->setExpanded(true);
    EXPECT_EQ(texts(sw), QStringList{"One"});
    touch("HKEY_LOCAL_MACHINE\\KarvoTest\\Two");
    sw->setExpanded(false);
    EXPECT_EQ(RegistryTree::image(sw), Image::ClosedFolder);
    EXPECT_TRUE(waiting(sw));
    EXPECT_EQ(widget.currentItem(), sw);
    sw->setExpanded(true);
    EXPECT_EQ(texts(sw), (QStringList{"One", "Two"}));
    QTreeWidgetItem* users = root("HKEY_USERS");
    users->setExpanded(true);
    child(users, ".DEFAULT")->setExpanded(true);
    widget.setCurrentItem(users);
    RegistryTree::mark(users);
    EXPECT_TRUE(RegistryTree::isMarked(users));
    users->setExpanded(false);
    EXPECT_FALSE(RegistryTree::isMarked(users));
    EXPECT_TRUE(waiting(users));
    EXPECT_EQ(tree.selectedNode(), users);
    // It comes back after the other roots.
    EXPECT_EQ(widget.topLevelItemCount(), 6);
    EXPECT_EQ(widget.indexOfTopLevelItem(users), 5);
    EXPECT_EQ(widget.topLevelItem(3)->text(0), "HKEY_CURRENT_CONFIG");
    // A read node without sub-keys only changes its picture when collapsed.
    QTreeWidgetItem* dyn = root("HKEY_DYN_DATA");
    dyn->setExpanded(true);
    tree.collapse(dyn);
    EXPECT_EQ(RegistryTree::image(dyn), Image::ClosedFolder);
    EXPECT_EQ(dyn->childCount(), 0);
}

}  // namespace
