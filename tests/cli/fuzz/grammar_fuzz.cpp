// Fuzz target for the command-line grammar: the input is a list of words separated by NUL
// bytes (any bytes, as argv holds them), read against a description with every kind of option.
// Whatever the words, the parser either names a problem or gives arguments that obey the
// description, and the arguments written back as words parse to the same result.
#include "cli/grammar.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using quendrix::cli::plain::CommandSpec;
using quendrix::cli::plain::ParseArguments;
using quendrix::cli::plain::ParseResult;

const CommandSpec& grammar() {
    static const CommandSpec description{
        "fuzz", {"[FILE] [--out PATH] [--range A B C] [--quiet]"},
        {},     {{"--out", {"PATH"}, {}}, {"--range", {"A", "B", "C"}, {}}, {"--quiet", {}, {}}},
        "FILE", 0,
        2,      {}};
    return description;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> words;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find('\0', start);
        words.push_back(bytes.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    const ParseResult result = ParseArguments(grammar(), words);
    if (!result.ok() || result.arguments.help) {
        // A problem comes alone: no help, no arguments.
        if (!result.ok() && (result.arguments.help || !result.arguments.options.empty() ||
                             !result.arguments.positionals.empty())) {
            std::abort();
        }
        return 0;
    }
    const auto& arguments = result.arguments;
    if (arguments.positionals.size() > static_cast<std::size_t>(grammar().maxPositionals)) {
        std::abort();
    }
    std::vector<std::string> again;
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
            again.push_back(name + '=' + values.front());
        } else {
            again.push_back(name);
            for (const std::string& value : values) {
                if (value.starts_with("--")) {
                    std::abort();
                }
                again.push_back(value);
            }
        }
    }
    again.emplace_back("--");
    again.insert(again.end(), arguments.positionals.begin(), arguments.positionals.end());
    const ParseResult reparsed = ParseArguments(grammar(), again);
    if (!reparsed.ok() || reparsed.arguments.help ||
        reparsed.arguments.options != arguments.options ||
        reparsed.arguments.positionals != arguments.positionals) {
        std::abort();
    }
    if (quendrix::cli::plain::HelpText(grammar()).empty()) {
        std::abort();
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
