// What the window tests share: a tell-a-friend window on screen, its controls by name, boxes
// answered like a person would, and a session that never reaches the maker's real server.
#pragma once

#include "ScriptedServer.h"
#include "mailer/frmBugReport.h"
#include "platform/MsgBox.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace karvo::test {

class MailerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        useServer(closedPort());
        form = std::make_unique<frmBugReport>();
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override
    {
        form.reset();
        frmBugReport::clearTestServer();
    }

    // Sessions go to this loopback port; a tick lasts tickMs.
    static void useServer(quint16 port, int tickMs = 60000)
    {
        frmBugReport::setTestServer(QStringLiteral("127.0.0.1"), port, tickMs);
    }

    template <class T>
    T* control(const char* name) const
    {
        T* found = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* field(const char* name) const { return control<QLineEdit>(name); }
    QString status() const { return control<QLabel>("lblStatus")->text(); }
    bool sendEnabled() const { return control<QPushButton>("cmdSend")->isEnabled(); }

    void type(const char* name, const QString& text) const { QTest::keyClicks(field(name), text); }
    void fill(const QString& friendsName, const QString& friendAddress, const QString& name,
              const QString& address) const
    {
        type("txtFriendsName", friendsName);
        type("txtFriend", friendAddress);
        type("txtName", name);
        type("txtFrom", address);
    }
    void fillDefaults() const
    {
        fill(QStringLiteral("Bob"), QStringLiteral("bob@b.example"), QStringLiteral("Ann"),
             QStringLiteral("ann@a.example"));
    }
    void click(const char* button) const { QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton); }

    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 15000); }

    platform::RecordingMessageBoxes boxes;
    std::unique_ptr<frmBugReport> form;
};

}  // namespace karvo::test
