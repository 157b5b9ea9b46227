#include "ui/qt/frmRegEdit.h"

#include "ui/Obeying.h"

#include "platform/GetWin.h"
#include "registry/RegistryService.h"
#include "registry/cRegistry.h"
#include "ui/qt/ImageList.h"
#include "ui/qt/Pictures.h"
#include "ui/qt/WidgetText.h"
#include "ui/qt/frmAbout.h"
#include "ui/qt/frmBugReport.h"
#include "ui/qt/frmCompare.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeWidget>

#include <cmath>
#include <utility>

namespace app = karvo::app;
namespace tree = karvo::tree;
namespace compare = karvo::compare;
using tree::Image;
using tree::NodeId;

using karvo::ui::q;

namespace {

// A tree item that keeps its name and pictures itself rather than in the item's generic per-role
// storage, and shows its expander through the indicator policy rather than a stand-in child: both
// keep a level of a hundred thousand keys cheap.
class RegNode : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;
    RegNode(QString text, NodeId id) : QTreeWidgetItem(kType), text_(std::move(text)), id_(id) {
        setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    NodeId id() const { return id_; }
    QVariant data(int column, int role) const override {
        if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
            return text_;
        if (column == 0 && role == Qt::DecorationRole)
            return image_ == Image::None ? QVariant() : QVariant(karvo::ui::ImageList::standard().icon(image_, selected_));
        return QTreeWidgetItem::data(column, role);
    }
    void setImages(Image image, Image selected) {
        image_ = image;
        selected_ = selected;
        emitDataChanged();
    }

private:
    QString text_;
    NodeId id_;
    Image image_ = Image::ClosedFolder;
    Image selected_ = Image::None;
};

// "My Backups": a horizontal scroll range of at least twice its width, however short the names
// are; as with a list box given a scroll extent wider than itself, the bar then stays shown.
class BackupListBox : public QListWidget {
public:
    BackupListBox(QWidget* parent, int extent) : QListWidget(parent), extent_(extent) {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }

protected:
    void updateGeometries() override {
        QListWidget::updateGeometries();
        const int wanted = extent_ - viewport()->width();
        if (wanted > horizontalScrollBar()->maximum()) {
            horizontalScrollBar()->setRange(0, wanted);
            horizontalScrollBar()->setPageStep(viewport()->width());
        }
    }

private:
    int extent_;
};

// Return and Enter in the favourites combo's text field are plain typing: only a choice from the
// list (or the arrow keys) jumps the tree.
class ReturnSwallower : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

using karvo::ui::Obeying;

}  // namespace

