#include "tree/RegistryTree.h"

#include "registry/cRegistry.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace karvo::tree {

void RegistryTree::buildRoots() {
    std::vector<std::string> names;
    for (const RootHive& hive : kRootHives)
        names.emplace_back(hive.name);
    add(kNoNode, std::move(names));
}

void RegistryTree::add(NodeId parent, std::vector<std::string> texts) {
    std::vector<NodeId> ids(texts.size());
    for (NodeId& id : ids) {
        if (!free_.empty()) {
            id = free_.back();
            free_.pop_back();
        } else {
            id = static_cast<NodeId>(nodes_.size());
            nodes_.emplace_back();
        }
    }
    // The control is told first, from the same texts, before they move into the nodes.
    view_.addNodes(parent, ids, texts);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Node& node = nodes_[ids[i]];
        node.text = std::move(texts[i]);
        node.parent = parent;
        node.live = true;
    }
    std::vector<NodeId>& siblings = parent == kNoNode ? roots_ : nodes_[parent].children;
    if (siblings.empty())
        siblings = std::move(ids);
    else
        siblings.insert(siblings.end(), ids.begin(), ids.end());
}

void RegistryTree::release(NodeId node) {
    for (NodeId child : nodes_[node].children)
        release(child);
    nodes_[node] = Node{};
    free_.push_back(node);
}

std::vector<std::string> RegistryTree::readSubKeys(NodeId node) {
    std::vector<std::string> names;
    const auto parts = readNodeKey(nodeKey(node));
    if (!parts)
        return names;
    ++enumerations_;
    reg_.setClassKey(parts->handle);
    reg_.setSectionKey(parts->subKeyPath);
    std::int32_t count = 0;
    try {
        reg_.EnumerateSections(names, count);
    } catch (const std::exception&) {
        // A key that cannot be read shows no sub-keys; the tree never reports errors.
        names.clear();
        count = 0;
    }
    names.resize(static_cast<std::size_t>(std::max<std::int32_t>(0, count)));
    return names;
}

void RegistryTree::expand(NodeId id) {
    if (!valid(id))
        return;
    Busy busy(view_);
    if (!nodes_[id].enumerated) {
        nodes_[id].enumerated = true;
        std::vector<std::string> names = readSubKeys(id);
        // Children are added already in order, in one call: a control sorting them afterwards
        // costs far more for large keys.
        if (!std::is_sorted(names.begin(), names.end(), lessIgnoringCase))
            std::stable_sort(names.begin(), names.end(), lessIgnoringCase);
        if (!names.empty())
            add(id, std::move(names));
        view_.setRead(id, true);
    }
    setImages(id, Image::OpenFolder, nodes_[id].selectedImage);
}

void RegistryTree::open(NodeId id) {
    expand(id);
    if (valid(id) && !nodes_[id].expanded && !nodes_[id].children.empty()) {
        nodes_[id].expanded = true;
        view_.setExpanded(id, true);
    }
}

void RegistryTree::expanded(NodeId id) {
    if (!valid(id))
        return;
    expand(id);
    nodes_[id].expanded = !nodes_[id].children.empty();
}

void RegistryTree::collapse(NodeId id) {
    if (valid(id) && nodes_[id].expanded)
        view_.setExpanded(id, false);
    collapsed(id);
}

void RegistryTree::collapsed(NodeId id) {
    if (!valid(id))
        return;
    nodes_[id].expanded = false;
    setImages(id, Image::ClosedFolder, nodes_[id].selectedImage);
    Busy busy(view_);
    if (nodes_[id].children.empty())
        return;
    forget(id);
    // A root comes back as a new root after the others: the root level is never sorted.
    const auto at = std::find(roots_.begin(), roots_.end(), id);
    if (at != roots_.end() && at + 1 != roots_.end()) {
        roots_.erase(at);
        roots_.push_back(id);
        view_.moveToEnd(id);
        select(id);
    }
}

void RegistryTree::forget(NodeId id) {
    if (!valid(id))
        return;
    // The node starts afresh and stays in its place, which is its sorted place among siblings.
    Node& node = nodes_[id];
    if (!node.children.empty()) {
        view_.removeChildren(id);
        for (NodeId child : std::exchange(node.children, {}))
            release(child);
    }
    node.expanded = false;
    node.enumerated = false;
    view_.setRead(id, false);
    setSelectedImage(id, Image::None);
    select(id);
}

void RegistryTree::select(NodeId id) {
    if (!valid(id))
        return;
    selected_ = id;
    view_.select(id);
}

void RegistryTree::selected(NodeId id) { selected_ = valid(id) ? id : kNoNode; }

void RegistryTree::setImages(NodeId id, Image image, Image selectedImage) {
    Node& node = nodes_[id];
    if (node.image == image && node.selectedImage == selectedImage)
        return;
    node.image = image;
    node.selectedImage = selectedImage;
    view_.setImages(id, image, selectedImage);
}

void RegistryTree::setSelectedImage(NodeId id, Image image) {
    if (valid(id))
        setImages(id, nodes_[id].image, image);
}

NodeId RegistryTree::rootOf(NodeId id) const {
    while (valid(id) && nodes_[id].parent != kNoNode)
        id = nodes_[id].parent;
    return valid(id) ? id : kNoNode;
}

std::string RegistryTree::fullPath(NodeId id) const {
    std::vector<const std::string*> parts;
    for (NodeId at = id; valid(at); at = nodes_[at].parent)
        parts.push_back(&nodes_[at].text);
    std::string path;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        if (!path.empty() || part != parts.rbegin())
            path += '\\';
        path += **part;
    }
    return path;
}

std::string RegistryTree::nodeKey(NodeId id) const {
    if (!valid(id))
        return {};
    const NodeId parent = nodes_[id].parent;
    if (parent == kNoNode) {
        for (const RootHive& hive : kRootHives)
            if (nodes_[id].text == hive.name)
                return rootNodeKey(hive.handle);
        return {};
    }
    const std::string parentKey = nodeKey(parent);
    return parentKey.empty() ? std::string() : childNodeKey(parentKey, nodes_[parent].parent == kNoNode, nodes_[id].text);
}

NodeId RegistryTree::openPath(const std::vector<std::string>& components) {
    NodeId current = kNoNode;
    for (std::size_t level = 0; level < components.size(); ++level) {
        const std::span<const NodeId> among = level == 0 ? roots() : children(current);
        const auto next = std::find_if(among.begin(), among.end(),
                                       [&](NodeId n) { return nodes_[n].text == components[level]; });
        if (next == among.end())
            return kNoNode;
        current = *next;
        select(current);
        open(current);
    }
    return current;
}

}  // namespace karvo::tree
