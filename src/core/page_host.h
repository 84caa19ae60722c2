// What a tool page needs from the main window: the prompts, the navigation bar switch, the
// directory that the open dialog starts in, the page's settings and the hand-off between
// pages. Pages never reach the window, nor one another, any other way.
#pragma once

#include <QString>

namespace quendrix {

class BrowserAddressSource;
class HandOffRouter;
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
    // settings.ini values by "section/key", as text; empty when the file has none. They are
    // read before the pages are made and written after every page has stored its own.
    virtual QString setting(const QString& key) const = 0;
    virtual void setSetting(const QString& key, const QString& value) = 0;
    // Sends values between pages (switch page, set box, run action).
    virtual HandOffRouter& handOff() = 0;
    // Ends the program at once without writing settings.ini (the website scanner's shut-down
    // after the user chose to exit during a scan). A close that follows writes nothing either.
    virtual void endProgramWithoutSettings() = 0;
    // The web browser whose open page the browser buttons take.
    virtual BrowserAddressSource& browserAddress() = 0;
};

}  // namespace quendrix
