// The registry editor's window, opened by a plain start of regedit.
#pragma once

namespace karvo::regedit {

// Runs the window's event loop until it closes; returns the exit status.
int runEditorWindow(int argc, char** argv);

}  // namespace karvo::regedit
