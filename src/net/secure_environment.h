// The environment of a program that its file gives a capability (the package gives the programs
// that ping and trace cap_net_raw). Such a program runs in its caller's environment, and Qt and
// the libraries under it load code from places named there (QT_PLUGIN_PATH, GTK_MODULES,
// QTWEBENGINE_CHROMIUM_FLAGS, ...), which would run with the capability. The C library drops
// its own such variables (LD_PRELOAD); the rest goes here: only what a desktop program needs
// to reach its display, its user's folders and the user's language is kept.
#pragma once

namespace quendrix::net {

// True in a program started with raised privileges: file capabilities, set-user-ID
// (the kernel's secure-execution mode, AT_SECURE).
bool StartedWithRaisedPrivileges();

// Unsets every variable outside the desktop's short list (HOME, DISPLAY, XDG_RUNTIME_DIR,
// LANG, LC_*, ...). Called at the very start of main, before any thread or library reads them.
void KeepOnlyTheDesktopEnvironment();

}  // namespace quendrix::net
