#include "cli/argument_parser.h"

namespace quendrix::cli {
namespace {

// The commands' texts are the system's bytes on the way in and out of the grammar.
std::string Bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QString Text(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes);
}

std::vector<std::string> Bytes(const QStringList& texts) {
    std::vector<std::string> bytes;
    bytes.reserve(static_cast<std::size_t>(texts.size()));
    for (const QString& text : texts) {
        bytes.push_back(Bytes(text));
    }
    return bytes;
}

QStringList Texts(const std::vector<std::string>& bytes) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(bytes.size()));
    for (const std::string& line : bytes) {
        texts.append(Text(line));
    }
    return texts;
}

}  // namespace

plain::CommandSpec PlainGrammar(const CommandSpec& grammar) {
    plain::CommandSpec described{
        Bytes(grammar.name),           Bytes(grammar.usage),   Bytes(grammar.description), {},
        Bytes(grammar.positionalName), grammar.minPositionals, grammar.maxPositionals,     {}};
    for (const OptionSpec& option : grammar.options) {
        described.options.push_back({Bytes(option.name), Bytes(option.values), Bytes(option.help)});
    }
    for (const ExitStatusSpec& status : grammar.statuses) {
        described.statuses.push_back({status.status, Bytes(status.meaning)});
    }
    return described;
}

QString ParsedArguments::value(const QString& option) const {
    const auto found = options.find(option);
    return found == options.end() || found->second.isEmpty() ? QString() : found->second.first();
}

QStringList ParsedArguments::values(const QString& option) const {
    const auto found = options.find(option);
    return found == options.end() ? QStringList() : found->second;
}

std::vector<std::string> PlainWords(const QStringList& words) {
    return Bytes(words);
}

ParsedArguments QtArguments(const plain::ParsedArguments& parsed) {
    ParsedArguments arguments;
    arguments.help = parsed.help;
    arguments.positionals = Texts(parsed.positionals);
    for (const auto& [name, values] : parsed.options) {
        arguments.options.emplace(Text(name), Texts(values));
    }
    return arguments;
}

ParseResult ParseArguments(const CommandSpec& grammar, const QStringList& words) {
    const plain::ParseResult parsed = plain::ParseArguments(PlainGrammar(grammar), Bytes(words));
    return {QtArguments(parsed.arguments), Text(parsed.problem)};
}

QString UsageText(const CommandSpec& grammar) {
    return Text(plain::UsageText(PlainGrammar(grammar)));
}

QString HelpText(const CommandSpec& grammar) {
    return Text(plain::HelpText(PlainGrammar(grammar)));
}

}  // namespace quendrix::cli
