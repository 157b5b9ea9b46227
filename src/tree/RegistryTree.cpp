#include "tree/RegistryTree.h"

#include "platform/BusyCursor.h"
#include "registry/cRegistry.h"

#include <QApplication>
#include <QTreeWidget>

#include <algorithm>
#include <utility>

namespace karvo::tree {

namespace {

using platform::BusyCursor;

RegNode* asNode(QTreeWidgetItem* item) {
    return item && item->type() == RegNode::kType ? static_cast<RegNode*>(item) : nullptr;
}
const RegNode* asNode(const QTreeWidgetItem* item) {
    return item && item->type() == RegNode::kType ? static_cast<const RegNode*>(item) : nullptr;
}

bool lessIgnoringCase(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

}  // namespace

RegNode::RegNode(const QString& text, Image image) : QTreeWidgetItem(kType), text_(text), image_(image) {
    setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

QVariant RegNode::data(int column, int role) const {
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
        return text_;
    if (role == Qt::DecorationRole && column == 0) {
        if (image_ == Image::None)
            return {};
        return ImageList::standard().icon(image_, selectedImage_);
    }
    return QTreeWidgetItem::data(column, role);
}

void RegNode::setData(int column, int role, const QVariant& value) {
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        QString text = value.toString();
        if (text != text_) {
            text_ = std::move(text);
            emitDataChanged();
        }
        return;
    }
    QTreeWidgetItem::setData(column, role, value);
}

void RegNode::setImage(Image image) {
    if (image_ != image) {
        image_ = image;
        emitDataChanged();
    }
}

void RegNode::setEnumerated(bool enumerated) {
    enumerated_ = enumerated;
    setChildIndicatorPolicy(enumerated ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                       : QTreeWidgetItem::ShowIndicator);
}

void RegNode::setSelectedImage(Image image) {
    if (selectedImage_ != image) {
        selectedImage_ = image;
        emitDataChanged();
    }
}

RegistryTree::RegistryTree(QTreeWidget* tree, cRegistry& reg, QObject* parent)
    : QObject(parent), tree_(tree), reg_(reg) {
    connect(tree_, &QTreeWidget::itemExpanded, this, &RegistryTree::expand);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &RegistryTree::collapse);
}

void RegistryTree::buildRoots() {
    for (const RootHive& hive : kRootHives) {
        auto* root = new RegNode(QString::fromLatin1(hive.name), Image::ClosedFolder);
        tree_->addTopLevelItem(root);
    }
}

std::vector<std::string> RegistryTree::readSubKeys(const QString& key) {
    std::vector<std::string> names;
    const auto parts = readNodeKey(key);
    if (!parts)
        return names;
    ++enumerations_;
    reg_.setClassKey(parts->handle);
    reg_.setSectionKey(parts->subKeyPath.toStdString());
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

void RegistryTree::expand(QTreeWidgetItem* item) {
    RegNode* node = asNode(item);
    if (!node)
        return;
    BusyCursor busy;
    if (!node->isEnumerated()) {
        node->setEnumerated(true);
        const auto names = readSubKeys(nodeKey(node));
        QStringList texts;
        texts.reserve(static_cast<qsizetype>(names.size()));
        for (const std::string& name : names)
            texts.append(QString::fromStdString(name));
        // Children are inserted already in order, in one call: sorting them inside the widget
        // afterwards costs far more for large keys.
        if (!std::is_sorted(texts.begin(), texts.end(), lessIgnoringCase))
            std::stable_sort(texts.begin(), texts.end(), lessIgnoringCase);
        QList<QTreeWidgetItem*> children;
        children.reserve(texts.size());
        for (const QString& text : texts)
            children.append(new RegNode(text, Image::ClosedFolder));
        node->addChildren(children);
        if (!children.isEmpty())
            node->setSorted(true);
    }
    node->setImage(Image::OpenFolder);
}

void RegistryTree::collapse(QTreeWidgetItem* item) {
    RegNode* node = asNode(item);
    if (!node)
        return;
    if (node->isExpanded()) {
        // Called directly for an open node: closing it raises the collapse, which does the work.
        node->setExpanded(false);
        if (!node->isExpanded())
            return;
    }
    node->setImage(Image::ClosedFolder);
    BusyCursor busy;
    if (node->childCount() == 0)
        return;
    forget(node);
    // A root comes back as a new root after the others: the root level is never sorted.
    const int at = tree_->indexOfTopLevelItem(node);
    if (at >= 0 && at + 1 < tree_->topLevelItemCount()) {
        tree_->takeTopLevelItem(at);
        tree_->addTopLevelItem(node);
        tree_->setCurrentItem(node);
    }
}

void RegistryTree::forget(QTreeWidgetItem* item) {
    RegNode* node = asNode(item);
    if (!node)
        return;
    // The node starts afresh: its sub-tree and its mark are dropped, and the next expansion
    // reads the registry again. It stays in its place, which is its sorted place among siblings.
    const QList<QTreeWidgetItem*> old = node->takeChildren();
    qDeleteAll(old);
    node->setSelectedImage(Image::None);
    node->setSorted(false);
    node->setEnumerated(false);
    tree_->setCurrentItem(node);
}

void RegistryTree::mark(QTreeWidgetItem* item) {
    if (RegNode* node = asNode(item))
        node->setSelectedImage(Image::Selected);
}

void RegistryTree::unmark(QTreeWidgetItem* item) {
    if (RegNode* node = asNode(item))
        node->setSelectedImage(Image::None);
}

bool RegistryTree::isMarked(const QTreeWidgetItem* item) {
    const RegNode* node = asNode(item);
    return node && node->selectedImage() == Image::Selected;
}

bool RegistryTree::isEnumerated(const QTreeWidgetItem* item) {
    const RegNode* node = asNode(item);
    return node && node->isEnumerated();
}

Image RegistryTree::image(const QTreeWidgetItem* item) {
    const RegNode* node = asNode(item);
    return node ? node->image() : Image::None;
}

Image RegistryTree::selectedImage(const QTreeWidgetItem* item) {
    const RegNode* node = asNode(item);
    return node ? node->selectedImage() : Image::None;
}

QString RegistryTree::fullPath(const QTreeWidgetItem* item) {
    QStringList parts;
    for (const QTreeWidgetItem* at = item; at; at = at->parent())
        parts.prepend(at->text(0));
    return parts.join(u'\\');
}

QString RegistryTree::nodeKey(const QTreeWidgetItem* item) {
    if (!item)
        return {};
    const QTreeWidgetItem* parent = item->parent();
    if (!parent) {
        for (const RootHive& hive : kRootHives)
            if (item->text(0) == QLatin1String(hive.name))
                return rootNodeKey(hive.handle);
        return {};
    }
    const QString parentKey = nodeKey(parent);
    return parentKey.isEmpty() ? QString() : childNodeKey(parentKey, parent->parent() == nullptr, item->text(0));
}

QTreeWidgetItem* RegistryTree::rootOf(QTreeWidgetItem* item) {
    while (item && item->parent())
        item = item->parent();
    return item;
}

QTreeWidgetItem* RegistryTree::selectedNode() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem* RegistryTree::openPath(const QStringList& components) {
    if (components.isEmpty())
        return nullptr;
    QTreeWidgetItem* current = nullptr;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        if (fullPath(tree_->topLevelItem(i)) == components.front()) {
            current = tree_->topLevelItem(i);
            break;
        }
    }
    for (qsizetype level = 0; current && level < components.size(); ++level) {
        if (level > 0) {
            QTreeWidgetItem* next = nullptr;
            for (int c = 0; c < current->childCount(); ++c) {
                QTreeWidgetItem* child = current->child(c);
                if (child->text(0) == components[level]) {
                    next = child;
                    break;
                }
            }
            current = next;
            if (!current)
                break;
        }
        tree_->setCurrentItem(current);
        if (current->isExpanded())
            expand(current);  // already open: only makes sure it has been read
        else
            current->setExpanded(true);
    }
    return current;
}

}  // namespace karvo::tree
