#include "app/page_registry.h"

#include "core/widgets/tool_page.h"
#include "tools/convert/converter_page.h"
#include "tools/country/country_page.h"
#include "tools/localinfo/local_info_page.h"
#include "tools/locator/locator_page.h"
#include "tools/monitor/monitor_page.h"
#include "tools/ping/ping_page.h"
#include "tools/scanner/scanner_page.h"
#include "tools/trace/trace_page.h"
#include "tools/whois/whois_page.h"

namespace quendrix {

std::vector<PageEntry> PageRegistry() {
    using Bar = PageEntry::Bar;
    const auto text = [](const char* latin1) { return QString::fromLatin1(latin1); };
    std::vector<PageEntry> pages;
    pages.push_back({0, text("ip_to_domain_converter_tab"), text("IP-to-Domain Converter"),
                     text("IP Domain Converter"), text("IP-to-Domain Converter   "), text("Show1"),
                     false, Bar::Tools, text("IP Domain Converter"),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new ConverterPage(services.host, parent);
                     }});
    pages.push_back({1, text("batch_ping_tab"), text("Batch Ping"), text("Batch Ping"),
                     text("Batch Ping"), text("BatchPing1"), false, Bar::Tools, text("Batch Ping"),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new PingPage(services.host, services.echo, parent);
                     }});
    pages.push_back({4, text("country_lookup_tab"), text("Country Lookup"),
                     text("IP Country Converter"), text("IP-to-Country Converter"),
                     text("IPtoCountryConverter1"), false, Bar::Tools, text("IP Country Converter"),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new CountryPage(services.host, parent);
                     }});
    pages.push_back({8, text("ip_locator_tab"), text("IP Locator"), text("IP Locator"),
                     text("IP Locator"), text("IPLocator1"), false, Bar::None, QString(),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new LocatorPage(services.host, parent);
                     }});
    pages.push_back({2, text("tracert_tab"), text("Tracert"), text("Traceroute"),
                     text("Traceroute"), text("raceroute1"), false, Bar::Tools, text("Traceroute"),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new TracePage(services.host, parent);
                     }});
    pages.push_back({3, text("whois_tab"), text("Whois"), text("Whois"), text("Whois"),
                     text("Whois5"), false, Bar::Tools, text("Whois"),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new WhoisPage(services.host, parent);
                     }});
    pages.push_back({5, text("website_scanner_tab"), text("Website Scanner"),
                     text("Website Scanner"), text("Website Scanner"), text("WebsiteScanner5"),
                     false, Bar::Tools, text("Website Scanner"),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new ScannerPage(services.host, parent);
                     }});
    pages.push_back({6, text("connection_monitor_tab"), text("Connection Monitor"),
                     text("Connection Monitor"), text("Connection Monitor"),
                     text("ConnectionMonitor1"), false, Bar::Tools, text("Connection Monitor"),
                     [](const PageServices& services, QWidget* parent) -> ToolPage* {
                         return new MonitorPage(services.host, parent);
                     }});
    pages.push_back(
        {7, text("local_information_tab"), text("Local Infomation"), QString(),
         text("Local Information"), text("LocalInformation1"), true, Bar::Information,
         text("Local Information"), [](const PageServices& services, QWidget* parent) -> ToolPage* {
             return new LocalInfoPage(services.host, localinfo::SystemSources(), parent);
         }});
    return pages;
}

}  // namespace quendrix
