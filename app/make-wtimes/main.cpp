// Writes the single-herd settings file (WTimes.DLL) for a SQL Server: the four settings,
// scrambled one line each, in UTF-8 with a byte-order mark and CR LF line ends. A value the file
// cannot hold is refused, and the written file is read back before success is reported.
#include "core/error.h"
#include "core/wholefile.h"
#include "toolkit/settingsfile.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 4 || args.size() > 5 || args.value(0) == QLatin1String("--help")) {
        std::fprintf(stderr, "usage: make-wtimes PASSWORD SERVER DATABASE USER [OUTPUT]\n"
                             "Writes the herd connection settings file (default ./WTimes.DLL).\n"
                             "SERVER may be host, host:port, host,port or host\\instance.\n");
        return 2;
    }
    const QString output = args.value(4, QStringLiteral("WTimes.DLL"));
    const QStringList settings = args.mid(0, 4);
    QByteArray bytes;
    try {
        bytes = rimo::encodeScrambledSettings(settings);
    } catch (const rimo::Error& e) {
        std::fprintf(stderr, "make-wtimes: %s\n", e.what());
        return 2;
    }
    try {
        rimo::writeWholeFile(output, bytes);
        // The program reads the file through this same reader: what it gets back is what it will use.
        if (rimo::readScrambledSettings(rimo::readWholeFile(output)) != settings)
            throw rimo::Error(QStringLiteral("%1 does not read back as written").arg(output));
    } catch (const rimo::Error& e) {
        std::fprintf(stderr, "make-wtimes: %s\n", e.what());
        return 1;
    }
    return 0;
}
