// What the IP Locator needs before the application object exists: the built-in location
// service's URL scheme registered with Qt WebEngine, and, as root, WebEngine's sandbox turned
// off (Chromium refuses to start as root with it). Nothing without WebEngine.
#pragma once

namespace quendrix::locator {

// Call once at the program's start, before QApplication is made.
void PrepareBeforeApplication();

}  // namespace quendrix::locator
