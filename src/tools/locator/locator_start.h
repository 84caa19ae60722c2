// What the IP Locator's WebEngine view needs from the process: as root, WebEngine's sandbox
// turned off (Chromium refuses to start as root with it) unless the user has decided already.
// Nothing of WebEngine is loaded here: its module is loaded the first time the view is made,
// and it registers the built-in URL scheme itself before WebEngine sets itself up.
#pragma once

namespace quendrix::locator {

// Called at the program's start, before QApplication is made.
void PrepareBeforeApplication();

// The same, again before the first view is made, for a program that did not call it.
void PrepareWebEngineProcess();

}  // namespace quendrix::locator
