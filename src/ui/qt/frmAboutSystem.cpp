// The product's wiring, apart from the rest so that tests link without the system registry.
#include "ui/qt/frmAbout.h"

frmAbout::frmAbout(QWidget* parent) : frmAbout(karvo::reg::systemRegistry(), {}, parent) {}