frmRegEdit::frmRegEdit(const QString& programFolder, karvo::reg::RegistryService* registry, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      desktop_(this),
      reg_(registry ? std::make_unique<cRegistry>(*registry) : std::make_unique<cRegistry>()) {
    setObjectName(QStringLiteral("frmRegEdit"));
    setWindowTitle(QString::fromLatin1(app::kCaption));
    buildControls();
    buildMenus();
    app::Places places{QDir::cleanPath(programFolder).toStdString(), karvo::platform::GetWinDir(),
                       karvo::reg::registryChoice().wine};
    app::MainView& view = *this;
    tree::TreeView& treeView = *this;
    logic_ = std::make_unique<app::MainWindow>(view, treeView, desktop_, desktop_, *reg_, std::move(places));
}

frmRegEdit::~frmRegEdit() {
    logic_.reset();
    while (busy_ > 0)
        setBusy(false);
    delete bugReport_.data();
    delete about_.data();
    for (const QPointer<QWidget>& window : comparisons_)
        delete window.data();
}

QWidget* frmRegEdit::control(std::string_view name) const {
    const auto it = controls_.find(name);
    return it == controls_.end() ? nullptr : it->second;
}

void frmRegEdit::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    const auto x = [this](int twips) { return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0)); };
    const auto y = [this](int twips) { return static_cast<int>(std::lround(twips * logicalDpiY() / 1440.0)); };
    client->setFixedSize(x(app::kClientWidth), y(app::kClientHeight));
    setCentralWidget(client);
    QFont bold(QStringLiteral("MS Sans Serif"));
    bold.setPointSize(12);
    bold.setBold(true);

    for (const app::Control& c : app::controls()) {
        const QString text = QString::fromUtf8(c.text);
        QWidget* w = nullptr;
        switch (c.kind) {
        case app::Kind::Line: {
            auto* line = new QFrame(client);
            line->setStyleSheet(text == QLatin1String("dark") ? QStringLiteral("background-color: rgb(128,128,128); border: none;")
                                                               : QStringLiteral("background-color: rgb(255,255,255); border: none;"));
            w = line;
            break;
        }
        case app::Kind::Combo: {
            Combo1 = new QComboBox(client);
            Combo1->setEditable(true);
            Combo1->setInsertPolicy(QComboBox::NoInsert);
            Combo1->setCompleter(nullptr);
            // Key presses reach the text field either directly or forwarded by the combo itself.
            auto* swallower = new ReturnSwallower(Combo1);
            Combo1->installEventFilter(swallower);
            Combo1->lineEdit()->installEventFilter(swallower);
            Combo1->setEditText(text);
            connect(Combo1, &QComboBox::activated, this, [this](int index) { logic_->favouriteChosen(index); });
            w = Combo1;
            break;
        }
        case app::Kind::Picture: {
            const bool down = text == QLatin1String("down");
            auto* picture = new karvo::ui::ClickablePicture(client);
            picture->setPixmap(down ? karvo::ui::downArrowPicture() : karvo::ui::upArrowPicture());
            connect(picture, &karvo::ui::ClickablePicture::clicked, this,
                    [this, down] { down ? logic_->downArrow() : logic_->upArrow(); });
            w = picture;
            break;
        }
        case app::Kind::Button: {
            auto* button = new QPushButton(text, client);
            if (text == QLatin1String("+") || text == QLatin1String("-"))
                button->setFont(bold);
            const std::string name = c.name;
            connect(button, &QPushButton::clicked, this, [this, name] { logic_->buttonClicked(name); });
            w = button;
            break;
        }
        case app::Kind::TextBox:
        case app::Kind::StatusBox: {
            auto* edit = new QLineEdit(text, client);
            if (c.kind == app::Kind::StatusBox) {
                edit->setReadOnly(true);
                QPalette palette = edit->palette();
                palette.setColor(QPalette::Base, palette.color(QPalette::Button));
                edit->setPalette(palette);
                edit->installEventFilter(this);
            }
            if (std::string_view(c.name) == "txtFilename")
                connect(edit, &QLineEdit::textChanged, this, [this] {
                    if (!obeying_)
                        logic_->nameChanged();
                });
            w = edit;
            break;
        }
        case app::Kind::Label: w = new QLabel(text, client); break;
        case app::Kind::Tree: {
            tvwReg = new QTreeWidget(client);
            tvwReg->setHeaderHidden(true);
            tvwReg->setColumnCount(1);
            tvwReg->setUniformRowHeights(true);
            tvwReg->setSelectionMode(QAbstractItemView::SingleSelection);
            tvwReg->setIconSize(QSize(karvo::ui::ImageList::kSize, karvo::ui::ImageList::kSize));
            QFont tahoma(QStringLiteral("Tahoma"));
            tahoma.setPointSizeF(8.25);
            tvwReg->setFont(tahoma);
            // A long key name is scrolled to sideways, as in the system's tree control, never cut short.
            tvwReg->header()->setStretchLastSection(false);
            tvwReg->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
            connect(tvwReg, &QTreeWidget::itemClicked, this,
                    [this](QTreeWidgetItem* item) { logic_->nodeClick(nodeOf(item)); });
            connect(tvwReg, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
                if (!obeying_)
                    logic_->tree().expanded(nodeOf(item));
            });
            connect(tvwReg, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
                if (!obeying_)
                    logic_->tree().collapsed(nodeOf(item));
            });
            connect(tvwReg, &QTreeWidget::itemSelectionChanged, this, [this] {
                if (!obeying_) {
                    const auto chosen = tvwReg->selectedItems();
                    logic_->tree().selected(chosen.isEmpty() ? tree::kNoNode : nodeOf(chosen.first()));
                }
            });
            w = tvwReg;
            break;
        }
        case app::Kind::List: {
            lstBack = new BackupListBox(client, x(c.width) * 2);
            // Choosing with the mouse or the arrow keys; neither a refill nor the focus arriving
            // (which makes the first entry current without selecting it) is a choice.
            connect(lstBack, &QListWidget::itemSelectionChanged, this, [this] {
                if (!obeying_) {
                    const auto chosen = lstBack->selectedItems();
                    logic_->backupChosen(chosen.isEmpty() ? -1 : lstBack->row(chosen.first()));
                }
            });
            w = lstBack;
            break;
        }
        }
        w->setObjectName(QString::fromLatin1(c.name));
        if (*c.tip)
            w->setToolTip(QString::fromUtf8(c.tip));
        if (c.kind == app::Kind::Line)
            w->setGeometry(x(c.left), y(c.top), x(c.width), 1);
        else
            w->setGeometry(x(c.left), y(c.top), x(c.width), y(c.height));
        controls_.emplace(c.name, w);
    }
    control("lblMessage")->hide();
    const auto order = app::tabOrder();
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(control(order[i]), control(order[i + 1]));
}

