// The registry tree: six root hives, filled lazily one level per first expansion and forgetting a
// sub-tree when it is collapsed, so the next expansion reads the registry afresh.
#pragma once

#include "tree/ImageList.h"
#include "tree/KeyPaths.h"

#include <QObject>
#include <QStringList>
#include <QTreeWidgetItem>

#include <string>
#include <vector>

class QTreeWidget;
class cRegistry;

namespace karvo::tree {

// One node of the tree. Pictures are held as small codes and turned into icons on demand, and a
// node whose sub-keys have not been read yet shows its expander through the indicator policy
// rather than through a stand-in child: both keep a level of a hundred thousand keys cheap.
class RegNode : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    // A new node is not enumerated: it shows an expander until its sub-keys have been read.
    RegNode(const QString& text, Image image);

    // The name is kept here rather than in the item's generic per-role storage, which would cost
    // two more allocations per key.
    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;

    Image image() const { return image_; }
    void setImage(Image image);
    Image selectedImage() const { return selectedImage_; }
    void setSelectedImage(Image image);
    bool isEnumerated() const { return enumerated_; }
    // Once read, the expander follows the children; unread, it is always shown.
    void setEnumerated(bool enumerated);
    bool isSorted() const { return sorted_; }
    void setSorted(bool sorted) { sorted_ = sorted; }

private:
    QString text_;
    Image image_;
    Image selectedImage_ = Image::None;
    bool enumerated_ = false;
    bool sorted_ = false;
};

class RegistryTree : public QObject {
    Q_OBJECT
public:
    // Follows the tree's expand and collapse signals from now on; reg reads the sub-keys.
    RegistryTree(QTreeWidget* tree, cRegistry& reg, QObject* parent = nullptr);

    QTreeWidget* widget() const { return tree_; }

    // Adds the six root hive nodes, each not enumerated yet.
    void buildRoots();

    // Reads the node's sub-keys if they have not been read yet and shows the open folder.
    // Runs for every expansion, also for one the program makes.
    void expand(QTreeWidgetItem* item);
    // Shows the closed folder; a node with children forgets them, becomes not enumerated again,
    // loses its mark and becomes the selected node; such a root moves to the end of the roots.
    void collapse(QTreeWidgetItem* item);
    // What a collapse does to a node with children, for any read node: back to a fresh,
    // unmarked, not enumerated node, selected.
    void forget(QTreeWidgetItem* item);

    // Marks the node with the check mark (the key the backup command works on).
    static void mark(QTreeWidgetItem* item);
    static void unmark(QTreeWidgetItem* item);
    static bool isMarked(const QTreeWidgetItem* item);
    // Enumerated: its sub-keys have been read since it was created or last forgotten.
    static bool isEnumerated(const QTreeWidgetItem* item);
    static Image image(const QTreeWidgetItem* item);
    static Image selectedImage(const QTreeWidgetItem* item);

    // The node's Key path: the texts from its root down, joined by "\".
    static QString fullPath(const QTreeWidgetItem* item);
    static QString nodeKey(const QTreeWidgetItem* item);
    static QTreeWidgetItem* rootOf(QTreeWidgetItem* item);

    // The tree's selected node, or nullptr.
    QTreeWidgetItem* selectedNode() const;
    // Selects and expands the way down to the key that components name (root first); returns the
    // last node reached when every component was found, nullptr otherwise. Names match exactly.
    QTreeWidgetItem* openPath(const QStringList& components);

    // How many times the registry was asked for sub-key names (tests and the benchmark).
    int enumerations() const { return enumerations_; }

private:
    std::vector<std::string> readSubKeys(const QString& nodeKey);

    QTreeWidget* tree_;
    cRegistry& reg_;
    int enumerations_ = 0;
};

}  // namespace karvo::tree
