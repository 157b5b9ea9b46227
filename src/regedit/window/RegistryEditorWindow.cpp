#include "RegistryEditorWindow.h"

#include "ui/qt/BusyCursor.h"
#include "platform/GetWin.h"
#include "ui/qt/MsgBox.h"
#include "regfile/DefaultRegistry.h"
#include "regedit/EditorWindow.h"
#include "regfile/RegFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace karvo::regedit {

using platform::MsgBox;

namespace {

constexpr int kLoadedRole = Qt::UserRole + 1;  // key items: sub-keys read
constexpr int kValueNameRole = Qt::UserRole;  // value items: the stored name
constexpr int kValueSetRole = Qt::UserRole + 1;

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& text) { return text.toStdString(); }
std::string fileName(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString addressOf(const KeyRef& key) {
    return key.isComputer() ? QStringLiteral("Computer") : QStringLiteral("Computer\\") + q(key.fullPath());
}

using platform::BusyCursor;

}  // namespace

// ---- the real dialogs ---------------------------------------------------------------------

std::optional<QString> EditorPrompts::askText(QWidget* parent, const QString& title, const QString& label,
                                              const QString& initial, bool multiLine) {
    bool ok = false;
    const QString text = multiLine ? QInputDialog::getMultiLineText(parent, title, label, initial, &ok)
                                   : QInputDialog::getText(parent, title, label, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> EditorPrompts::openRegFile(QWidget* parent) {
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("Import Registry File"), QString(),
                                                      QStringLiteral("Registration Files (*.reg);;All Files (*)"));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> EditorPrompts::saveRegFile(QWidget* parent, const QString& suggestedName) {
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Export Registry File"), suggestedName,
                                                      QStringLiteral("Registration Files (*.reg);;All Files (*)"));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<FindQuery> EditorPrompts::askFind(QWidget* parent, const FindQuery& previous) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmFind"));
    dialog.setWindowTitle(QStringLiteral("Find"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Fi&nd what:"), &dialog));
    auto* text = new QLineEdit(q(previous.text), &dialog);
    layout->addWidget(text);
    auto* keys = new QCheckBox(QStringLiteral("&Keys"), &dialog);
    auto* values = new QCheckBox(QStringLiteral("&Values"), &dialog);
    auto* data = new QCheckBox(QStringLiteral("&Data"), &dialog);
    auto* whole = new QCheckBox(QStringLiteral("Match &whole string only"), &dialog);
    keys->setChecked(previous.keys);
    values->setChecked(previous.values);
    data->setChecked(previous.data);
    whole->setChecked(previous.wholeString);
    for (QCheckBox* box : {keys, values, data, whole})
        layout->addWidget(box);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Find Next"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted || text->text().isEmpty())
        return std::nullopt;
    FindQuery query;
    query.text = s(text->text());
    query.keys = keys->isChecked();
    query.values = values->isChecked();
    query.data = data->isChecked();
    query.wholeString = whole->isChecked();
    return query;
}

// ---- the window ---------------------------------------------------------------------------

RegistryEditorWindow::RegistryEditorWindow(reg::RegistryService& service, EditorPrompts* prompts, QWidget* parent)
    : QMainWindow(parent), service_(service) {
    if (!prompts) {
        ownPrompts_ = std::make_unique<EditorPrompts>();
        prompts = ownPrompts_.get();
    }
    prompts_ = prompts;
    setObjectName(QStringLiteral("frmRegistryEditor"));
    setWindowTitle(QStringLiteral("Registry Editor"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    txtAddress_ = new QLineEdit(central);
    txtAddress_->setObjectName(QStringLiteral("txtAddress"));
    layout->addWidget(txtAddress_);
    auto* splitter = new QSplitter(Qt::Horizontal, central);
    tvwKeys_ = new QTreeWidget(splitter);
    tvwKeys_->setObjectName(QStringLiteral("tvwKeys"));
    tvwKeys_->setHeaderHidden(true);
    tvwKeys_->setContextMenuPolicy(Qt::ActionsContextMenu);
    lvwValues_ = new QTreeWidget(splitter);
    lvwValues_->setObjectName(QStringLiteral("lvwValues"));
    lvwValues_->setRootIsDecorated(false);
    lvwValues_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Data")});
    lvwValues_->setContextMenuPolicy(Qt::ActionsContextMenu);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);
    resize(900, 600);

    computer_ = new QTreeWidgetItem(tvwKeys_, {QStringLiteral("Computer")});
    computer_->setData(0, kLoadedRole, true);
    for (const RootInfo& root : editorRoots()) {
        addKeyItem(computer_, q(root.name));
    }
    computer_->setExpanded(true);

    buildMenus();

    connect(tvwKeys_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { loadChildren(item); });
    connect(tvwKeys_, &QTreeWidget::currentItemChanged, this, [this] { onCurrentKeyChanged(); });
    connect(lvwValues_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current)
            valuesActive_ = true;
    });
    connect(lvwValues_, &QTreeWidget::itemActivated, this, [this] { modifyValue(); });
    // The commands act on the pane the user is in.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now == tvwKeys_)
            valuesActive_ = false;
        else if (now == lvwValues_ && lvwValues_->currentItem())
            valuesActive_ = true;
    });
    connect(txtAddress_, &QLineEdit::returnPressed, this, [this] { navigateTo(txtAddress_->text()); });
    tvwKeys_->setCurrentItem(computer_);
}

