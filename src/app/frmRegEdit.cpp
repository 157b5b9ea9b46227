#include "app/frmRegEdit.h"

#include "app/Pictures.h"
#include "backup/BackupList.h"
#include "backup/Backups.h"
#include "favourites/ComboHygiene.h"
#include "favourites/Favourites.h"
#include "platform/BusyCursor.h"
#include "platform/GetWin.h"
#include "platform/Launcher.h"
#include "platform/MsgBox.h"
#include "platform/ShexIt.h"
#include "registry/cRegistry.h"
#include "tree/RegistryTree.h"

#ifdef KARVO_HAVE_MAILER
#include "ui/qt/frmBugReport.h"
#endif
#ifdef KARVO_HAVE_ABOUT
#include "ui/qt/frmAbout.h"
#endif

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>

#include <cmath>

using karvo::platform::MsgBox;
using karvo::platform::vbExclamation;
using karvo::platform::vbInformation;
using karvo::platform::vbNo;
using karvo::platform::vbOKOnly;
using karvo::platform::vbYesNo;
namespace tree = karvo::tree;
namespace backup = karvo::backup;
namespace fav = karvo::favourites;

namespace {

const QString kAppTitle = QStringLiteral("Karvo Backup");
const QString kCaption = QStringLiteral("Tolvane Karvo Backup");
const QString kFiveBlanks = QStringLiteral("     ");
const QString kCrLf = QStringLiteral("\r\n");

// The client area and the controls, in twips (left, top, width, height).
constexpr int kClientWidth = 7590;
constexpr int kClientHeight = 5295;

using karvo::platform::BusyCursor;

void letEventsRun() { QCoreApplication::processEvents(); }

}  // namespace

frmRegEdit::frmRegEdit(const QString& programFolder, karvo::reg::RegistryService* registry, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      programFolder_(QDir::cleanPath(programFolder)),
      reg_(registry ? std::make_unique<cRegistry>(*registry) : std::make_unique<cRegistry>()) {
    setObjectName(QStringLiteral("frmRegEdit"));
    setWindowTitle(kCaption);
    buildControls();
    buildMenus();
    tree_ = new tree::RegistryTree(tvwReg, *reg_, this);
}

frmRegEdit::~frmRegEdit() {
    // An editor run still in flight never reports back once the window is gone.
    while (pendingRuns_ > 0) {
        --pendingRuns_;
        QApplication::restoreOverrideCursor();
    }
    delete bugReport_.data();
    delete about_.data();
}

int frmRegEdit::twipsX(int twips) const {
    return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0));
}

int frmRegEdit::twipsY(int twips) const {
    return static_cast<int>(std::lround(twips * logicalDpiY() / 1440.0));
}

void frmRegEdit::place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(twipsX(left), twipsY(top), twipsX(width), twipsY(height));
}

