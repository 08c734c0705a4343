// nivexctl: the program's core from a shell, for scripts and tests.

#include "tools/nivexctl/commands.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <string_view>

namespace {

struct Command {
    std::string_view name;
    std::string_view summary;
    int (*run)(const QStringList& args);
};

constexpr Command commands[] = {
    {"devices", "list every FTDI device the driver layer sees", nivexctl::runDevices},
    {"meters", "find the meters, set up the first and ask for its identity", nivexctl::runMeters},
    {"download", "download everything the meter holds into the database beside nivexctl",
     nivexctl::runDownload},
};

int usage(std::FILE* out)
{
    std::fputs("usage: nivexctl <command> [arguments]\n\ncommands:\n", out);
    for (const Command& c : commands)
        std::fprintf(out, "  %-10.*s %.*s\n", int(c.name.size()), c.name.data(), int(c.summary.size()),
                     c.summary.data());
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage(stderr);
    const QString name = args.takeFirst();
    if (name == QLatin1String("help") || name == QLatin1String("--help"))
        return usage(stdout);
    for (const Command& c : commands) {
        if (name == QLatin1String(c.name.data(), qsizetype(c.name.size()))) {
            try {
                return c.run(args);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "nivexctl %s: %s\n", c.name.data(), e.what());
                return 1;
            }
        }
    }
    std::fprintf(stderr, "nivexctl: unknown command '%s'\n\n", qPrintable(name));
    return usage(stderr);
}