RegistryEditorWindow::~RegistryEditorWindow() = default;

void RegistryEditorWindow::buildMenus() {
    const auto action = [this](const char* name, const QString& text, const QKeySequence& shortcut = {}) {
        auto* a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty())
            a->setShortcut(shortcut);
        return a;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* actImport = action("actImport", QStringLiteral("&Import..."));
    QAction* actExport = action("actExport", QStringLiteral("&Export..."));
    QAction* actExportAll = action("actExportAll", QStringLiteral("Export &Whole Registry..."));
    QAction* actExit = action("actExit", QStringLiteral("E&xit"));
    file->addActions({actImport, actExport, actExportAll});
    file->addSeparator();
    file->addAction(actExit);
    connect(actImport, &QAction::triggered, this, [this] { importFromDialog(); });
    connect(actExport, &QAction::triggered, this, [this] { exportFromDialog(false); });
    connect(actExportAll, &QAction::triggered, this, [this] { exportFromDialog(true); });
    connect(actExit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    QAction* actModify = action("actModify", QStringLiteral("&Modify..."));
    edit->addAction(actModify);
    edit->addSeparator();
    QMenu* newMenu = edit->addMenu(QStringLiteral("&New"));
    newMenu->setObjectName(QStringLiteral("mnuNew"));
    QAction* actNewKey = action("actNewKey", QStringLiteral("&Key"));
    newMenu->addAction(actNewKey);
    newMenu->addSeparator();
    connect(actNewKey, &QAction::triggered, this, [this] { newKey(); });
    struct NewValueItem {
        const char* name;
        const char* text;
        reg::DWORD type;
    };
    static const NewValueItem newValues[] = {
        {"actNewString", "&String Value", reg::kRegSz},
        {"actNewBinary", "&Binary Value", reg::kRegBinary},
        {"actNewDword", "&DWORD (32-bit) Value", reg::kRegDword},
        {"actNewQword", "&QWORD (64-bit) Value", reg::kRegQword},
        {"actNewMultiString", "&Multi-String Value", reg::kRegMultiSz},
        {"actNewExpandString", "&Expandable String Value", reg::kRegExpandSz},
    };
    for (const NewValueItem& item : newValues) {
        QAction* a = action(item.name, QLatin1String(item.text));
        newMenu->addAction(a);
        const reg::DWORD type = item.type;
        connect(a, &QAction::triggered, this, [this, type] { newValue(type); });
    }
    edit->addSeparator();
    QAction* actDelete = action("actDelete", QStringLiteral("&Delete"), QKeySequence::Delete);
    QAction* actRename = action("actRename", QStringLiteral("&Rename"), QKeySequence(Qt::Key_F2));
    edit->addActions({actDelete, actRename});
    edit->addSeparator();
    QAction* actCopyKeyName = action("actCopyKeyName", QStringLiteral("&Copy Key Name"));
    edit->addAction(actCopyKeyName);
    edit->addSeparator();
    QAction* actFind = action("actFind", QStringLiteral("&Find..."), QKeySequence::Find);
    QAction* actFindNext = action("actFindNext", QStringLiteral("Find Ne&xt"), QKeySequence(Qt::Key_F3));
    edit->addActions({actFind, actFindNext});
    connect(actModify, &QAction::triggered, this, [this] { modifyValue(); });
    connect(actDelete, &QAction::triggered, this, [this] { deleteSelected(); });
    connect(actRename, &QAction::triggered, this, [this] { renameSelected(); });
    connect(actCopyKeyName, &QAction::triggered, this, [this] { copyKeyName(); });
    connect(actFind, &QAction::triggered, this, [this] { find(); });
    connect(actFindNext, &QAction::triggered, this, [this] { findNext(); });

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    QAction* actRefresh = action("actRefresh", QStringLiteral("&Refresh"), QKeySequence(Qt::Key_F5));
    view->addAction(actRefresh);
    connect(actRefresh, &QAction::triggered, this, [this] { refresh(); });

    // The same commands on the panes' context menus. The actions act on the pane that was used last.
    auto* sep1 = new QAction(this);
    sep1->setSeparator(true);
    tvwKeys_->addActions({newMenu->menuAction(), sep1, actExport, actDelete, actRename, actCopyKeyName});
    auto* sep2 = new QAction(this);
    sep2->setSeparator(true);
    lvwValues_->addActions({actModify, sep2, actDelete, actRename});
    // A right click on a pane makes it the one the commands act on.
    connect(tvwKeys_, &QTreeWidget::itemPressed, this, [this] { valuesActive_ = false; });
    connect(lvwValues_, &QTreeWidget::itemPressed, this, [this] { valuesActive_ = true; });
}

// ---- the tree -----------------------------------------------------------------------------

QTreeWidgetItem* RegistryEditorWindow::addKeyItem(QTreeWidgetItem* parent, const QString& text) {
    auto* item = new QTreeWidgetItem(parent, {text});
    item->setData(0, kLoadedRole, false);
    // Sub-keys are read on the first expansion; until then every key may have some.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

KeyRef RegistryEditorWindow::keyOf(const QTreeWidgetItem* item) const {
    std::vector<std::string> names;
    for (const QTreeWidgetItem* i = item; i && i != computer_; i = i->parent())
        names.push_back(s(i->text(0)));
    KeyRef key;
    if (names.empty())
        return key;
    const std::string& rootName = names.back();
    for (const RootInfo& root : editorRoots()) {
        if (rootName == root.name) {
            key.root = root.handle;
            key.rootName = root.name;
        }
    }
    key.parts.assign(names.rbegin() + 1, names.rend());
    return key;
}

void RegistryEditorWindow::loadChildren(QTreeWidgetItem* item) {
    if (item->data(0, kLoadedRole).toBool())
        return;
    item->setData(0, kLoadedRole, true);
    const KeyRef key = keyOf(item);
    for (const std::string& name : listSubKeys(service_, key))
        addKeyItem(item, q(name));
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

// Reads an item's sub-keys again, keeping what was open below it open where it still exists.
void RegistryEditorWindow::reloadChildren(QTreeWidgetItem* item) {
    if (item == computer_ || !item->data(0, kLoadedRole).toBool())
        return;
    std::vector<std::pair<QString, bool>> open;  // loaded children and whether they were expanded
    std::vector<QTreeWidgetItem*> openItems;
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (child->data(0, kLoadedRole).toBool()) {
            open.emplace_back(child->text(0), child->isExpanded());
            openItems.push_back(child);
        }
    }
    const KeyRef key = keyOf(item);
    const std::vector<std::string> names = listSubKeys(service_, key);
    // Keep the items of keys that are still there (with their loaded sub-trees), in the new order.
    QList<QTreeWidgetItem*> old = item->takeChildren();
    for (const std::string& name : names) {
        QTreeWidgetItem* kept = nullptr;
        for (QTreeWidgetItem*& o : old) {
            if (o && s(o->text(0)) == name) {
                kept = o;
                o = nullptr;
                break;
            }
        }
        if (kept) {
            item->addChild(kept);
            reloadChildren(kept);
        } else {
            addKeyItem(item, q(name));
        }
    }
    for (QTreeWidgetItem* o : old)
        delete o;
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        for (const auto& [name, expanded] : open)
            if (name == child->text(0) && expanded)
                child->setExpanded(true);
    }
}

QTreeWidgetItem* RegistryEditorWindow::itemFor(const KeyRef& key, bool reload) {
    if (key.isComputer())
        return computer_;
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < computer_->childCount(); ++i)
        if (computer_->child(i)->text(0) == q(key.rootName))
            item = computer_->child(i);
    for (const std::string& part : key.parts) {
        if (!item)
            return nullptr;
        const auto findChild = [&]() -> QTreeWidgetItem* {
            for (int i = 0; i < item->childCount(); ++i)
                if (sameName(s(item->child(i)->text(0)), part))
                    return item->child(i);
            return nullptr;
        };
        loadChildren(item);
        QTreeWidgetItem* child = findChild();
        if (!child && reload) {
            reloadChildren(item);
            child = findChild();
        }
        item = child;
    }
    return item;
}