void frmRegEdit::buildControls() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(twipsX(kClientWidth), twipsY(kClientHeight));
    setCentralWidget(client_);

    auto* line1 = new QFrame(client_);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setGeometry(0, twipsY(120), twipsX(7600), 1);
    line1->setStyleSheet(QStringLiteral("background-color: rgb(128,128,128); border: none;"));
    auto* line2 = new QFrame(client_);
    line2->setObjectName(QStringLiteral("Line2"));
    line2->setGeometry(0, twipsY(135), twipsX(7600), 1);
    line2->setStyleSheet(QStringLiteral("background-color: rgb(255,255,255); border: none;"));

    Combo1 = new QComboBox(client_);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    fav::keepTypingFromChoosing(Combo1);
    Combo1->setEditText(QStringLiteral("Combo1"));
    place(Combo1, 80, 360, 5940, 315);

    Image1 = new karvo::app::ClickablePicture(client_);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(karvo::app::downArrowPicture());
    place(Image1, 5895, 270, 480, 480);
    Image2 = new karvo::app::ClickablePicture(client_);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(karvo::app::upArrowPicture());
    place(Image2, 6260, 315, 480, 480);

    QFont bold(QStringLiteral("MS Sans Serif"));
    bold.setPointSize(12);
    bold.setBold(true);
    cmdAdd = new QPushButton(QStringLiteral("+"), client_);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd->setFont(bold);
    cmdAdd->setToolTip(QStringLiteral("Add selected Key to Favorites"));
    place(cmdAdd, 6700, 360, 375, 315);
    cmdRemove = new QPushButton(QStringLiteral("-"), client_);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdRemove->setFont(bold);
    cmdRemove->setToolTip(QStringLiteral("Remove selected from Favorites"));
    place(cmdRemove, 7140, 360, 375, 315);

    txtFilename = new QLineEdit(client_);
    txtFilename->setObjectName(QStringLiteral("txtFilename"));
    txtFilename->setToolTip(QStringLiteral("Backup Filename"));
    place(txtFilename, 80, 840, 3640, 285);

    Label2 = new QLabel(QStringLiteral("My Backups"), client_);
    Label2->setObjectName(QStringLiteral("Label2"));
    place(Label2, 3880, 855, 3620, 285);

    tvwReg = new QTreeWidget(client_);
    tvwReg->setObjectName(QStringLiteral("tvwReg"));
    tvwReg->setHeaderHidden(true);
    tvwReg->setColumnCount(1);
    tvwReg->setUniformRowHeights(true);
    tvwReg->setSelectionMode(QAbstractItemView::SingleSelection);
    tvwReg->setIconSize(QSize(tree::ImageList::kSize, tree::ImageList::kSize));
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSizeF(8.25);
    tvwReg->setFont(tahoma);
    // A long key name is scrolled to sideways, as in the system's tree control, never cut short.
    tvwReg->header()->setStretchLastSection(false);
    tvwReg->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    place(tvwReg, 75, 1290, 3645, 3000);

    lstBack = new backup::BackupListBox(client_);
    lstBack->setObjectName(QStringLiteral("lstBack"));
    place(lstBack, 3885, 1320, 3615, 2985);

    cmdBackup = new QPushButton(QStringLiteral("&Backup Key"), client_);
    cmdBackup->setObjectName(QStringLiteral("cmdBackup"));
    place(cmdBackup, 1050, 4460, 1695, 350);
    cmdRestore = new QPushButton(QStringLiteral("&Restore"), client_);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    place(cmdRestore, 3920, 4460, 1695, 350);
    cmdDelete = new QPushButton(QStringLiteral("&Delete"), client_);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    place(cmdDelete, 5785, 4460, 1695, 350);

    txtIndex = new QLineEdit(fav::kPrompt, client_);
    txtIndex->setObjectName(QStringLiteral("txtIndex"));
    // The status line is shown, not edited: the backup command reads the key path from it.
    txtIndex->setReadOnly(true);
    QPalette statusPalette = txtIndex->palette();
    statusPalette.setColor(QPalette::Base, statusPalette.color(QPalette::Button));
    txtIndex->setPalette(statusPalette);
    txtIndex->installEventFilter(this);
    place(txtIndex, 75, 4920, 7460, 285);

    lblMessage = new QLabel(client_);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    place(lblMessage, 75, 4920, 7455, 285);
    lblMessage->hide();

    // Working fields below the client area's bottom edge: present but never seen.
    txtRoot = new QLineEdit(client_);
    txtRoot->setObjectName(QStringLiteral("txtRoot"));
    place(txtRoot, 5400, 6840, 735, 405);
    cmdDummy = new QPushButton(QStringLiteral("Command1"), client_);
    cmdDummy->setObjectName(QStringLiteral("cmdDummy"));
    place(cmdDummy, 4560, 6960, 495, 255);
    Label1 = new QLabel(QStringLiteral("Label1"), client_);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 960, 6960, 480, 195);

    QWidget* order[] = {cmdDummy, tvwReg,    txtFilename, lstBack,  cmdBackup, cmdRestore,
                        cmdDelete, txtIndex, txtRoot};
    QWidget::setTabOrder(cmdDummy, tvwReg);
    QWidget::setTabOrder(tvwReg, Combo1);
    QWidget::setTabOrder(Combo1, cmdAdd);
    QWidget::setTabOrder(cmdAdd, cmdRemove);
    QWidget::setTabOrder(cmdRemove, txtFilename);
    for (std::size_t i = 2; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    connect(tvwReg, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { tvwReg_NodeClick(item); });
    connect(txtFilename, &QLineEdit::textChanged, this, &frmRegEdit::txtFilename_Change);
    connect(lstBack, &QListWidget::itemClicked, this, &frmRegEdit::lstBack_Click);
    // Choosing with the arrow keys is choosing too. A refill is not, and neither is the focus
    // arriving: it makes the first entry current without selecting it.
    connect(lstBack, &QListWidget::itemSelectionChanged, this, [this] {
        if (!fillingList_)
            lstBack_Click();
    });
    connect(cmdBackup, &QPushButton::clicked, this, &frmRegEdit::cmdBackup_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &frmRegEdit::cmdRestore_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmRegEdit::cmdDelete_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmRegEdit::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmRegEdit::cmdRemove_Click);
    connect(Combo1, &QComboBox::activated, this, &frmRegEdit::Combo1_Click);
    connect(Image1, &karvo::app::ClickablePicture::clicked, this, &frmRegEdit::Image1_Click);
    connect(Image2, &karvo::app::ClickablePicture::clicked, this, &frmRegEdit::Image2_Click);
}

