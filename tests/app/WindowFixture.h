// A main window on its own program folder (also the working directory), its own registry store
// and the build's registry editor, with message boxes answered by the test.
#pragma once

#include "app/frmRegEdit.h"
#include "platform/MsgBox.h"
#include "registry/RegistryService.h"

#include "../tree/StoreHelpers.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace karvo::test {

class WindowTest : public ::testing::Test {
protected:
    TempDir folder;
    TempDir registryDir;
    ScopedEnv registryEnv{"KARVO_REGISTRY", (registryDir / "registry.db").string()};
    ScopedEnv winDirEnv{"KARVO_WINDIR", (binaryDir() / "windows").string()};
    std::unique_ptr<reg::RegistryService> store = reg::openStore((registryDir / "registry.db").string());
    platform::RecordingMessageBoxes boxes;
    QString previousDir = QDir::currentPath();
    std::unique_ptr<frmRegEdit> window;

    WindowTest() { QDir::setCurrent(QString::fromStdString(folder.str())); }
    ~WindowTest() override {
        window.reset();
        QDir::setCurrent(previousDir);
    }

    QString folderText() const { return QString::fromStdString(folder.str()); }

    void load() {
        window = std::make_unique<frmRegEdit>(folderText(), store.get());
        window->Form_Load();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <typename T>
    T* control(const char* name) const {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTreeWidget* tree() const { return control<QTreeWidget>("tvwReg"); }
    QLineEdit* txtIndex() const { return control<QLineEdit>("txtIndex"); }
    QLineEdit* txtFilename() const { return control<QLineEdit>("txtFilename"); }
    QLineEdit* txtRoot() const { return control<QLineEdit>("txtRoot"); }
    QLabel* Label1() const { return control<QLabel>("Label1"); }
    QLabel* lblMessage() const { return control<QLabel>("lblMessage"); }
    QListWidget* lstBack() const { return control<QListWidget>("lstBack"); }
    QComboBox* Combo1() const { return control<QComboBox>("Combo1"); }

    QStringList backups() const {
        QStringList names;
        for (int i = 0; i < lstBack()->count(); ++i)
            names.append(lstBack()->item(i)->text());
        return names;
    }
    bool messageMode() const { return lblMessage()->isVisibleTo(window.get()) && txtIndex()->isHidden(); }

    // The node at a Key path, expanding the way there as a user would.
    QTreeWidgetItem* node(const QString& keyPath) {
        const QStringList parts = keyPath.split(u'\\');
        QTreeWidgetItem* at = nullptr;
        for (int i = 0; i < tree()->topLevelItemCount() && !at; ++i)
            if (tree()->topLevelItem(i)->text(0) == parts.front())
                at = tree()->topLevelItem(i);
        for (qsizetype level = 1; at && level < parts.size(); ++level) {
            at->setExpanded(true);
            QTreeWidgetItem* next = nullptr;
            for (int c = 0; c < at->childCount() && !next; ++c)
                if (at->child(c)->text(0) == parts[level])
                    next = at->child(c);
            at = next;
        }
        return at;
    }

    void clickNode(QTreeWidgetItem* item) {
        tree()->scrollToItem(item);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(item).center());
    }
    void clickBackup(const QString& name) {
        const auto found = lstBack()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        lstBack()->scrollToItem(found.first());
        QTest::mouseClick(lstBack()->viewport(), Qt::LeftButton, {}, lstBack()->visualItemRect(found.first()).center());
    }
    void press(const char* button) { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }
    void typeName(const QString& text) {
        txtFilename()->clear();
        QTest::keyClicks(txtFilename(), text);
    }
    // Waits until every started registry editor has reported back.
    bool editorsFinished() {
        return QTest::qWaitFor([this] { return window->pendingEditorRuns() == 0; }, 30000);
    }
    QString lastBoxCaption() const { return boxes.shown.empty() ? QString() : boxes.shown.back().caption; }
};

}  // namespace karvo::test
