// The comparison window's Qt front end: makes its controls from the logic's table, passes the
// switch, the Close button and every expansion to compare::CompareWindow, and carries out what it
// is told; it decides nothing. It owns its comparison, through the logic.
#pragma once

#include "compare/CompareWindow.h"
#include "ui/qt/ItemIndex.h"

#include <QWidget>

#include <map>
#include <string>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

class frmCompare : public QWidget, private karvo::compare::CompareView {
    Q_OBJECT
public:
    frmCompare(const std::string& backupName, karvo::compare::Comparison comparison, QWidget* parent = nullptr);

    karvo::compare::CompareWindow& logic() { return logic_; }
    // The row an item of the tree shows, kNoRow for none.
    karvo::compare::RowId rowOf(const QTreeWidgetItem* item) const;

private:
    void addRows(karvo::compare::RowId parent, std::span<const karvo::compare::Row> rows) override;
    void removeChildren(karvo::compare::RowId parent) override;
    void showOpen(karvo::compare::RowId row) override;
    void setText(std::string_view control, const std::string& text) override;
    void setChecked(std::string_view control, bool checked) override;
    void closeWindow() override;

    void build();
    QTreeWidgetItem* item(karvo::compare::RowId row) const;

    karvo::compare::CompareWindow logic_;
    std::map<std::string, QWidget*, std::less<>> controls_;
    QTreeWidget* tree_ = nullptr;
    karvo::ui::ItemIndex items_;  // by row id
    int obeying_ = 0;                      // > 0 while carrying out an order: its echoes are not events
};
