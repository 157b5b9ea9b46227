// The registry editor's main window: keys on the left, the selected key's values on the right, an
// address bar above. Every change goes straight to the registry service through EditorModel.
#pragma once

#include "EditorModel.h"
#include "registry/RegistryService.h"

#include <QMainWindow>
#include <QString>

#include <memory>
#include <optional>

class QAction;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace karvo::regedit {

// The questions the window asks the user. The window's own dialogs by default; tests answer them
// instead. nullopt stands for Cancel.
class EditorPrompts {
public:
    virtual ~EditorPrompts() = default;
    virtual std::optional<QString> askText(QWidget* parent, const QString& title, const QString& label,
                                           const QString& initial, bool multiLine);
    virtual std::optional<QString> openRegFile(QWidget* parent);
    virtual std::optional<QString> saveRegFile(QWidget* parent, const QString& suggestedName);
    virtual std::optional<FindQuery> askFind(QWidget* parent, const FindQuery& previous);
};

class RegistryEditorWindow : public QMainWindow {
    Q_OBJECT
public:
    // prompts may be null for the real dialogs; the caller keeps ownership of both.
    explicit RegistryEditorWindow(reg::RegistryService& service, EditorPrompts* prompts = nullptr,
                                  QWidget* parent = nullptr);
    ~RegistryEditorWindow() override;

    // The key shown ("Computer" when nothing below it is selected).
    KeyRef currentKey() const;
    // The selected value's name when the value list is the active side, else nullopt.
    std::optional<std::string> currentValue() const;
    QString addressText() const;

    // Goes to a key path as the address bar takes it; the deepest existing key when only part of it
    // exists. False when the root is unknown or not all of the path exists.
    bool navigateTo(const QString& path);
    bool selectKey(const KeyRef& key);
    bool selectValue(const std::string& name);

    // The commands, also behind the menus. Each asks through the prompts where it needs an answer.
    void refresh();
    void newKey();
    void newValue(reg::DWORD type);
    void modifyValue();
    void renameSelected();
    void deleteSelected();
    void copyKeyName();
    void find();
    void findNext();
    void importFromDialog();
    void exportFromDialog(bool wholeRegistry);

    // Import and export without a file dialog; failures are shown to the user and answered false.
    bool importFile(const QString& path);
    bool exportFile(const QString& path, bool wholeRegistry);

    // The key shown when the editor was last closed.
    void restoreLastKey();
    void saveLastKeyNow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    QTreeWidgetItem* addKeyItem(QTreeWidgetItem* parent, const QString& text);
    void loadChildren(QTreeWidgetItem* item);
    void reloadChildren(QTreeWidgetItem* item);
    QTreeWidgetItem* itemFor(const KeyRef& key, bool reload);
    KeyRef keyOf(const QTreeWidgetItem* item) const;
    void showValues(const std::optional<std::string>& select = std::nullopt);
    void onCurrentKeyChanged();
    bool report(const EditResult& result, const QString& caption);
    void renameKeyCommand();
    void renameValueCommand();
    void deleteKeyCommand();
    void deleteValueCommand();
    void runFind(bool ask);

    reg::RegistryService& service_;
    std::unique_ptr<EditorPrompts> ownPrompts_;
    EditorPrompts* prompts_;
    QTreeWidget* tvwKeys_ = nullptr;
    QTreeWidget* lvwValues_ = nullptr;
    QLineEdit* txtAddress_ = nullptr;
    QTreeWidgetItem* computer_ = nullptr;
    bool valuesActive_ = false;
    std::optional<FindQuery> lastFind_;
};

}  // namespace karvo::regedit
