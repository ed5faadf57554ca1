#pragma once
// The web engine's sandbox and the root user: the engine refuses to start as
// root with its sandbox on and ends the whole process. As root the pages run
// without it, and the browser window says so.

namespace orlavo::gui {

// Before the web engine starts (before QApplication): turns the sandbox off
// when running as root and nothing has said how to run it yet.
void prepareWebEngineSandbox(bool runningAsRoot);

// True when pages run without the sandbox (turned off here or by the user).
[[nodiscard]] bool webEngineSandboxOff();

}  // namespace orlavo::gui
