// The About box: title and version, the freeware note and the legal warning, links to the
// maker's web pages and the launcher for the system-information tool.
#pragma once

#include "registry/RegistryService.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

class QGroupBox;
class QLabel;
class QPushButton;

namespace karvo::about {

inline constexpr const char* kApplicationTitle = "Karvo Backup";
inline constexpr const char* kWebSite = "https://www.tolvane.example/";
inline constexpr const char* kMailingList = "https://www.tolvane.example/list/";
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// "Version 1.0.0" from the program's version numbers.
QString versionText();

// A value that claims to hold no bytes at all cannot be read as text; the reader refuses it
// rather than guess, and the caller treats it like any other failure.
class EmptyValueError : public std::runtime_error {
public:
    EmptyValueError() : std::runtime_error("registry value has no data") {}
};

// Reads one value under KeyRoot\Keyname as text into KeyVal. Text (type 1) is cut at the
// returned size, dropping a terminating zero; a 32-bit number (type 4) becomes decimal text;
// other types leave KeyVal as it was. False, with KeyVal empty, when the key or value cannot be
// read or the value does not fit 1024 bytes. Throws EmptyValueError (key closed) for a size of 0.
bool GetKeyValue(karvo::reg::RegistryService& registry, karvo::reg::HKey KeyRoot, const std::string& Keyname,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Starts a command line with a window style; the process id, or 0 when it could not be started.
using Launch = std::function<std::int64_t(const std::string& commandLine, int windowStyle)>;

// Finds the system-information tool through the registry and starts it. False when it cannot be
// found or started (also when a lookup throws).
bool startSystemInformation(karvo::reg::RegistryService& registry, const Launch& launch);

}  // namespace karvo::about

class frmAbout : public QWidget {
    Q_OBJECT
public:
    // The product's box: the system registry and the process launcher.
    explicit frmAbout(QWidget* parent = nullptr);
    // Tests pass their own registry and launcher.
    frmAbout(karvo::reg::RegistryService& registry, karvo::about::Launch launch, QWidget* parent = nullptr);

    void Form_Load();
    void StartSysInfo();

    void Command1_Click();
    void Command2_Click();
    void picIcon_Click();
    void Image1_Click();
    void Command3_Click();
    void Command4_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void openAddress(const char* address);
    int px(int twips) const;
    void place(QWidget* w, int left, int top, int width, int height) const;

    karvo::reg::RegistryService& registry_;
    karvo::about::Launch launch_;
    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Image1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* lblDescription = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
};
