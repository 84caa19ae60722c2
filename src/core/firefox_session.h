// The browser address on Linux: the page open in a running Firefox, read from the session store
// that Firefox keeps in its profile (sessionstore-backups/recovery.jsonlz4, rewritten every few
// seconds while it runs). The store is "mozLz4": the magic "mozLz40\0", the decoded size as
// 4 bytes little-endian, then one LZ4 block holding the session's JSON.
#pragma once

#include "core/browser_address.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quendrix::firefox {

// The largest session JSON read. A normal store decodes to well under 10 MB.
inline constexpr std::size_t kMaxSessionJson = 64 * 1024 * 1024;

// The JSON of a mozLz4 file's bytes. Nothing when the bytes are not one, when the size field is
// beyond maxJson or beyond what the block could ever decode to, or when the block does not
// decode to exactly that size.
std::optional<QByteArray> DecodeMozLz4(std::string_view file,
                                       std::size_t maxJson = kMaxSessionJson);

// The page of a session's JSON as the reply "URL","TITLE": the selected window's selected tab,
// that tab's current entry. Nothing when the JSON is not such a session (wrong types, indexes
// out of range, a tab without entries). Indexes are 1-based; a missing or 0 window or tab index
// means the first, a missing or 0 entry index the last entry (the one Firefox shows).
std::optional<QString> WindowInfoFromSessionJson(const QByteArray& json);

// The reply of the Firefox running from a profile under home/.mozilla/firefox (or, for Firefox
// as a snap, home/snap/firefox/common/.mozilla/firefox). The profiles are the ones each
// profiles.ini names (each install's Default, then the profile marked Default=1,
// then the others; relative paths under the profiles folder, absolute ones as given). Of those
// whose Firefox runs (the profile's `lock` link names "ADDRESS:+PID" of a live process that
// started no later than the link was made), the one whose session was written last is read.
// Nothing when no such profile or store is found or the store cannot be read.
std::optional<QString> ReadFirefoxWindowInfo(const QString& home);

// The browser address source over ReadFirefoxWindowInfo for one home folder. Holds no state
// beyond the folder, so windowInfo may run on any thread, several at once.
class FirefoxSessionSource : public BrowserAddressSource {
  public:
    explicit FirefoxSessionSource(QString home) : m_home(std::move(home)) {}
    std::optional<QString> windowInfo() override { return ReadFirefoxWindowInfo(m_home); }

  private:
    const QString m_home;
};

}  // namespace quendrix::firefox
