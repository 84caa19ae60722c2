// The export kinds each command writes with --export KIND, by their command-line names, as
// the kind lists the window shares (core/export_kind.h) give them. The command line reads
// those lists here alone.
#pragma once

#include "tools/convert/conversion_export.h"
#include "tools/country/country_export.h"
#include "tools/ping/ping_export.h"

#include <optional>
#include <string>
#include <vector>

namespace quendrix::cli {

template <class Kind>
struct NamedKind {
    std::string name;
    Kind kind;
};

std::vector<NamedKind<ConversionExport>> ConvertKinds();
std::vector<NamedKind<PingExport>> PingKinds();
std::vector<NamedKind<whereis::CountryExportKind>> CountryKinds();

template <class Kind>
std::optional<Kind> KindNamed(const std::vector<NamedKind<Kind>>& kinds, const std::string& name) {
    for (const NamedKind<Kind>& kind : kinds) {
        if (kind.name == name) {
            return kind.kind;
        }
    }
    return std::nullopt;
}

// The names one a line, indented, for the help.
template <class Kind>
std::string KindNameLines(const std::vector<NamedKind<Kind>>& kinds) {
    std::string text;
    for (const NamedKind<Kind>& kind : kinds) {
        text += "  " + kind.name + '\n';
    }
    return text;
}

}  // namespace quendrix::cli