void frmRegEdit::buildMenus() {
    struct Menu {
        const char* top;
        const char* title;
        const char* items;
        std::vector<std::pair<int, const char*>> entries;
        void (frmRegEdit::*handler)(int);
    };
    const Menu menus[] = {
        {"mnuFileTOP", "&File", "mnuFile", {{2, "E&xit"}}, &frmRegEdit::mnuFile_Click},
        {"mnuEditTOP", "&Actions", "mnuEdit",
         {{0, "&Backup Selected"}, {1, "-"}, {2, "&Restore Selected"}, {3, "-"}, {4, "&Delete Selected"}},
         &frmRegEdit::mnuEdit_Click},
        {"mnuViewTOP", "&View", "mnuView", {{0, "Registry &Editor"}, {1, "-"}, {2, "&Refresh"}},
         &frmRegEdit::mnuView_Click},
        {"mnuHelpTOP", "&Help", "mnuHelp",
         {{0, "&Contents"}, {1, "-"}, {2, "&Tell a Friend"}, {3, "-"}, {4, "&About"}},
         &frmRegEdit::mnuHelp_Click},
    };
    for (const Menu& m : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.title));
        menu->setObjectName(QString::fromLatin1(m.top));
        for (const auto& [index, caption] : m.entries) {
            QAction* action = QString::fromLatin1(caption) == QLatin1String("-")
                                  ? menu->addSeparator()
                                  : menu->addAction(QString::fromLatin1(caption));
            action->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(m.items)).arg(index));
            if (!action->isSeparator()) {
                const auto handler = m.handler;
                const int i = index;
                connect(action, &QAction::triggered, this, [this, handler, i] { (this->*handler)(i); });
            }
        }
    }
}

// ---- start-up and shutdown -------------------------------------------------------------------

void frmRegEdit::Form_Load() {
    // A backup list twice as wide as it shows can be scrolled sideways for long names.
    lstBack->setHorizontalExtent(static_cast<int>(std::lround(3615 * logicalDpiX() / 1440.0 * 2.0)));

    tvwReg->setIconSize(QSize(tree::ImageList::kSize, tree::ImageList::kSize));
    tree_->buildRoots();

    refillBackupList(true);

    fav::ensureFavouritesFile(favouritesFile());
    letEventsRun();

    fav::Load_Combo(favouritesFile(), Combo1);
    fav::ClearBlanks2(Combo1);
    fav::ClearDoubles2(Combo1);
    if (Combo1->count() > 0)
        selectComboEntry(0);
    letEventsRun();

    // Opens centred on the screen, at a size the user cannot change.
    adjustSize();
    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    cmdDummy->setFocus();
}

void frmRegEdit::closeEvent(QCloseEvent* event) {
    if (!unloading_)
        Form_Unload();
    event->accept();
}

void frmRegEdit::Form_Unload() {
    if (unloading_)
        return;
    unloading_ = true;
    hide();
    letEventsRun();
    if (QTreeWidgetItem* selected = tree_->selectedNode())
        tree_->collapse(tree::RegistryTree::rootOf(selected));
    letEventsRun();
    if (bugReport_)
        bugReport_->close();
    if (about_)
        about_->close();
    close();
    emit unloaded();
}

// ---- the status line ----------------------------------------------------------------------------

void frmRegEdit::showMessage(const QString& text) {
    txtIndex->hide();
    lblMessage->show();
    lblMessage->setText(text);
}

void frmRegEdit::showKeyPath() {
    lblMessage->hide();
    txtIndex->show();
}

