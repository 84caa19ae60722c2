#include "cli/export_kinds.h"

namespace quendrix::cli {

std::vector<NamedKind<ConversionExport>> ConvertKinds() {
    std::vector<NamedKind<ConversionExport>> kinds;
    for (const ConversionExportKind& kind : ConversionExportKinds()) {
        kinds.push_back({kind.cliName, kind.kind});
    }
    return kinds;
}

std::vector<NamedKind<PingExport>> PingKinds() {
    std::vector<NamedKind<PingExport>> kinds;
    for (const PingExportKind& kind : PingExportKinds()) {
        kinds.push_back({kind.cliName, kind.kind});
    }
    return kinds;
}

std::vector<NamedKind<whereis::CountryExportKind>> CountryKinds() {
    using whereis::CountryExportKind;
    return {{QStringLiteral("ok-htm"), CountryExportKind::SuccessfulHtm},
            {QStringLiteral("ok-csv"), CountryExportKind::SuccessfulCsv},
            {QStringLiteral("all-htm"), CountryExportKind::AllHtm},
            {QStringLiteral("all-csv"), CountryExportKind::AllCsv}};
}

}  // namespace quendrix::cli
