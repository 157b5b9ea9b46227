// The product's wiring, apart from the rest so that tests link without the system registry.
#include "about/frmAbout.h"

#include "platform/Launcher.h"

frmAbout::frmAbout(QWidget* parent) : frmAbout(karvo::reg::systemRegistry(), &karvo::platform::StartProcess, parent) {}
