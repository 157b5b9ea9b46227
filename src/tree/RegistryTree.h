// The registry tree: six root hives, filled lazily one level per first expansion and forgetting a
// sub-tree when it is collapsed, so the next expansion reads the registry afresh. The nodes live
// here; the control that shows them only mirrors what TreeView is told.
#pragma once

#include "tree/KeyPaths.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class cRegistry;

namespace karvo::tree {

// The pictures a node shows (the image list's keys OPENFOLDER, DATAITEM, CLOSEDFOLDER, SELECTED).
enum class Image : std::uint8_t { None, OpenFolder, DataItem, ClosedFolder, Selected };

// A node's identity, given by the tree; a forgotten node's id is given to a later node.
using NodeId = std::uint32_t;
inline constexpr NodeId kNoNode = 0xFFFFFFFFu;

// What the tree asks of the control that shows it.
class TreeView {
public:
    // Appends the nodes ids[i] with texts[i] under parent (kNoNode: the top level), in one batch;
    // each shows the closed folder and an expander, since its sub-keys have not been read.
    virtual void addNodes(NodeId parent, std::span<const NodeId> ids, std::span<const std::string> texts) = 0;
    // Drops every node below node.
    virtual void removeChildren(NodeId node) = 0;
    // Puts a top-level node after all the others.
    virtual void moveToEnd(NodeId root) = 0;
    // image is shown normally, selectedImage (unless None) while the node is selected.
    virtual void setImages(NodeId node, Image image, Image selectedImage) = 0;
    // Read: the expander follows the children; not read: it is always shown.
    virtual void setRead(NodeId node, bool read) = 0;
    virtual void setExpanded(NodeId node, bool expanded) = 0;
    virtual void select(NodeId node) = 0;
    virtual void scrollTo(NodeId node) = 0;
    // The hourglass, nested: shown from the first true to the last false.
    virtual void setBusy(bool busy) = 0;

protected:
    ~TreeView() = default;
};

class RegistryTree {
public:
    // reg reads the sub-keys.
    RegistryTree(TreeView& view, cRegistry& reg) : view_(view), reg_(reg) {}

    // Adds the six root hive nodes, each not read yet.
    void buildRoots();

    // Events from the control: the user opened or closed a node, or the selection moved.
    void expanded(NodeId node);
    void collapsed(NodeId node);
    void selected(NodeId node);

    // Reads the node's sub-keys if they have not been read yet and shows the open folder, without
    // opening the node on screen.
    void expand(NodeId node);
    // expand, then opens the node on screen when it has sub-keys.
    void open(NodeId node);
    // Shows the closed folder; a node with children forgets them (see forget); such a root moves
    // to the end of the roots.
    void collapse(NodeId node);
    // Back to a fresh node: its sub-tree and mark dropped, not read, selected.
    void forget(NodeId node);
    void select(NodeId node);
    void scrollTo(NodeId node) { view_.scrollTo(node); }

    // The check mark: the key the backup command works on.
    void mark(NodeId node) { setSelectedImage(node, Image::Selected); }
    void unmark(NodeId node) { setSelectedImage(node, Image::None); }
    bool isMarked(NodeId node) const { return valid(node) && nodes_[node].selectedImage == Image::Selected; }
    // Read: its sub-keys have been read since it was created or last forgotten.
    bool isEnumerated(NodeId node) const { return valid(node) && nodes_[node].enumerated; }
    bool isExpanded(NodeId node) const { return valid(node) && nodes_[node].expanded; }
    Image image(NodeId node) const { return valid(node) ? nodes_[node].image : Image::None; }
    Image selectedImage(NodeId node) const { return valid(node) ? nodes_[node].selectedImage : Image::None; }
    const std::string& text(NodeId node) const { return nodes_.at(node).text; }
    NodeId parent(NodeId node) const { return nodes_.at(node).parent; }
    std::span<const NodeId> children(NodeId node) const { return nodes_.at(node).children; }
    std::span<const NodeId> roots() const { return roots_; }
    NodeId rootOf(NodeId node) const;

    // The node's Key path: the texts from its root down, joined by "\".
    std::string fullPath(NodeId node) const;
    std::string nodeKey(NodeId node) const;

    // The selected node, or kNoNode.
    NodeId selectedNode() const { return selected_; }
    // Selects and opens the way down to the key that components name (root first); returns the
    // last node reached when every component was found, kNoNode otherwise. Names match exactly.
    NodeId openPath(const std::vector<std::string>& components);

    // How many times the registry was asked for sub-key names (tests and the benchmark).
    int enumerations() const { return enumerations_; }

private:
    struct Node {
        std::string text;
        NodeId parent = kNoNode;
        std::vector<NodeId> children;
        Image image = Image::ClosedFolder;
        Image selectedImage = Image::None;
        bool enumerated = false;
        bool expanded = false;
        bool live = false;
    };
    class Busy {
    public:
        explicit Busy(TreeView& view) : view_(view) { view_.setBusy(true); }
        ~Busy() { view_.setBusy(false); }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        TreeView& view_;
    };

    bool valid(NodeId node) const { return node < nodes_.size() && nodes_[node].live; }
    void add(NodeId parent, std::vector<std::string> texts);
    void release(NodeId node);
    void setImages(NodeId node, Image image, Image selectedImage);
    void setSelectedImage(NodeId node, Image image);
    std::vector<std::string> readSubKeys(NodeId node);

    TreeView& view_;
    cRegistry& reg_;
    std::vector<Node> nodes_;
    std::vector<NodeId> free_;
    std::vector<NodeId> roots_;
    NodeId selected_ = kNoNode;
    int enumerations_ = 0;
};

}  // namespace karvo::tree
