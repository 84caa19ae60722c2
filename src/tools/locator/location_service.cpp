#include "tools/locator/location_service.h"

#include "core/owner_table.h"
#include "core/target.h"

#include <QLocale>
#include <QStringList>

#include <utility>

namespace quendrix::locator {
namespace {

const QString kQueryPath = QStringLiteral("/TryIt.htm");
const QString kQueryStart = QStringLiteral("?GetLocation&ipaddress=");

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

// One row of the page's table.
QString row(const QString& label, const QString& valueHtml) {
    return QStringLiteral("<tr><th align=\"left\" valign=\"top\">%1</th><td>%2</td></tr>\n")
        .arg(escaped(label), valueHtml);
}

// Host byte order of a strict dotted address.
std::uint32_t hostOrder(const QString& address) {
    std::uint32_t value = 0;
    for (const QString& part : address.split(QLatin1Char('.'))) {
        value = (value << 8) | part.toUInt();
    }
    return value;
}

}  // namespace

QString BuiltInBase() {
    return QString::fromLatin1(kBuiltInScheme) + QStringLiteral("://service");
}

QString LocatorBase(const QString& setting) {
    return TrimBlanks(setting).isEmpty() ? BuiltInBase() : setting;
}

bool IsBuiltInBase(const QString& base) {
    return base == BuiltInBase();
}

QString QueryAddress(const QString& base, const QString& address) {
    return base + kQueryPath + kQueryStart + address;
}

std::optional<QString> BuiltInQueryAddress(const QUrl& url) {
    if (url.scheme() != QString::fromLatin1(kBuiltInScheme) ||
        url.path(QUrl::FullyEncoded) != kQueryPath) {
        return std::nullopt;
    }
    // The query exactly as sent: "GetLocation&ipaddress=<address>".
    const QString query = url.query(QUrl::FullyEncoded);
    const QString start = kQueryStart.mid(1);
    if (!query.startsWith(start)) {
        return std::nullopt;
    }
    return QUrl::fromPercentEncoding(query.mid(start.size()).toUtf8());
}

bool IsStrictDottedAddress(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return false;
    }
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3) {
            return false;
        }
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return false;
            }
        }
        if (part.toInt() > 255) {
            return false;
        }
    }
    return true;
}

QString CountryName(const QString& code) {
    const QLocale::Territory territory = QLocale::codeToTerritory(code);
    if (territory == QLocale::AnyTerritory) {
        return code;
    }
    return QLocale::territoryToString(territory);
}

QString LocationPageHtml(const LocationReport& report) {
    QString html;
    html += QStringLiteral(
                "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                "<title>IP Locator: %1</title></head>\n<body>\n<h2>IP Locator</h2>\n")
                .arg(escaped(report.address));
    html += QStringLiteral("<table cellpadding=\"4\">\n");
    html += row(QStringLiteral("IP address"), escaped(report.address));
    if (!report.validAddress) {
        html += QStringLiteral("</table>\n<p>");
        html += report.address == kLookupFailed
                    ? QStringLiteral("The name could not be resolved to an IP address.")
                    : QStringLiteral("This is not an IPv4 address.");
        html += QStringLiteral("</p>\n</body></html>\n");
        return html;
    }
    html += row(QStringLiteral("Host name"),
                report.reverseName == kLookupFailed
                    ? QStringLiteral("(no name: the reverse look-up failed)")
                    : escaped(report.reverseName));
    html += row(QStringLiteral("Owner"), report.owner == kLookupFailed
                                             ? QStringLiteral("(not in the IP owner table)")
                                             : escaped(report.owner));
    QString country;
    if (!report.geoIpAvailable) {
        country = QStringLiteral(
                      "Unknown: the GeoIP database %1 is not available (%2). "
                      "It comes with the package tor-geoipdb.")
                      .arg(escaped(report.geoIpPath), escaped(report.geoIpProblem));
    } else if (!report.countryCode) {
        country = QStringLiteral("Unknown: no range of the GeoIP database holds this address");
    } else if (*report.countryCode == QStringLiteral("??")) {
        country = QStringLiteral("Unknown: the GeoIP database gives no country for this address");
    } else {
        country = QStringLiteral("%1 (%2)").arg(escaped(CountryName(*report.countryCode)),
                                                escaped(*report.countryCode));
    }
    html += row(QStringLiteral("Country"), country);
    html += QStringLiteral("</table>\n");

    // Lookups elsewhere: plain links, opened in the user's own browser.
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(report.address));
    const std::pair<const char*, const char*> services[] = {
        {"RDAP registration data (rdap.org)", "https://rdap.org/ip/%1"},
        {"ipinfo.io", "https://ipinfo.io/%1"},
        {"Hurricane Electric BGP Toolkit", "https://bgp.he.net/ip/%1"},
        {"AbuseIPDB", "https://www.abuseipdb.com/check/%1"},
    };
    html += QStringLiteral(
        "<p>More about this address online (opens in your web browser):</p>\n"
        "<ul>\n");
    for (const auto& [name, pattern] : services) {
        html += QStringLiteral("<li><a href=\"%1\">%2</a></li>\n")
                    .arg(escaped(QString::fromLatin1(pattern).arg(encoded)),
                         escaped(QString::fromLatin1(name)));
    }
    html += QStringLiteral(
                "</ul>\n<p><small>Owner: the IP owner table built into Quendrix. "
                "Country: %1.</small></p>\n</body></html>\n")
                .arg(escaped(report.geoIpPath));
    return html;
}

LocationService::LocationService(std::string geoIpPath) : m_geoIpPath(std::move(geoIpPath)) {}

LocationService::GeoIp LocationService::geoIp() const {
    std::call_once(m_loaded, [this] {
        auto loaded = GeoIpDatabase::Load(m_geoIpPath);
        if (loaded) {
            m_geoIp.database = std::make_shared<const GeoIpDatabase>(std::move(*loaded));
        } else {
            m_geoIp.problem = QString::fromLocal8Bit(loaded.error().text);
        }
    });
    return m_geoIp;
}

LocationReport LocationService::Report(const QString& address) const {
    LocationReport report;
    report.address = address;
    report.geoIpPath = QString::fromLocal8Bit(m_geoIpPath);
    report.validAddress = IsStrictDottedAddress(address);
    report.reverseName = kLookupFailed;
    report.owner = kLookupFailed;
    if (!report.validAddress) {
        return report;
    }
    report.reverseName = ResolveAddress(address);
    report.owner = whereis::LookupOwner(address);
    const GeoIp geo = geoIp();
    report.geoIpAvailable = geo.database != nullptr;
    report.geoIpProblem = geo.problem;
    if (geo.database) {
        if (const auto code = geo.database->CountryCode(hostOrder(address))) {
            report.countryCode = QString::fromLatin1(code->data(), 2);
        }
    }
    return report;
}

std::optional<QString> LocationService::Answer(const QUrl& url) const {
    const auto address = BuiltInQueryAddress(url);
    if (!address) {
        return std::nullopt;
    }
    return LocationPageHtml(Report(*address));
}

}  // namespace quendrix::locator
