#include "about/AboutBox.h"

#include <algorithm>
#include <array>

#ifndef KARVO_VERSION_MAJOR
#error "the build passes the program's version numbers"
#endif

namespace karvo::about {

namespace {

constexpr const char* kFreewareNote =
    "Karvo Backup is free to use at home and at work.  You may give copies to friends, as long as the "
    "program is passed on whole and unchanged.";

constexpr const char* kLegalWarning =
    "Warning:  Karvo Backup is protected by copyright law and by international treaties.  Anyone who "
    "copies or distributes this program, or any part of it, without permission risks severe civil and "
    "criminal penalties and will be prosecuted as far as the law allows.";

constexpr std::array kControls{
    Control{"picIcon", Kind::PictureBox, "", "", 120, 120, 1065, 2205, "", Click::OpenWebSite},
    Control{"lblTitle", Kind::Heading, "", "Application Title", 1560, 240, 2805, 240, "", Click::None},
    Control{"lblVersion", Kind::Heading, "", "Version", 1560, 600, 2325, 225, "", Click::None},
    Control{"Image1", Kind::Image, "", "", 5040, 120, 480, 480, "", Click::StartWebSite},
    Control{"Frame2", Kind::Frame, "", "", 1560, 840, 3975, 1095, "", Click::None},
    Control{"lblDescription", Kind::Label, "Frame2", kFreewareNote, 120, 120, 3795, 810, "", Click::None},
    Control{"Command1", Kind::Button, "", "&Join the Tolvane mailing list", 1560, 2040, 2295, 345,
            "Join our mailing list", Click::OpenMailingList},
    Control{"Command2", Kind::Button, "", "&Tolvane", 4320, 2040, 1245, 345, "Visit Tolvane", Click::OpenWebSite},
    Control{"Frame1", Kind::Frame, "", "", 120, 2405, 4095, 1455, "", Click::None},
    Control{"lblDisclaimer", Kind::Label, "Frame1", kLegalWarning, 120, 240, 3870, 1185, "", Click::None},
    Control{"Command3", Kind::Button, "", "Clos&e", 4290, 2777, 1245, 345, "Close this window", Click::Close},
    Control{"Command4", Kind::Button, "", "&System Info", 4290, 3480, 1245, 345, "Info about your computer",
            Click::SystemInfo},
};

}  // namespace

std::string versionText() {
    return "Version " + std::to_string(KARVO_VERSION_MAJOR) + "." + std::to_string(KARVO_VERSION_MINOR) + "." +
           std::to_string(KARVO_VERSION_PATCH);
}

std::span<const Control> controls() { return kControls; }

void AboutBox::load() {
    view_.setCaption(std::string("About ") + kApplicationTitle);
    view_.setText("lblVersion", versionText());
    view_.setText("lblTitle", kApplicationTitle);
}

void AboutBox::click(std::string_view control) {
    const auto it = std::find_if(kControls.begin(), kControls.end(),
                                 [control](const Control& c) { return c.name == control; });
    switch (it == kControls.end() ? Click::None : it->click) {
    case Click::OpenWebSite: desktop_.open(kWebSite); break;
    case Click::OpenMailingList: desktop_.open(kMailingList); break;
    case Click::StartWebSite:
        // "start" is a Windows program; where there is none to run, the address is opened directly.
        if (!desktop_.startProgram(std::string("start ") + kWebSite, platform::kStyleMinimizedFocus))
            desktop_.open(kWebSite);
        break;
    case Click::Close: view_.closeWindow(); break;
    case Click::SystemInfo: startSysInfo(); break;
    case Click::None: break;
    }
}

void AboutBox::startSysInfo() {
    if (!startSystemInformation(registry_, desktop_))
        desktop_.messageBox(kSysInfoUnavailable, platform::vbOKOnly, kApplicationTitle);
}

}  // namespace karvo::about