bool RegistryEditorWindow::selectKey(const KeyRef& key) {
    QTreeWidgetItem* item = itemFor(key, true);
    if (!item)
        return false;
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    tvwKeys_->setCurrentItem(item);
    tvwKeys_->scrollToItem(item);
    valuesActive_ = false;
    return true;
}

bool RegistryEditorWindow::navigateTo(const QString& path) {
    const std::optional<KeyRef> parsed = parseKeyPath(s(path));
    if (!parsed) {
        MsgBox(this, QStringLiteral("\"%1\" is not a registry key.").arg(path.trimmed()),
               platform::vbOKOnly | platform::vbInformation, QStringLiteral("Registry Editor"));
        txtAddress_->setText(addressOf(currentKey()));
        return false;
    }
    bool complete = false;
    const KeyRef found = parsed->isComputer() ? *parsed : resolveExisting(service_, *parsed, &complete);
    if (parsed->isComputer())
        complete = true;
    selectKey(found);
    txtAddress_->setText(addressOf(currentKey()));
    return complete;
}

KeyRef RegistryEditorWindow::currentKey() const {
    QTreeWidgetItem* item = tvwKeys_->currentItem();
    return item ? keyOf(item) : KeyRef{};
}

std::optional<std::string> RegistryEditorWindow::currentValue() const {
    QTreeWidgetItem* item = lvwValues_->currentItem();
    if (!valuesActive_ || !item || !item->isSelected())
        return std::nullopt;
    return s(item->data(0, kValueNameRole).toString());
}

