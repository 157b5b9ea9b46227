// The main window: the registry tree, the favourites row, the name box, "My Backups", the three
// commands and the status line. Handlers read the controls, call the plain functions of tree/,
// backup/ and favourites/, and write the results back.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class cRegistry;

namespace karvo::reg {
class RegistryService;
}
namespace karvo::tree {
class RegistryTree;
}
namespace karvo::backup {
class BackupListBox;
}
namespace karvo::app {
class ClickablePicture;
}

class frmRegEdit : public QMainWindow {
    Q_OBJECT
public:
    // programFolder holds the backups, the favourites file and the help file; the working
    // directory must be the same folder. registry: the store to browse (nullptr: the system's).
    explicit frmRegEdit(const QString& programFolder, karvo::reg::RegistryService* registry = nullptr,
                        QWidget* parent = nullptr);
    ~frmRegEdit() override;

    // Start-up: prepares the tree, fills both lists and shows the window.
    void Form_Load();
    // Shutdown: discards the open branch, closes every other window, then emits unloaded().
    void Form_Unload();

    void tvwReg_NodeClick(QTreeWidgetItem* node);
    void txtFilename_Change();
    void lstBack_Click();
    void cmdBackup_Click();
    void cmdRestore_Click();
    void cmdDelete_Click();
    void RefreshSelectedKey();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void Combo1_Click();
    void Image1_Click();
    void Image2_Click();
    void mnuFile_Click(int index);
    void mnuEdit_Click(int index);
    void mnuView_Click(int index);
    void mnuHelp_Click(int index);

    const QString& programFolder() const { return programFolder_; }
    karvo::tree::RegistryTree& registryTree() { return *tree_; }
    // Editor runs whose outcome has not arrived yet.
    int pendingEditorRuns() const { return pendingRuns_; }

signals:
    void unloaded();
    // An export or import has finished and its outcome is on screen.
    void editorFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    int twipsX(int twips) const;
    int twipsY(int twips) const;
    void place(QWidget* w, int left, int top, int width, int height);
    void showMessage(const QString& text);
    void showKeyPath();
    void selectComboEntry(int index);
    void refillBackupList(bool emptyFirst);
    QString favouritesFile() const;
    void editorDone();

    QString programFolder_;
    std::unique_ptr<cRegistry> reg_;
    karvo::tree::RegistryTree* tree_ = nullptr;
    bool unloading_ = false;
    bool fillingList_ = false;  // the list is refilled by the program, not chosen from
    int pendingRuns_ = 0;

    QWidget* client_ = nullptr;
    QComboBox* Combo1 = nullptr;
    karvo::app::ClickablePicture* Image1 = nullptr;
    karvo::app::ClickablePicture* Image2 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QLineEdit* txtFilename = nullptr;
    QLabel* Label2 = nullptr;
    QTreeWidget* tvwReg = nullptr;
    karvo::backup::BackupListBox* lstBack = nullptr;
    QPushButton* cmdBackup = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdDelete = nullptr;
    QLineEdit* txtIndex = nullptr;
    QLabel* lblMessage = nullptr;
    QLineEdit* txtRoot = nullptr;
    QPushButton* cmdDummy = nullptr;
    QLabel* Label1 = nullptr;

    QPointer<QWidget> bugReport_;
    QPointer<QWidget> about_;
};