bool frmRegEdit::eventFilter(QObject* watched, QEvent* event) {
    // A press on the status line parks the focus on the invisible button: no caret there.
    // The second press of a double click counts as a press as well.
    if (watched == txtIndex &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        cmdDummy->setFocus(Qt::MouseFocusReason);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- the tree and the fields it fills -----------------------------------------------------------

void frmRegEdit::tvwReg_NodeClick(QTreeWidgetItem* node) {
    if (!node)
        return;
    BusyCursor busy;
    tree_->expand(node);
    showKeyPath();
    const tree::KeySelection sel = tree::selectionFor(tree::RegistryTree::fullPath(node), node->text(0));
    txtIndex->setText(sel.keyPath);
    tree::RegistryTree::mark(node);
    txtRoot->setText(sel.root);
    txtFilename->setText(sel.name);
    Label1->setText(sel.fileName);
}

void frmRegEdit::txtFilename_Change() {
    Label1->setText(tree::defaultFileName(txtFilename->text(), txtRoot->text()));
}

// ---- backups --------------------------------------------------------------------------------------

void frmRegEdit::refillBackupList(bool emptyFirst) {
    // Afterwards the same backup is chosen as before, or none; never the entry that moved into its
    // row, which a restore would then import unasked. An emptied list has none chosen.
    const QList<QListWidgetItem*> chosen = lstBack->selectedItems();
    const QString before = emptyFirst || chosen.isEmpty() ? QString() : chosen.first()->text();
    fillingList_ = true;
    if (emptyFirst)
        lstBack->clear();
    backup::FillBackupList(lstBack, programFolder_ + QLatin1Char('/'));
    fav::ClearDoubles(lstBack);
    fav::ClearBlanks(lstBack);
    lstBack->setCurrentItem(nullptr);
    lstBack->clearSelection();
    const QList<QListWidgetItem*> same = lstBack->findItems(before, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!before.isEmpty() && !same.isEmpty())
        lstBack->setCurrentItem(same.first());
    fillingList_ = false;
}

void frmRegEdit::lstBack_Click() {
    const QList<QListWidgetItem*> chosen = lstBack->selectedItems();
    if (!chosen.isEmpty())
        txtFilename->setText(chosen.first()->text());
}

void frmRegEdit::editorDone() {
    if (pendingRuns_ > 0) {
        --pendingRuns_;
        QApplication::restoreOverrideCursor();
    }
}

namespace {

// With a Wine prefix as the registry, backups go through Wine's own regedit.
bool wineEditor() { return karvo::reg::registryChoice().wine; }

}  // namespace

void frmRegEdit::cmdBackup_Click() {
    QTreeWidgetItem* node = tree_->selectedNode();
    if (!node || !tree::RegistryTree::isMarked(node)) {
        MsgBox(this,
               QStringLiteral("Select a Key to backup by clicking it") + kFiveBlanks + kCrLf +
                   QStringLiteral("The Key to backup will have a red check mark") + kFiveBlanks,
               vbOKOnly | vbInformation, QStringLiteral("Key Not Selected"));
        return;
    }
    if (txtFilename->text().isEmpty()) {
        MsgBox(this, QStringLiteral("Please enter a name for the backup file") + kFiveBlanks,
               vbOKOnly | vbInformation, QStringLiteral("Select a Name"));
        txtFilename->setFocus();
        return;
    }
    if (const auto refusal = backup::checkBackupName(txtFilename->text())) {
        MsgBox(this, refusal->text, vbOKOnly | vbInformation, refusal->caption);
        txtFilename->setFocus();
        return;
    }
    txtFilename->setText(tree::blanksToUnderscores(txtFilename->text()));
    if (backup::FileExist(Label1->text())) {
        const int answer = MsgBox(this,
                                  QStringLiteral("A backup by that name already exists") + kFiveBlanks + kCrLf +
                                      QStringLiteral("Are you sure you want to replace it?") + kFiveBlanks,
                                  vbYesNo | vbExclamation, QStringLiteral("Replace File?"));
        if (answer == vbNo) {
            txtFilename->setFocus();
            txtFilename->setSelection(0, static_cast<int>(txtFilename->text().size()));
            return;
        }
    }
    const QString name = txtFilename->text();
    const QString commandLine = backup::exportCommandLine(QString::fromStdString(karvo::platform::GetWinDir()), name,
                                                          txtRoot->text(), txtIndex->text());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++pendingRuns_;
    letEventsRun();
    showMessage(QStringLiteral("Creating backup file ") + name);
    letEventsRun();
    // The editor writes the file in its working folder, which is ours.
    const QString file = QDir::current().absoluteFilePath(Label1->text());
    const QDateTime writtenBefore = QFileInfo(file).lastModified();
    // The outcome is reported only once the editor has finished; the window keeps running.
    karvo::platform::RunProcess(
        commandLine.toStdString(), karvo::platform::kStyleNormalFocus, this,
        [this, name, file, writtenBefore](const karvo::platform::ProcessOutcome& outcome) {
            editorDone();
            QString reason = QString::fromStdString(outcome.errorText);
            const int status =
                backup::checkedEditorStatus(outcome.exitCode, reason, wineEditor(), file, writtenBefore);
            const backup::EditorReport report = backup::exportReport(name, outcome.started, status, reason);
            lblMessage->setText(report.status);
            if (!report.ok)
                MsgBox(this, report.message, vbOKOnly, kAppTitle);
            refillBackupList(false);
            emit editorFinished(report.ok);
        });
}

void frmRegEdit::cmdRestore_Click() {
    const QList<QListWidgetItem*> selected = lstBack->selectedItems();
    if (selected.isEmpty()) {
        MsgBox(this, QStringLiteral("Please select a Backup to restore") + kFiveBlanks, vbOKOnly | vbInformation,
               QStringLiteral("Nothing Selected"));
        lstBack->setFocus();
        return;
    }
    const QString entry = selected.first()->text();
    if (const auto refusal = backup::checkBackupName(entry)) {
        MsgBox(this, refusal->text, vbOKOnly | vbInformation, refusal->caption);
        lstBack->setFocus();
        return;
    }
    const QString name = txtFilename->text();
    showMessage(QStringLiteral("Restoring backup file ") + name);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++pendingRuns_;
    letEventsRun();
    // The listed name stands for its file whatever the letter case of its extension.
    const QString file = backup::backupFileName(programFolder_, entry);
    const QString commandLine = backup::importCommandLine(QString::fromStdString(karvo::platform::GetWinDir()),
                                                          file.isEmpty() ? entry + QStringLiteral(".reg") : file);
    karvo::platform::RunProcess(
        commandLine.toStdString(), karvo::platform::kStyleNormalFocus, this,
        [this, name](const karvo::platform::ProcessOutcome& outcome) {
            editorDone();
            QString reason = QString::fromStdString(outcome.errorText);
            const int status = backup::checkedEditorStatus(outcome.exitCode, reason, wineEditor());
            const backup::EditorReport report = backup::importReport(name, outcome.started, status, reason);
            lblMessage->setText(report.status);
            if (report.ok) {
                letEventsRun();
                // The tree shows the key as the import left it.
                RefreshSelectedKey();
            } else {
                MsgBox(this, report.message, vbOKOnly, kAppTitle);
            }
            emit editorFinished(report.ok);
        });
}

void frmRegEdit::RefreshSelectedKey() {
    QTreeWidgetItem* node = tree_->selectedNode();
    if (!node)
        return;
    const bool wasExpanded = node->isExpanded();
    if (wasExpanded)
        node->setExpanded(false);
    // A node read while shown closed, or found without sub-keys, is read afresh as well, so the
    // tree never keeps what it saw before the refresh.
    if (tree::RegistryTree::isEnumerated(node))
        tree_->forget(node);
    tvwReg_NodeClick(tree_->selectedNode());
    if (QTreeWidgetItem* now = tree_->selectedNode()) {
        now->setExpanded(wasExpanded);
        tvwReg->scrollToItem(now);
    }
}

void frmRegEdit::cmdDelete_Click() {
    const QList<QListWidgetItem*> selected = lstBack->selectedItems();
    if (selected.isEmpty()) {
        MsgBox(this, QStringLiteral("Please select a Backup to delete") + kFiveBlanks, vbOKOnly | vbInformation,
               QStringLiteral("Nothing Selected"));
        lstBack->setFocus();
        return;
    }
    QString why;
    if (!backup::deleteBackup(programFolder_, selected.first()->text(), &why))
        MsgBox(this,
               QStringLiteral("The backup file could not be deleted") + kFiveBlanks + kCrLf + why + kFiveBlanks,
               vbOKOnly, kAppTitle);
    letEventsRun();
    refillBackupList(true);
}

// ---- favourites -----------------------------------------------------------------------------------

QString frmRegEdit::favouritesFile() const { return fav::favouritesPath(programFolder_); }

void frmRegEdit::selectComboEntry(int index) {
    Combo1->setCurrentIndex(index);
    Combo1_Click();
}

void frmRegEdit::cmdAdd_Click() {
    if (!fav::mayBeFavourite(txtIndex->text()))
        return;
    Combo1->addItem(txtIndex->text());
    letEventsRun();
    Combo1->addItem(Combo1->currentText());
    selectComboEntry(0);
    fav::ClearBlanks2(Combo1);
    fav::ClearDoubles2(Combo1);
    selectComboEntry(0);
    fav::Save_Combo(favouritesFile(), Combo1);
}

void frmRegEdit::cmdRemove_Click() {
    if (Combo1->currentText() == fav::kHeading)
        return;
    // Only an entry actually chosen is removed; typed text names none.
    const int chosen = Combo1->currentIndex();
    if (chosen >= 0 && Combo1->itemText(chosen) == Combo1->currentText())
        Combo1->removeItem(chosen);
    if (Combo1->count() > 0)
        selectComboEntry(0);
    fav::ClearBlanks2(Combo1);
    fav::ClearDoubles2(Combo1);
    if (Combo1->count() > 0)
        selectComboEntry(0);
    fav::Save_Combo(favouritesFile(), Combo1);
}

void frmRegEdit::Combo1_Click() {
    const QString text = Combo1->currentText();
    if (text != fav::kHeading) {
        QTreeWidgetItem* before = tree_->selectedNode();
        if (QTreeWidgetItem* node = tree_->openPath(fav::pathComponents(text))) {
            tree::RegistryTree::mark(node);
            txtIndex->setText(tree::RegistryTree::fullPath(node));
            txtFilename->setText(node->text(0));
        } else if (QTreeWidgetItem* ancestor = tree_->selectedNode(); ancestor != before) {
            // The jump ended on an ancestor, which it does not mark: an old check mark there
            // would show one key while the backup command exported another.
            tree::RegistryTree::unmark(ancestor);
        }
        txtRoot->setText(tree::rootOfKeyPath(txtIndex->text()));
    }
    txtFilename->setText(tree::blanksToUnderscores(txtFilename->text()));
    Label1->setText(tree::defaultFileName(txtFilename->text(), txtRoot->text()));
}

void frmRegEdit::Image1_Click() {
    if (fav::arrowsApply(Combo1->currentText(), txtIndex->text()))
        Combo1_Click();
}

void frmRegEdit::Image2_Click() {
    if (fav::arrowsApply(Combo1->currentText(), txtIndex->text()))
        Combo1->setEditText(txtIndex->text());
}

// ---- menus -----------------------------------------------------------------------------------------

void frmRegEdit::mnuFile_Click(int) { close(); }

void frmRegEdit::mnuEdit_Click(int index) {
    switch (index) {
    case 0: cmdBackup_Click(); break;
    case 2: cmdRestore_Click(); break;
    case 4: cmdDelete_Click(); break;
    default: break;
    }
}

void frmRegEdit::mnuView_Click(int index) {
    if (index == 0) {
        karvo::platform::ShellExecuteA(this, "open", karvo::platform::GetWinDir() + "\\Regedit.exe", "", "",
                                       karvo::platform::SW_SHOWNORMAL_);
    } else if (index == 2) {
        RefreshSelectedKey();
    }
}

void frmRegEdit::mnuHelp_Click(int index) {
    switch (index) {
    case 0:
        karvo::platform::ShellExecuteA(this, "open",
                                       QDir::toNativeSeparators(QDir(programFolder_).filePath(
                                                                    QStringLiteral("Karvo.chm")))
                                           .toStdString(),
                                       "", "", karvo::platform::SW_SHOWNORMAL_);
        break;
    case 2:
#ifdef KARVO_HAVE_MAILER
        if (!bugReport_) {
            bugReport_ = new frmBugReport();
            bugReport_->setAttribute(Qt::WA_DeleteOnClose);
        }
        bugReport_->show();
        bugReport_->raise();
#endif
        break;
    case 4:
#ifdef KARVO_HAVE_ABOUT
        if (!about_) {
            about_ = new frmAbout();
            about_->setAttribute(Qt::WA_DeleteOnClose);
        }
        about_->show();
        about_->raise();
#endif
        break;
    default:
        break;
    }
}