void frmRegEdit::buildMenus() {
    QMenu* menu = nullptr;
    std::string_view current;
    for (const app::MenuItem& m : app::menus()) {
        if (m.menu != current) {
            current = m.menu;
            menu = menuBar()->addMenu(QString::fromUtf8(m.title));
            menu->setObjectName(QString::fromLatin1(m.menu));
        }
        const bool separator = std::string_view(m.text) == "-";
        QAction* action = separator ? menu->addSeparator() : menu->addAction(QString::fromUtf8(m.text));
        action->setObjectName(QString::fromLatin1(m.name));
        if (!separator)
            connect(action, &QAction::triggered, this, [this, name = std::string(m.name)] { logic_->menu(name); });
    }
}

void frmRegEdit::closeEvent(QCloseEvent* event) {
    logic_->unload();
    event->accept();
}

bool frmRegEdit::eventFilter(QObject* watched, QEvent* event) {
    // The second press of a double click counts as a press as well.
    if (watched == control("txtIndex") &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        logic_->statusLinePressed();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- MainView ---------------------------------------------------------------------------------------

std::string frmRegEdit::text(std::string_view name) const { return karvo::ui::widgetText(control(name)); }

void frmRegEdit::setText(std::string_view name, const std::string& text) {
    Obeying obeying(obeying_);
    karvo::ui::setWidgetText(control(name), text);
}

void frmRegEdit::showStatus(app::Status mode) {
    control("txtIndex")->setVisible(mode == app::Status::KeyPath);
    control("lblMessage")->setVisible(mode == app::Status::Message);
}

void frmRegEdit::focus(std::string_view name) { control(name)->setFocus(Qt::OtherFocusReason); }

void frmRegEdit::selectAll(std::string_view name) {
    if (auto* edit = qobject_cast<QLineEdit*>(control(name)))
        edit->selectAll();
}

void frmRegEdit::setBackups(std::span<const std::string> names, int chosen) {
    Obeying obeying(obeying_);
    lstBack->clear();
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names)
        texts.append(q(name));
    lstBack->addItems(texts);
    lstBack->setCurrentItem(nullptr);
    lstBack->clearSelection();
    if (chosen >= 0)
        lstBack->setCurrentRow(chosen);
}

void frmRegEdit::setFavourites(std::span<const std::string> entries) {
    Obeying obeying(obeying_);
    const QString typed = Combo1->currentText();
    Combo1->clear();
    for (const std::string& entry : entries)
        Combo1->addItem(q(entry));
    Combo1->setEditText(typed);
}

void frmRegEdit::chooseFavourite(int index) {
    Obeying obeying(obeying_);
    Combo1->setCurrentIndex(index);
}

void frmRegEdit::setBusy(bool busy) {
    if (busy) {
        ++busy_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (busy_ > 0) {
        --busy_;
        QApplication::restoreOverrideCursor();
    }
}

void frmRegEdit::letEventsRun() { QCoreApplication::processEvents(); }

void frmRegEdit::showWindow() {
    adjustSize();
    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
}

void frmRegEdit::hideWindow() { hide(); }

void frmRegEdit::closeWindow() {
    close();
    emit unloaded();
}

void frmRegEdit::openWindow(std::string_view name) {
    QPointer<QWidget>& window = name == "frmAbout" ? about_ : bugReport_;
    if (!window) {
        if (name == "frmAbout")
            window = new frmAbout();
        else
            window = new frmBugReport();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
}

void frmRegEdit::openComparison(const std::string& backupName, compare::Comparison comparison) {
    std::erase_if(comparisons_, [](const QPointer<QWidget>& window) { return window.isNull(); });
    auto* window = new frmCompare(backupName, std::move(comparison));
    window->setAttribute(Qt::WA_DeleteOnClose);
    comparisons_.emplace_back(window);
    // Over the main window, a little down and right of it, so both stay in sight.
    window->move(frameGeometry().topLeft() + QPoint(40, 40));
    window->show();
    window->raise();
}

void frmRegEdit::enableMenu(std::string_view item, bool enabled) {
    if (auto* action = findChild<QAction*>(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size()))))
        action->setEnabled(enabled);
}

void frmRegEdit::closeOtherWindows() {
    if (bugReport_)
        bugReport_->close();
    if (about_)
        about_->close();
    for (const QPointer<QWidget>& window : std::exchange(comparisons_, {}))
        if (window)
            window->close();
}

// ---- TreeView ---------------------------------------------------------------------------------------

NodeId frmRegEdit::nodeOf(const QTreeWidgetItem* item) const {
    return item && item->type() == RegNode::kType ? static_cast<const RegNode*>(item)->id() : tree::kNoNode;
}

QTreeWidgetItem* frmRegEdit::item(NodeId node) const { return items_.item(node); }

void frmRegEdit::addNodes(NodeId parent, std::span<const NodeId> ids, std::span<const std::string> texts) {
    Obeying obeying(obeying_);
    QList<QTreeWidgetItem*> level;
    level.reserve(static_cast<qsizetype>(ids.size()));
    for (std::size_t i = 0; i < ids.size(); ++i)
        level.append(new RegNode(q(texts[i]), ids[i]));
    items_.addLevel(*tvwReg, parent, ids, level);
}

void frmRegEdit::removeChildren(NodeId node) {
    Obeying obeying(obeying_);
    if (QTreeWidgetItem* at = item(node))
        items_.dropBelow(at, [this](const QTreeWidgetItem* gone) { return nodeOf(gone); });
}

void frmRegEdit::moveToEnd(NodeId root) {
    Obeying obeying(obeying_);
    QTreeWidgetItem* at = item(root);
    const int index = tvwReg->indexOfTopLevelItem(at);
    if (index < 0)
        return;
    tvwReg->takeTopLevelItem(index);
    tvwReg->addTopLevelItem(at);
}

void frmRegEdit::setImages(NodeId node, Image image, Image selectedImage) {
    if (auto* at = static_cast<RegNode*>(item(node)))
        at->setImages(image, selectedImage);
}

void frmRegEdit::setRead(NodeId node, bool read) {
    if (QTreeWidgetItem* at = item(node))
        at->setChildIndicatorPolicy(read ? QTreeWidgetItem::DontShowIndicatorWhenChildless
                                         : QTreeWidgetItem::ShowIndicator);
}

void frmRegEdit::setExpanded(NodeId node, bool expanded) {
    Obeying obeying(obeying_);
    if (QTreeWidgetItem* at = item(node))
        at->setExpanded(expanded);
}

void frmRegEdit::select(NodeId node) {
    Obeying obeying(obeying_);
    if (QTreeWidgetItem* at = item(node))
        tvwReg->setCurrentItem(at);
}

void frmRegEdit::scrollTo(NodeId node) {
    if (QTreeWidgetItem* at = item(node))
        tvwReg->scrollToItem(at);
}
