// Writes the single-herd settings file (WTimes.DLL) for a SQL Server: the four settings,
// scrambled one line each, in UTF-8 with a byte-order mark and CR LF line ends.
#include "toolkit/scramble.h"

#include <QCoreApplication>
#include <QFile>
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
    QByteArray bytes("\xEF\xBB\xBF");
    for (int i = 0; i < 4; ++i) {
        if (args[i].contains(u'\n') || args[i].contains(u'\r')) {
            std::fprintf(stderr, "make-wtimes: a setting cannot contain a line break\n");
            return 2;
        }
        bytes += rimo::FindXOR(args[i]).toUtf8() + "\r\n";
    }
    QFile file(output);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() ||
        !file.flush()) {
        std::fprintf(stderr, "make-wtimes: cannot write %s: %s\n", qPrintable(output),
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
