#include "cli/export_kinds.h"

namespace quendrix::cli {
namespace {

template <class Kind>
std::vector<NamedKind<Kind>> named(const QList<ExportKind>& kinds) {
    std::vector<NamedKind<Kind>> names;
    for (const ExportKind& kind : kinds) {
        names.push_back({kind.cliName.toStdString(), static_cast<Kind>(kind.id)});
    }
    return names;
}

}  // namespace

std::vector<NamedKind<ConversionExport>> ConvertKinds() {
    return named<ConversionExport>(ConversionExportKinds());
}

std::vector<NamedKind<PingExport>> PingKinds() {
    return named<PingExport>(PingExportKinds());
}

std::vector<NamedKind<whereis::CountryExportKind>> CountryKinds() {
    return named<whereis::CountryExportKind>(whereis::CountryExportKinds());
}

}  // namespace quendrix::cli
