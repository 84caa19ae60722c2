#include "cli/grammar.h"

#include <algorithm>

namespace quendrix::cli::plain {
namespace {

const std::string kEndOfOptions = "--";

bool isHelpWord(const std::string& word) {
    return word == "--help" || word == "-h";
}

// A word that names an option rather than being a value or a positional argument; a lone
// "-" is an ordinary argument (a file named so, say).
bool looksLikeOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

const OptionSpec* findOption(const CommandSpec& grammar, const std::string& name) {
    for (const OptionSpec& option : grammar.options) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

std::string optionWithValues(const OptionSpec& option) {
    std::string text = option.name;
    for (const std::string& value : option.values) {
        text += ' ' + value;
    }
    return text;
}

}  // namespace

std::string ParsedArguments::value(const std::string& option) const {
    const auto found = options.find(option);
    return found == options.end() || found->second.empty() ? std::string() : found->second.front();
}

std::vector<std::string> ParsedArguments::values(const std::string& option) const {
    const auto found = options.find(option);
    return found == options.end() ? std::vector<std::string>() : found->second;
}

ParseResult ParseArguments(const CommandSpec& grammar, const std::vector<std::string>& words) {
    ParseResult result;
    ParsedArguments& parsed = result.arguments;
    const auto beforeEnd = std::find(words.begin(), words.end(), kEndOfOptions);
    // Help wins over every other word, so that a half-written command line can still ask.
    if (std::any_of(words.begin(), beforeEnd, isHelpWord)) {
        parsed.help = true;
        return result;
    }
    const auto fail = [&result](std::string problem) {
        result.arguments = {};
        result.problem = std::move(problem);
        return result;
    };

    bool onlyPositionals = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (onlyPositionals || !looksLikeOption(word)) {
            parsed.positionals.push_back(word);
            continue;
        }
        if (word == kEndOfOptions) {
            onlyPositionals = true;
            continue;
        }
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const OptionSpec* option = findOption(grammar, name);
        if (option == nullptr) {
            return fail("unknown option '" + name + "'");
        }
        if (parsed.has(name)) {
            return fail(name + " is given twice");
        }
        std::vector<std::string> values;
        if (equals != std::string::npos) {
            if (option->values.size() != 1) {
                return fail(option->values.empty()
                                ? name + " takes no value"
                                : name + " takes " + std::to_string(option->values.size()) +
                                      " values: " + optionWithValues(*option));
            }
            values.push_back(word.substr(equals + 1));
        } else {
            for (const std::string& valueName : option->values) {
                if (i + 1 >= words.size() || words[i + 1].starts_with(kEndOfOptions)) {
                    return fail("missing " + valueName + " after " + name);
                }
                values.push_back(words[++i]);
            }
        }
        parsed.options.emplace(name, std::move(values));
    }

    const std::size_t given = parsed.positionals.size();
    if (given < static_cast<std::size_t>(grammar.minPositionals)) {
        return fail("missing " + grammar.positionalName);
    }
    if (const auto most = static_cast<std::size_t>(grammar.maxPositionals); given > most) {
        return fail("unexpected argument '" + parsed.positionals[most] + "'");
    }
    return result;
}

std::string UsageText(const CommandSpec& grammar) {
    const std::string lead = "Usage: quendrix-cli " + grammar.name + " ";
    std::string text;
    for (std::size_t i = 0; i < grammar.usage.size(); ++i) {
        text += (i == 0 ? lead : std::string(lead.size(), ' ')) + grammar.usage[i] + '\n';
    }
    return text;
}

std::string HelpText(const CommandSpec& grammar) {
    std::string text = UsageText(grammar);
    if (!grammar.description.empty()) {
        text += '\n' + grammar.description;
    }
    text += "\nOptions:\n";
    std::vector<std::pair<std::string, std::string>> rows;
    for (const OptionSpec& option : grammar.options) {
        rows.emplace_back(optionWithValues(option), option.help);
    }
    rows.emplace_back("--help, -h", "show this help");
    std::size_t width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.first.size());
    }
    for (const auto& [left, help] : rows) {
        text += "  " + left + std::string(width + 2 - left.size(), ' ') + help + '\n';
    }
    if (!grammar.statuses.empty()) {
        text += "\nExit status:\n";
        for (const ExitStatusSpec& status : grammar.statuses) {
            text += "  " + std::to_string(status.status) + "  " + status.meaning + '\n';
        }
    }
    return text;
}

}  // namespace quendrix::cli::plain
