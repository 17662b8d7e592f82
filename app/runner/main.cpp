// rimo1-repair: the repairs from the command line, for scheduled jobs (see runner.h).
#include "app/runner/runner.h"

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onInterrupt(int)
{
    // The run stops at the next row boundary; a second Ctrl-C ends the process at once.
    g_stop = 1;
}

void write(std::FILE* f, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), f);
    std::fflush(f);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    QString error;
    const std::optional<rimo::runner::Options> options = rimo::runner::parseArguments(args, error);
    if (!options) {
        write(stderr, "rimo1-repair: " + error.toUtf8() + '\n' + rimo::runner::usageText().toUtf8());
        return rimo::runner::Usage;
    }
    struct sigaction sa = {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    rimo::runner::Io io;
    io.out = [](const QByteArray& b) { write(stdout, b); };
    io.err = [](const QByteArray& b) { write(stderr, b); };
    io.terminal = ::isatty(STDERR_FILENO) == 1;
    io.stopRequested = [] { return g_stop != 0; };
    return rimo::runner::run(*options, io);
}
