// quendrix-cli: the same engines as the window, from a terminal.
#include "core/target.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

void printUsage(QTextStream& stream) {
    stream << "Usage: quendrix-cli COMMAND [ARGUMENTS]\n"
              "\n"
              "Commands:\n"
              "  resolve NAME       print every address of NAME, one per line, or X\n"
              "  reverse ADDRESS    print the official name of ADDRESS, or X\n"
              "\n"
              "Options:\n"
              "  --help             show this help\n"
              "  --version          show the version\n"
              "\n"
              "Exit status: 0 success, 1 failed look-up, 2 bad usage.\n";
    stream.flush();
}

int resolveCommand(const QStringList& args) {
    if (args.size() != 1) {
        err() << "quendrix-cli: resolve takes one NAME\n";
        return kUsage;
    }
    const auto host = quendrix::ResolveHost(quendrix::ReduceTarget(args.at(0)));
    if (!host) {
        out() << quendrix::kLookupFailed << "\n";
        return kFailed;
    }
    for (const QString& address : host->addresses) {
        out() << address << "\n";
    }
    return kOk;
}

int reverseCommand(const QStringList& args) {
    if (args.size() != 1) {
        err() << "quendrix-cli: reverse takes one ADDRESS\n";
        return kUsage;
    }
    const QString name = quendrix::ResolveAddress(args.at(0));
    out() << name << "\n";
    return name == quendrix::kLookupFailed ? kFailed : kOk;
}

int run(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        printUsage(err());
        return kUsage;
    }
    const QString command = arguments.at(0);
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        printUsage(out());
        return kOk;
    }
    if (command == QLatin1String("--version")) {
        out() << "quendrix-cli " << QUENDRIX_VERSION << "\n";
        return kOk;
    }
    if (command == QLatin1String("resolve")) {
        return resolveCommand(rest);
    }
    if (command == QLatin1String("reverse")) {
        return reverseCommand(rest);
    }
    err() << "quendrix-cli: unknown command '" << command << "'\n";
    printUsage(err());
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int status = run(app.arguments().mid(1));
    out().flush();
    err().flush();
    return status;
}