QString RegistryEditorWindow::addressText() const { return txtAddress_->text(); }

void RegistryEditorWindow::onCurrentKeyChanged() {
    txtAddress_->setText(addressOf(currentKey()));
    showValues();
}

void RegistryEditorWindow::showValues(const std::optional<std::string>& select) {
    lvwValues_->clear();
    const KeyRef key = currentKey();
    QTreeWidgetItem* selected = nullptr;
    for (const ValueEntry& value : listValues(service_, key)) {
        auto* item = new QTreeWidgetItem(lvwValues_, {q(displayName(value)), q(typeName(value.type)),
                                                      q(displayData(value))});
        item->setData(0, kValueNameRole, q(value.name));
        item->setData(0, kValueSetRole, value.isSet);
        if (select && *select == value.name)
            selected = item;
    }
    lvwValues_->resizeColumnToContents(0);
    lvwValues_->resizeColumnToContents(1);
    if (selected) {
        lvwValues_->setCurrentItem(selected);
        lvwValues_->scrollToItem(selected);
        valuesActive_ = true;
    } else {
        valuesActive_ = false;
    }
}

bool RegistryEditorWindow::selectValue(const std::string& name) {
    for (int i = 0; i < lvwValues_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvwValues_->topLevelItem(i);
        if (s(item->data(0, kValueNameRole).toString()) == name) {
            lvwValues_->setCurrentItem(item);
            valuesActive_ = true;
            return true;
        }
    }
    return false;
}

