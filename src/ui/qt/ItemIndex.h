// Tree items found by the id a window's logic gave them. A level goes into the control in one
// batch, and a dropped branch's ids are forgotten first, since the logic hands them out again.
#pragma once

#include <QList>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <cstdint>
#include <span>
#include <vector>

namespace karvo::ui {

class ItemIndex {
public:
    QTreeWidgetItem* item(std::uint32_t id) const { return id < items_.size() ? items_[id] : nullptr; }

    // Adds the items under the item of parent (the top level when there is none) in one batch.
    void addLevel(QTreeWidget& tree, std::uint32_t parent, std::span<const std::uint32_t> ids,
                  const QList<QTreeWidgetItem*>& level) {
        for (qsizetype i = 0; i < level.size(); ++i) {
            const std::uint32_t id = ids[static_cast<std::size_t>(i)];
            if (id >= items_.size())
                items_.resize(id + 1, nullptr);
            items_[id] = level[i];
        }
        if (QTreeWidgetItem* at = item(parent))
            at->addChildren(level);
        else
            tree.addTopLevelItems(level);
    }

    // Deletes every item below at; idOf names the id an item was added under.
    template <class IdOf>
    void dropBelow(QTreeWidgetItem* at, IdOf idOf) {
        const QList<QTreeWidgetItem*> old = at->takeChildren();
        std::vector<QTreeWidgetItem*> pending(old.begin(), old.end());
        while (!pending.empty()) {
            QTreeWidgetItem* gone = pending.back();
            pending.pop_back();
            if (const std::uint32_t id = idOf(gone); id < items_.size())
                items_[id] = nullptr;
            for (int i = 0; i < gone->childCount(); ++i)
                pending.push_back(gone->child(i));
        }
        qDeleteAll(old);
    }

    void clear() { items_.clear(); }

private:
    std::vector<QTreeWidgetItem*> items_;
};

}  // namespace karvo::ui
