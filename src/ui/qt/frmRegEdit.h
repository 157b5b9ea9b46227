// The main window's Qt front end: makes the controls and menus from the logic's tables, passes
// every event to app::MainWindow and carries out what it is told; it decides nothing.
#pragma once

#include "app/MainWindow.h"
#include "ui/qt/ItemIndex.h"
#include "ui/qt/QtDesktop.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace karvo::reg {
class RegistryService;
}

class frmRegEdit : public QMainWindow, karvo::app::MainView, karvo::tree::TreeView {
    Q_OBJECT
public:
    // programFolder holds the backups, the favourites file and the help file; the working
    // directory must be the same folder. registry: the store to browse (nullptr: the system's).
    explicit frmRegEdit(const QString& programFolder, karvo::reg::RegistryService* registry = nullptr,
                        QWidget* parent = nullptr);
    ~frmRegEdit() override;

    void Form_Load() { logic_->load(); }
    void Form_Unload() { logic_->unload(); }
    karvo::app::MainWindow& logic() { return *logic_; }
    // The node an item of the tree shows, kNoNode for none.
    karvo::tree::NodeId nodeOf(const QTreeWidgetItem* item) const;
    int pendingEditorRuns() const { return logic_->pendingEditorRuns(); }

signals:
    void unloaded();
    // An export or import has finished and its outcome is on screen.
    void editorRunFinished(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // MainView
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, const std::string& text) override;
    void showStatus(karvo::app::Status mode) override;
    void focus(std::string_view control) override;
    void selectAll(std::string_view control) override;
    void setBackups(std::span<const std::string> names, int chosen) override;
    void setFavourites(std::span<const std::string> entries) override;
    void chooseFavourite(int index) override;
    void setBusy(bool busy) override;
    void letEventsRun() override;
    void showWindow() override;
    void hideWindow() override;
    void closeWindow() override;
    void openWindow(std::string_view name) override;
    void closeOtherWindows() override;
    void openComparison(const std::string& backupName, karvo::compare::Comparison comparison) override;
    void enableMenu(std::string_view item, bool enabled) override;
    void editorFinished(bool ok) override { emit editorRunFinished(ok); }
    // TreeView
    void addNodes(karvo::tree::NodeId parent, std::span<const karvo::tree::NodeId> ids,
                  std::span<const std::string> texts) override;
    void removeChildren(karvo::tree::NodeId node) override;
    void moveToEnd(karvo::tree::NodeId root) override;
    void setImages(karvo::tree::NodeId node, karvo::tree::Image image, karvo::tree::Image selectedImage) override;
    void setRead(karvo::tree::NodeId node, bool read) override;
    void setExpanded(karvo::tree::NodeId node, bool expanded) override;
    void select(karvo::tree::NodeId node) override;
    void scrollTo(karvo::tree::NodeId node) override;

    void buildControls();
    void buildMenus();
    QWidget* control(std::string_view name) const;
    QTreeWidgetItem* item(karvo::tree::NodeId node) const;

    karvo::ui::QtDesktop desktop_;
    std::unique_ptr<cRegistry> reg_;
    std::unique_ptr<karvo::app::MainWindow> logic_;
    std::map<std::string, QWidget*, std::less<>> controls_;
    QTreeWidget* tvwReg = nullptr;
    QListWidget* lstBack = nullptr;
    QComboBox* Combo1 = nullptr;
    karvo::ui::ItemIndex items_;  // by node id
    int obeying_ = 0;                      // > 0 while carrying out an order: its echoes are not events
    int busy_ = 0;
    QPointer<QWidget> bugReport_;
    QPointer<QWidget> about_;
    std::vector<QPointer<QWidget>> comparisons_;  // one window per comparison opened
};
