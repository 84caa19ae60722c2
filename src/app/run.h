// The program from start to end: splash, application object, main window, event loop, and
// a prompt end once the window has closed.
#pragma once

#include <QString>

#include <functional>

namespace quendrix {

class Tmain;

struct RunOptions {
    // Where settings.ini and the help page are looked for; empty: as the program's own layout
    // says (net/program_layout.h).
    QString executableDirectory;
    // Called once the main window is shown.
    std::function<void(Tmain&)> started;
};

int RunQuendrix(int argc, char** argv, const RunOptions& options = {});

}  // namespace quendrix
