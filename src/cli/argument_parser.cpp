#include "cli/argument_parser.h"

#include <algorithm>

namespace quendrix::cli {
namespace {

const QString kEndOfOptions = QStringLiteral("--");

bool isHelpWord(const QString& word) {
    return word == QLatin1String("--help") || word == QLatin1String("-h");
}

// A word that names an option rather than being a value or a positional argument; a lone
// "-" is an ordinary argument (a file named so, say).
bool looksLikeOption(const QString& word) {
    return word.size() > 1 && word.startsWith(QLatin1Char('-'));
}

const OptionSpec* findOption(const CommandSpec& grammar, const QString& name) {
    for (const OptionSpec& option : grammar.options) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

QString optionWithValues(const OptionSpec& option) {
    return option.values.isEmpty()
               ? option.name
               : option.name + QLatin1Char(' ') + option.values.join(QLatin1Char(' '));
}

}  // namespace

QString ParsedArguments::value(const QString& option) const {
    const auto found = options.find(option);
    return found == options.end() || found->second.isEmpty() ? QString() : found->second.first();
}

QStringList ParsedArguments::values(const QString& option) const {
    const auto found = options.find(option);
    return found == options.end() ? QStringList() : found->second;
}

ParseResult ParseArguments(const CommandSpec& grammar, const QStringList& words) {
    ParseResult result;
    ParsedArguments& parsed = result.arguments;
    const qsizetype optionsEnd = words.indexOf(kEndOfOptions);
    const auto beforeEnd = optionsEnd < 0 ? words.end() : words.begin() + optionsEnd;
    // Help wins over every other word, so that a half-written command line can still ask.
    if (std::any_of(words.begin(), beforeEnd, isHelpWord)) {
        parsed.help = true;
        return result;
    }
    const auto fail = [&result](const QString& problem) {
        result.arguments = {};
        result.problem = problem;
        return result;
    };

    bool onlyPositionals = false;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& word = words.at(i);
        if (onlyPositionals || !looksLikeOption(word)) {
            parsed.positionals.append(word);
            continue;
        }
        if (word == kEndOfOptions) {
            onlyPositionals = true;
            continue;
        }
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? word : word.left(equals);
        const OptionSpec* option = findOption(grammar, name);
        if (option == nullptr) {
            return fail(QStringLiteral("unknown option '%1'").arg(name));
        }
        if (parsed.has(name)) {
            return fail(QStringLiteral("%1 is given twice").arg(name));
        }
        QStringList values;
        if (equals >= 0) {
            if (option->values.size() != 1) {
                return fail(option->values.isEmpty() ? QStringLiteral("%1 takes no value").arg(name)
                                                     : QStringLiteral("%1 takes %2 values: %3")
                                                           .arg(name)
                                                           .arg(option->values.size())
                                                           .arg(optionWithValues(*option)));
            }
            values.append(word.mid(equals + 1));
        } else {
            for (const QString& valueName : option->values) {
                if (i + 1 >= words.size() || words.at(i + 1).startsWith(kEndOfOptions)) {
                    return fail(QStringLiteral("missing %1 after %2").arg(valueName, name));
                }
                values.append(words.at(++i));
            }
        }
        parsed.options.emplace(name, values);
    }

    if (parsed.positionals.size() < grammar.minPositionals) {
        return fail(QStringLiteral("missing %1").arg(grammar.positionalName));
    }
    if (parsed.positionals.size() > grammar.maxPositionals) {
        return fail(QStringLiteral("unexpected argument '%1'")
                        .arg(parsed.positionals.at(grammar.maxPositionals)));
    }
    return result;
}

QString UsageText(const CommandSpec& grammar) {
    const QString lead = QStringLiteral("Usage: quendrix-cli %1 ").arg(grammar.name);
    QString text;
    for (qsizetype i = 0; i < grammar.usage.size(); ++i) {
        text += (i == 0 ? lead : QString(lead.size(), QLatin1Char(' '))) + grammar.usage.at(i) +
                QLatin1Char('\n');
    }
    return text;
}

QString HelpText(const CommandSpec& grammar) {
    QString text = UsageText(grammar);
    if (!grammar.description.isEmpty()) {
        text += QLatin1Char('\n') + grammar.description;
    }
    text += QStringLiteral("\nOptions:\n");
    std::vector<std::pair<QString, QString>> rows;
    for (const OptionSpec& option : grammar.options) {
        rows.emplace_back(optionWithValues(option), option.help);
    }
    rows.emplace_back(QStringLiteral("--help, -h"), QStringLiteral("show this help"));
    qsizetype width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.first.size());
    }
    for (const auto& [left, help] : rows) {
        text += QStringLiteral("  ") + left.leftJustified(width + 2) + help + QLatin1Char('\n');
    }
    if (!grammar.statuses.empty()) {
        text += QStringLiteral("\nExit status:\n");
        for (const ExitStatusSpec& status : grammar.statuses) {
            text += QStringLiteral("  %1  %2\n").arg(status.status).arg(status.meaning);
        }
    }
    return text;
}

}  // namespace quendrix::cli
