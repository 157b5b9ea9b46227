// A main window on its own program folder (also the working directory), its own registry store
// and the build's registry editor, with message boxes answered by the test.
#pragma once

#include "ui/qt/frmRegEdit.h"

#include "TestStore.h"
#include "WindowChecks.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace karvo::test {


class WindowTest : public ::testing::Test {
protected:
    TempDir folder;
    TestStore reg;
    ScopedEnv registryEnv{"KARVO_REGISTRY", reg.storePath()};
    ScopedEnv winDirEnv{"KARVO_WINDIR", (binaryDir() / "windows").string()};
    platform::RecordingMessageBoxes boxes;
    QString previousDir = QDir::currentPath();
    std::unique_ptr<reg::RegistryService> store;  // the window's registry when set, else reg's store
    std::unique_ptr<frmRegEdit> window;

    WindowTest() { QDir::setCurrent(QString::fromStdString(folder.str())); }
    ~WindowTest() override {
        window.reset();
        QDir::setCurrent(previousDir);
    }

    void load() {
        window.reset();
        window = std::make_unique<frmRegEdit>(QString::fromStdString(folder.str()), store ? store.get() : &reg.store());
        window->Form_Load();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <class T = QWidget>
    T* control(const char* name) const { return child<T>(window.get(), name); }
    QTreeWidget* tree() const { return control<QTreeWidget>("tvwReg"); }
    QListWidget* lstBack() const { return control<QListWidget>("lstBack"); }
    QComboBox* Combo1() const { return control<QComboBox>("Combo1"); }
    QLineEdit* txtFilename() const { return control<QLineEdit>("txtFilename"); }
    QString text(const char* name) const {
        if (auto* edit = window->findChild<QLineEdit*>(QLatin1String(name)))
            return edit->text();
        return control<QLabel>(name)->text();
    }
    // What a click on a key fills in: the status line, the name box, the short name and the file name.
    QStringList fields() const { return {text("txtIndex"), text("txtFilename"), text("txtRoot"), text("Label1")}; }
    QStringList backups() const {
        QStringList names;
        for (int i = 0; i < lstBack()->count(); ++i)
            names.append(lstBack()->item(i)->text());
        return names;
    }
    // What the logic holds for the node an item shows.
    bool marked(QTreeWidgetItem* item) const { return window->logic().tree().isMarked(window->nodeOf(item)); }
    QStringList favourites() const { return items(Combo1()); }
    bool messageMode() const {
        return control("lblMessage")->isVisibleTo(window.get()) && control("txtIndex")->isHidden();
    }

    // The node at a Key path, expanding the way there as a user would.
    QTreeWidgetItem* node(const QString& keyPath) const {
        QTreeWidgetItem* at = tree()->invisibleRootItem();
        for (const QString& part : keyPath.split(u'\\')) {
            at->setExpanded(true);
            QTreeWidgetItem* next = nullptr;
            for (int c = 0; c < at->childCount() && !next; ++c)
                if (at->child(c)->text(0) == part)
                    next = at->child(c);
            if (!(at = next))
                break;
        }
        return at;
    }
    void clickNode(const QString& keyPath) const {
        QTreeWidgetItem* item = node(keyPath);
        ASSERT_TRUE(item) << keyPath.toStdString();
        clickNode(item);
    }
    void clickNode(QTreeWidgetItem* item) const {
        tree()->scrollToItem(item);
        const QRect shown = tree()->visualItemRect(item).intersected(tree()->viewport()->rect());
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, shown.center());
    }
    void clickBackup(const QString& name) const {
        const auto found = lstBack()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        lstBack()->scrollToItem(found.first());
        QTest::mouseClick(lstBack()->viewport(), Qt::LeftButton, {}, lstBack()->visualItemRect(found.first()).center());
    }
    void press(const char* name) const { QTest::mouseClick(control(name), Qt::LeftButton); }
    void menu(const char* item) const { control<QAction>(item)->trigger(); }
    void typeName(const QString& name) const {
        txtFilename()->clear();
        QTest::keyClicks(txtFilename(), name);
    }
    // Waits until every started registry editor has reported back.
    bool editorsFinished() const {
        return QTest::qWaitFor([this] { return window->pendingEditorRuns() == 0; }, 30000);
    }
    // The counts of the comparison window that is open, "" when none is.
    static QString comparedCounts() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "frmCompare" && w->isVisible())
                return w->findChild<QLabel*>("lblCounts")->text();
        return {};
    }
    // Restores the chosen backup exactly, then undoes that, answering Yes to each question: the
    // key's state() after each.
    std::vector<std::string> restoreExactlyThenUndo(const std::function<std::string()>& state) {
        std::vector<std::string> states;
        for (const char* item : {"mnuEdit_8", "mnuEdit_10"}) {
            boxes.answers = {platform::vbYes};
            menu(item);
            if (!editorsFinished())
                break;
            states.push_back(state());
        }
        return states;
    }
};

}  // namespace karvo::test