void RegistryEditorWindow::refresh() {
    const KeyRef key = currentKey();
    const std::optional<std::string> value = currentValue();
    for (int i = 0; i < computer_->childCount(); ++i)
        reloadChildren(computer_->child(i));
    // The key shown may be gone; show the nearest one that is left.
    KeyRef still = key.isComputer() ? key : resolveExisting(service_, key);
    selectKey(still);
    showValues(value);
}

// ---- edits --------------------------------------------------------------------------------

bool RegistryEditorWindow::report(const EditResult& result, const QString& caption) {
    if (result.ok())
        return true;
    MsgBox(this, q(result.message), platform::vbOKOnly | platform::vbCritical, caption);
    return false;
}

void RegistryEditorWindow::newKey() {
    const KeyRef parent = currentKey();
    if (parent.isComputer())
        return;  // the roots are fixed
    const EditResult r = createKey(service_, parent);
    if (!report(r, QStringLiteral("Error Creating Key")))
        return;
    KeyRef created = parent;
    created.parts.push_back(r.name);
    selectKey(created);
    renameKeyCommand();  // the new key's name is offered for editing straight away
}

void RegistryEditorWindow::newValue(reg::DWORD type) {
    const KeyRef key = currentKey();
    if (key.isComputer())
        return;
    const EditResult r = createValue(service_, key, type);
    if (!report(r, QStringLiteral("Error Creating Value")))
        return;
    showValues(r.name);
    renameValueCommand();
}

void RegistryEditorWindow::modifyValue() {
    const std::optional<std::string> name = currentValue();
    if (!name)
        return;
    const KeyRef key = currentKey();
    ValueEntry value;
    value.name = *name;
    value.isSet = false;
    for (const ValueEntry& v : listValues(service_, key))
        if (v.name == *name)
            value = v;
    // An unset default value is edited as a string, as it becomes one.
    const reg::DWORD type = value.isSet ? value.type : reg::kRegSz;
    QString title;
    QString label = QStringLiteral("Value data:");
    switch (type) {
    case reg::kRegSz:
    case reg::kRegExpandSz: title = QStringLiteral("Edit String"); break;
    case reg::kRegMultiSz: title = QStringLiteral("Edit Multi-String"); break;
    case reg::kRegDword:
    case reg::kRegQword:
        title = type == reg::kRegDword ? QStringLiteral("Edit DWORD (32-bit) Value")
                                       : QStringLiteral("Edit QWORD (64-bit) Value");
        label = QStringLiteral("Value data (hexadecimal):");
        break;
    default:
        title = QStringLiteral("Edit Binary Value");
        label = QStringLiteral("Value data (hexadecimal bytes):");
        break;
    }
    label = QStringLiteral("Value name: %1\n%2").arg(q(displayName(value)), label);
    const std::optional<QString> text =
        prompts_->askText(this, title, label, q(editText(value)), type == reg::kRegMultiSz);
    if (!text)
        return;
    std::string problem;
    const auto newData = dataFromEditText(type, s(*text), &problem);
    if (!newData) {
        MsgBox(this, q(problem), platform::vbOKOnly | platform::vbExclamation, title);
        return;
    }
    if (report(setValue(service_, key, *name, type, *newData), QStringLiteral("Error Editing Value")))
        showValues(*name);
}

