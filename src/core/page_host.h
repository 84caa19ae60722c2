// What a tool page needs from the main window: the prompts, the navigation bar switch and
// the directories that dialogs start in. Pages never reach the window any other way.
#pragma once

#include <QString>

namespace quendrix {

class Prompts;

class PageHost {
  public:
    virtual ~PageHost() = default;
    virtual Prompts& prompts() = 0;
    // The navigation bar as a whole: batch jobs disable it while they run.
    virtual void setNavigationEnabled(bool enabled) = 0;
    // Where the shared open-file dialog starts; it then follows the user.
    virtual QString openDialogDirectory() const = 0;
    virtual void setOpenDialogDirectory(const QString& directory) = 0;
};

}  // namespace quendrix
