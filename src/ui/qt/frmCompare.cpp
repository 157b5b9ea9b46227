#include "ui/qt/frmCompare.h"

#include "ui/Obeying.h"
#include "ui/qt/WidgetText.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <cmath>

namespace compare = karvo::compare;
using compare::RowId;
using karvo::ui::Obeying;
using karvo::ui::q;

namespace {

// A row that keeps its texts itself rather than in the item's generic per-column storage, and shows
// its expander through the indicator policy: a level of a hundred thousand keys stays cheap.
class CompareItem : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 2;
    explicit CompareItem(const compare::Row& row)
        : QTreeWidgetItem(kType),
          id_(row.id),
          mark_(row.mark),
          texts_{q(row.name), q(row.type), q(row.backup), q(row.registry)} {
        setChildIndicatorPolicy(row.expandable ? ShowIndicator : DontShowIndicatorWhenChildless);
    }
    RowId id() const { return id_; }
    QVariant data(int column, int role) const override {
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            if (column >= 0 && column < 4)
                return texts_[column];
            if (column == 4)
                return QString::fromUtf8(compare::markSign(mark_)) + QLatin1Char(' ') +
                       QString::fromUtf8(compare::markWords(mark_));
        }
        if (role == Qt::ForegroundRole && mark_ != compare::Mark::Same) {
            const compare::Colour c = compare::markColour(mark_);
            return QColor(c.red, c.green, c.blue);
        }
        return QTreeWidgetItem::data(column, role);
    }

private:
    RowId id_;
    compare::Mark mark_;
    QString texts_[4];
};

}  // namespace

frmCompare::frmCompare(const std::string& backupName, compare::Comparison comparison, QWidget* parent)
    : QWidget(parent, Qt::Window), logic_(*this, backupName, std::move(comparison)) {
    setObjectName(QLatin1String(compare::kWindowName));
    build();
    logic_.load();
}

void frmCompare::build() {
    const auto x = [this](int twips) { return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0)); };
    const auto y = [this](int twips) { return static_cast<int>(std::lround(twips * logicalDpiY() / 1440.0)); };
    setFixedSize(x(compare::kClientWidth), y(compare::kClientHeight));
    QWidget* previous = nullptr;
    for (const compare::Control& c : compare::controls()) {
        const QString text = QString::fromUtf8(c.text);
        const std::string name = c.name;
        QWidget* w = nullptr;
        switch (c.kind) {
        case compare::Kind::Label: w = new QLabel(text, this); break;
        case compare::Kind::Option: {
            auto* option = new QRadioButton(text, this);
            connect(option, &QRadioButton::clicked, this, [this, name] {
                if (!obeying_)
                    logic_.click(name);
            });
            w = option;
            break;
        }
        case compare::Kind::Button: {
            auto* button = new QPushButton(text, this);
            connect(button, &QPushButton::clicked, this, [this, name] { logic_.click(name); });
            w = button;
            break;
        }
        case compare::Kind::Tree: {
            tree_ = new QTreeWidget(this);
            QStringList headings;
            for (const char* heading : compare::columns())
                headings << QString::fromUtf8(heading);
            tree_->setColumnCount(static_cast<int>(headings.size()));
            tree_->setHeaderLabels(headings);
            tree_->setUniformRowHeights(true);
            tree_->setSelectionMode(QAbstractItemView::SingleSelection);
            // Fixed starting widths: sizing columns to their contents would read every row. The
            // difference column takes the rest; a long top key keeps its root and its own name.
            tree_->setTextElideMode(Qt::ElideMiddle);
            tree_->header()->setStretchLastSection(true);
            const int widths[] = {3000, 1500, 2200, 2200, 2300};
            for (int i = 0; i < tree_->columnCount() && i < 5; ++i)
                tree_->header()->resizeSection(i, x(widths[i]));
            connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* at) {
                if (!obeying_)
                    logic_.expanded(rowOf(at));
            });
            connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* at) {
                if (!obeying_)
                    logic_.collapsed(rowOf(at));
            });
            w = tree_;
            break;
        }
        }
        w->setObjectName(QLatin1String(c.name));
        w->setGeometry(x(c.left), y(c.top), x(c.width), y(c.height));
        controls_.emplace(c.name, w);
        if (c.kind != compare::Kind::Label) {
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    }
}

RowId frmCompare::rowOf(const QTreeWidgetItem* at) const {
    return at && at->type() == CompareItem::kType ? static_cast<const CompareItem*>(at)->id() : compare::kNoRow;
}

QTreeWidgetItem* frmCompare::item(RowId row) const { return items_.item(row); }

void frmCompare::addRows(RowId parent, std::span<const compare::Row> rows) {
    Obeying obeying(obeying_);
    QList<QTreeWidgetItem*> level;
    level.reserve(static_cast<qsizetype>(rows.size()));
    std::vector<RowId> ids;
    ids.reserve(rows.size());
    for (const compare::Row& row : rows) {
        level.append(new CompareItem(row));
        ids.push_back(row.id);
    }
    items_.addLevel(*tree_, parent, ids, level);
}

void frmCompare::showOpen(RowId row) {
    Obeying obeying(obeying_);
    if (QTreeWidgetItem* at = item(row))
        at->setExpanded(true);
}

void frmCompare::removeChildren(RowId parent) {
    Obeying obeying(obeying_);
    if (parent == compare::kNoRow) {
        tree_->clear();
        items_.clear();
        return;
    }
    if (QTreeWidgetItem* at = item(parent))
        items_.dropBelow(at, [this](const QTreeWidgetItem* gone) { return rowOf(gone); });
}

void frmCompare::setText(std::string_view control, const std::string& text) {
    if (control == compare::kWindowName)
        setWindowTitle(q(text));
    else if (const auto it = controls_.find(control); it != controls_.end())
        karvo::ui::setWidgetText(it->second, text);
}

void frmCompare::setChecked(std::string_view control, bool checked) {
    Obeying obeying(obeying_);
    if (const auto it = controls_.find(control); it != controls_.end())
        if (auto* option = qobject_cast<QRadioButton*>(it->second))
            option->setChecked(checked);
}

void frmCompare::closeWindow() { close(); }
