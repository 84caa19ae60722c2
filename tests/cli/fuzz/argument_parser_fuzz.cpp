// Fuzz target for the command-line grammar: the input is a list of words separated by NUL
// bytes, read against a description with every kind of option. Whatever the words, the parser
// either names a problem or gives arguments that obey the description, and the arguments
// written back as words parse to the same result.
#include "cli/argument_parser.h"

#include <cstdint>
#include <cstdlib>

namespace {

using quendrix::cli::CommandSpec;
using quendrix::cli::ParseArguments;
using quendrix::cli::ParseResult;

const CommandSpec& grammar() {
    static const CommandSpec description{
        QStringLiteral("fuzz"),
        {QStringLiteral("[FILE] [--out PATH] [--range A B C] [--quiet]")},
        {},
        {{QStringLiteral("--out"), {QStringLiteral("PATH")}, {}},
         {QStringLiteral("--range"),
          {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
          {}},
         {QStringLiteral("--quiet"), {}, {}}},
        QStringLiteral("FILE"),
        0,
        2,
        {}};
    return description;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList words;
    for (const QByteArray& word : bytes.split('\0')) {
        words.append(QString::fromLocal8Bit(word));
    }
    const ParseResult result = ParseArguments(grammar(), words);
    if (!result.ok() || result.arguments.help) {
        // A problem comes alone: no help, no arguments.
        if (!result.ok() && (result.arguments.help || !result.arguments.options.empty() ||
                             !result.arguments.positionals.isEmpty())) {
            std::abort();
        }
        return 0;
    }
    const auto& arguments = result.arguments;
    if (arguments.positionals.size() > grammar().maxPositionals) {
        std::abort();
    }
    QStringList again;
    for (const auto& [name, values] : arguments.options) {
        bool known = false;
        for (const auto& option : grammar().options) {
            if (option.name == name) {
                known = true;
                if (option.values.size() != values.size()) {
                    std::abort();
                }
            }
        }
        if (!known) {
            std::abort();
        }
        // The "=" form carries any value; the others take one word each.
        if (values.size() == 1) {
            again.append(name + QLatin1Char('=') + values.first());
        } else {
            again.append(name);
            for (const QString& value : values) {
                if (value.startsWith(QLatin1String("--"))) {
                    std::abort();
                }
                again.append(value);
            }
        }
    }
    again.append(QStringLiteral("--"));
    again += arguments.positionals;
    const ParseResult reparsed = ParseArguments(grammar(), again);
    if (!reparsed.ok() || reparsed.arguments.help ||
        reparsed.arguments.options != arguments.options ||
        reparsed.arguments.positionals != arguments.positionals) {
        std::abort();
    }
    if (quendrix::cli::HelpText(grammar()).isEmpty()) {
        std::abort();
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
