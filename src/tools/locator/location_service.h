// The IP Locator's query address and the location service built into the program. A query
// address is the service's base, "/TryIt.htm", "?GetLocation&ipaddress=" and the address as
// resolved ("X" when the name did not resolve). No public service answers that query today,
// so the default base is one the program answers itself: a page with the address, its reverse
// name, its owner from the IP owner table and its country from the system's GeoIP ranges.
#pragma once

#include "tools/locator/geoip_database.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quendrix::locator {

// The URL scheme of the built-in service; the web view answers it itself.
inline constexpr char kBuiltInScheme[] = "quendrix-locator";
// The built-in service's base address.
QString BuiltInBase();
// The base the page uses for the "locator/base" setting: the built-in base when the setting
// is empty or blank, else the setting exactly as written.
QString LocatorBase(const QString& setting);
bool IsBuiltInBase(const QString& base);

// base + "/TryIt.htm" + "?GetLocation&ipaddress=" + address, nothing changed or encoded.
QString QueryAddress(const QString& base, const QString& address);

// The address a query address asks the built-in service about: the text after
// "?GetLocation&ipaddress=" when the address has the built-in scheme, exactly the path
// "/TryIt.htm" and a query that starts so; nullopt for anything else (which the service
// answers "not found").
std::optional<QString> BuiltInQueryAddress(const QUrl& url);

// True for four decimal numbers 0..255 joined by dots, nothing else: the only texts the
// service looks up ("X", the failed resolution, is not one).
bool IsStrictDottedAddress(const QString& text);

// What the built-in page shows about one address.
struct LocationReport {
    QString address;
    bool validAddress = false;
    QString reverseName;  // "X" when the reverse look-up failed or was not made
    QString owner;        // the owner table's text, "X" for none
    // The GeoIP part: whether a database was there, and the range's code for the address.
    bool geoIpAvailable = false;
    QString geoIpPath;
    QString geoIpProblem;  // why the database is missing
    std::optional<QString> countryCode;
};

// The HTML page of a report, complete and self-contained (no scripts, no remote resources):
// every text from the report is escaped. Its links to online lookup pages are ordinary
// https links; the views open them in the user's browser.
QString LocationPageHtml(const LocationReport& report);

// A country code as an English name ("DE" -> "Germany"); the code itself when unknown.
QString CountryName(const QString& code);

// The built-in service: reads its GeoIP file once, on the first look-up that needs it
// (from any thread), and makes reports and pages. Report() blocks on the reverse look-up of
// the address, so it belongs on a worker, never on the UI thread.
class LocationService {
  public:
    explicit LocationService(std::string geoIpPath = kSystemGeoIpPath);

    LocationReport Report(const QString& address) const;
    // The page for a query address; nullopt when the address is no query of this service.
    std::optional<QString> Answer(const QUrl& url) const;

  private:
    struct GeoIp {
        std::shared_ptr<const GeoIpDatabase> database;
        QString problem;
    };
    GeoIp geoIp() const;

    std::string m_geoIpPath;
    mutable std::once_flag m_loaded;
    mutable GeoIp m_geoIp;
};

}  // namespace quendrix::locator