void RegistryEditorWindow::renameSelected() {
    if (currentValue())
        renameValueCommand();
    else
        renameKeyCommand();
}

void RegistryEditorWindow::renameKeyCommand() {
    const KeyRef key = currentKey();
    if (key.isComputer() || key.isRoot())
        return;
    const std::optional<QString> name =
        prompts_->askText(this, QStringLiteral("Rename Key"), QStringLiteral("New name:"), q(key.parts.back()), false);
    if (!name || s(*name) == key.parts.back())
        return;
    if (!report(renameKey(service_, key, s(*name)), QStringLiteral("Error Renaming Key")))
        return;
    KeyRef renamed = key;
    renamed.parts.back() = s(*name);
    KeyRef parent = key;
    parent.parts.pop_back();
    if (QTreeWidgetItem* p = itemFor(parent, false))
        reloadChildren(p);
    selectKey(renamed);
}

void RegistryEditorWindow::renameValueCommand() {
    const std::optional<std::string> old = currentValue();
    if (!old || old->empty())
        return;  // the default value has no name to change
    const std::optional<QString> name =
        prompts_->askText(this, QStringLiteral("Rename Value"), QStringLiteral("New name:"), q(*old), false);
    if (!name || s(*name) == *old)
        return;
    if (report(renameValue(service_, currentKey(), *old, s(*name)), QStringLiteral("Error Renaming Value")))
        showValues(s(*name));
}

void RegistryEditorWindow::deleteSelected() {
    if (currentValue())
        deleteValueCommand();
    else
        deleteKeyCommand();
}

void RegistryEditorWindow::deleteKeyCommand() {
    const KeyRef key = currentKey();
    if (key.isComputer() || key.isRoot())
        return;
    const QString question = QStringLiteral("Delete the key \"%1\" with all its sub-keys and values?")
                                 .arg(q(key.parts.back()));
    if (MsgBox(this, question, platform::vbYesNo | platform::vbExclamation, QStringLiteral("Confirm Key Delete")) !=
        platform::vbYes)
        return;
    if (!report(deleteKey(service_, key), QStringLiteral("Error Deleting Key")))
        return;
    KeyRef parent = key;
    parent.parts.pop_back();
    if (QTreeWidgetItem* p = itemFor(parent, false))
        reloadChildren(p);
    selectKey(parent);
}

void RegistryEditorWindow::deleteValueCommand() {
    const std::optional<std::string> name = currentValue();
    if (!name)
        return;
    QTreeWidgetItem* item = lvwValues_->currentItem();
    if (!item->data(0, kValueSetRole).toBool())
        return;  // an unset default value: nothing to delete
    const QString question =
        QStringLiteral("Delete the value \"%1\"?").arg(q(name->empty() ? std::string("(Default)") : *name));
    if (MsgBox(this, question, platform::vbYesNo | platform::vbExclamation, QStringLiteral("Confirm Value Delete")) !=
        platform::vbYes)
        return;
    report(deleteValue(service_, currentKey(), *name), QStringLiteral("Error Deleting Value"));
    showValues();
}

void RegistryEditorWindow::copyKeyName() {
    const KeyRef key = currentKey();
    if (!key.isComputer())
        QGuiApplication::clipboard()->setText(q(key.fullPath()));
}

// ---- find ---------------------------------------------------------------------------------

void RegistryEditorWindow::find() { runFind(true); }

void RegistryEditorWindow::findNext() { runFind(!lastFind_.has_value()); }

