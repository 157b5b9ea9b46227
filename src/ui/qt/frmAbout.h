// The About box's Qt window: it builds its controls from the box's table, and passes the opening and
// every click to AboutBox, which decides what happens.
#pragma once

#include "about/AboutBox.h"
#include "ui/qt/QtDesktop.h"

#include <QWidget>

class frmAbout : public QWidget, private karvo::about::AboutView {
    Q_OBJECT
public:
    // The product's box: the system registry and the process launcher.
    explicit frmAbout(QWidget* parent = nullptr);
    // Tests pass their own registry and launcher.
    frmAbout(karvo::reg::RegistryService& registry, karvo::ui::Launch launch, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    int px(int twips) const;

    void setCaption(const std::string& text) override;
    void setText(const std::string& control, const std::string& text) override;
    void closeWindow() override;

    karvo::ui::QtDesktop desktop_;
    karvo::about::AboutBox logic_;
};
