// What the About box does, without a window: its controls as one table, the texts it shows, and
// what each click does. A front end creates the controls from the table, tells AboutBox when the box
// opens and what was clicked, and carries out what AboutView and the Desktop are told.
#pragma once

#include "platform/Desktop.h"
#include "registry/RegistryService.h"

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace karvo::about {

inline constexpr const char* kApplicationTitle = "Karvo Backup";
inline constexpr const char* kWebSite = "https://www.tolvane.example/";
inline constexpr const char* kMailingList = "https://www.tolvane.example/list/";
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// "Version 1.0.0" from the program's version numbers.
std::string versionText();

enum class Kind {
    PictureBox,  // a framed picture
    Image,       // a bare picture
    Heading,     // a bold, blue label
    Label,       // a word-wrapped label
    Frame,       // a frame that holds labels
    Button,      // a push button; buttons take the Tab key in table order
};

enum class Click { None, OpenWebSite, OpenMailingList, StartWebSite, Close, SystemInfo };

struct Control {
    const char* name;
    Kind kind;
    const char* frame;  // the frame that holds it, "" for the box itself
    const char* text;
    int left, top, width, height;  // twips, from the top left of its frame or of the box
    const char* tip;
    Click click;
};

inline constexpr int kBoxWidth = 5730;  // twips, the inner size of the box
inline constexpr int kBoxHeight = 3990;

// The box's controls, a frame before what it holds.
std::span<const Control> controls();

// What AboutBox asks of the window itself.
class AboutView {
public:
    virtual void setCaption(const std::string& text) = 0;
    virtual void setText(const std::string& control, const std::string& text) = 0;
    virtual void closeWindow() = 0;

protected:
    ~AboutView() = default;
};

class AboutBox {
public:
    AboutBox(AboutView& view, platform::Desktop& desktop, reg::RegistryService& registry)
        : view_(view), desktop_(desktop), registry_(registry) {}

    // Each opening writes the caption, the title and the version afresh.
    void load();
    // A click on the named control; controls that take no click are ignored.
    void click(std::string_view control);

private:
    void startSysInfo();

    AboutView& view_;
    platform::Desktop& desktop_;
    reg::RegistryService& registry_;
};

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
bool GetKeyValue(reg::RegistryService& registry, reg::HKey KeyRoot, const std::string& Keyname,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Finds the system-information tool through the registry and starts it. False when it cannot be
// found or started (also when a lookup throws).
bool startSystemInformation(reg::RegistryService& registry, platform::Desktop& desktop);

}  // namespace karvo::about