void RegistryEditorWindow::runFind(bool ask) {
    if (ask) {
        const std::optional<FindQuery> query = prompts_->askFind(this, lastFind_.value_or(FindQuery{}));
        if (!query)
            return;
        lastFind_ = query;
    }
    std::optional<FindHit> hit;
    {
        BusyCursor busy;
        hit = regedit::findNext(service_, currentKey(), currentValue(), *lastFind_);
    }
    if (!hit) {
        MsgBox(this, QStringLiteral("The search reached the end of the registry."),
               platform::vbOKOnly | platform::vbInformation, QStringLiteral("Find"));
        return;
    }
    selectKey(hit->key);
    if (hit->value) {
        selectValue(*hit->value);
        lvwValues_->setFocus();
    } else {
        tvwKeys_->setFocus();
    }
}

// ---- files --------------------------------------------------------------------------------

bool RegistryEditorWindow::importFile(const QString& path) {
    regfile::Result result;
    {
        BusyCursor busy;
        result = regfile::importRegFile(service_, fileName(path));
    }
    if (!result.ok) {
        MsgBox(this, q(result.message), platform::vbOKOnly | platform::vbCritical,
               QStringLiteral("Import Registry File"));
        return false;
    }
    refresh();
    MsgBox(this,
           QStringLiteral("The keys and values in %1 are now in the registry.").arg(QFileInfo(path).fileName()),
           platform::vbOKOnly | platform::vbInformation, QStringLiteral("Import Registry File"));
    return true;
}

bool RegistryEditorWindow::exportFile(const QString& path, bool wholeRegistry) {
    const KeyRef key = currentKey();
    const std::string keyPath = wholeRegistry ? std::string() : key.fullPath();
    regfile::Result result;
    {
        BusyCursor busy;
        result = regfile::exportRegFile(service_, fileName(path), keyPath, regfile::Format::Unicode5);
    }
    if (!result.ok) {
        MsgBox(this, q(result.message), platform::vbOKOnly | platform::vbCritical,
               QStringLiteral("Export Registry File"));
        return false;
    }
    return true;
}

void RegistryEditorWindow::importFromDialog() {
    if (const std::optional<QString> path = prompts_->openRegFile(this))
        importFile(*path);
}

void RegistryEditorWindow::exportFromDialog(bool wholeRegistry) {
    const KeyRef key = currentKey();
    const bool whole = wholeRegistry || key.isComputer();
    const QString suggested = whole ? QStringLiteral("registry.reg") : q(key.parts.empty() ? key.rootName
                                                                                              : key.parts.back()) +
                                                                             QStringLiteral(".reg");
    if (const std::optional<QString> path = prompts_->saveRegFile(this, suggested))
        exportFile(*path, whole);
}

// ---- the last key -------------------------------------------------------------------------

void RegistryEditorWindow::restoreLastKey() {
    const std::string last = loadLastKey(service_);
    if (last.empty())
        return;
    if (const std::optional<KeyRef> key = parseKeyPath(last))
        selectKey(key->isComputer() ? *key : resolveExisting(service_, *key));
}

void RegistryEditorWindow::saveLastKeyNow() {
    saveLastKey(service_, currentKey());  // a failure here costs only the convenience
}

void RegistryEditorWindow::closeEvent(QCloseEvent* event) {
    saveLastKeyNow();
    event->accept();
}

// ---- the program's window -----------------------------------------------------------------

int runEditorWindow(int argc, char** argv) {
    if (!platform::displayAvailable()) {
        std::fputs("regedit: no display to show the editor window on (set DISPLAY or WAYLAND_DISPLAY, "
                   "or QT_QPA_PLATFORM=offscreen); /e, /a and /s need none\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Registry Editor"));
    // A store that this start creates looks like a fresh installation, as with /e and /s.
    regfile::installDefaultRegistry();
    RegistryEditorWindow window(reg::systemRegistry());
    window.restoreLastKey();
    window.show();
    return QApplication::exec();
}

}  // namespace karvo::regedit
