// The script runner, in one run on one test server:
//   split:  reading a script file and cutting it into GO batches (decodeSettingsLines, comment
//           removal, splitScriptBatches) against decodeSettingsLines alone on the same file, at
//           20,000 and 200,000 lines; a ratio that stays put between the sizes means linear growth;
//   run:    a script of succeeding batches through DoScriptFromfile against FreeTDS's bsqldb on the
//           same file, and the same number of board posts timed alone, so the ratio can be given
//           with and without the board's share.
// Medians of a few repetitions are reported.
// Usage: bench_scripts [batches=1000] [repetitions=3] [split repetitions=9]   (bsqldb on the PATH)
#include "bare.h"
#include "board/boardrows.h"
#include "board/messageboardform.h"
#include "platform/testing/doubles.h"
#include "toolkit/settingsfile.h"
#include "toolkit/sql/scriptsplit.h"
#include "toolkit/tools.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace rimo::bench;

namespace {

// A script of `lines` lines: statements of a few lines each, a comment line now and then, and a
// GO after every batch.
QByteArray mixedScript(long lines)
{
    QByteArray out;
    long n = 0;
    for (long batch = 1; n < lines; ++batch) {
        out += "-- batch " + QByteArray::number(batch) + "\r\n";
        out += "UPDATE FirstRec SET RecSeq = " + QByteArray::number(batch) + "\r\n";
        out += "  WHERE Serial = " + QByteArray::number(batch % 977) +
               " AND RecKind = N'\xd8\xb1\xd8\xb3\xd9\x85\xd9\x8a'\r\n";
        out += "\r\n";
        out += "GO\r\n";
        n += 5;
    }
    return out;
}

// A script of `batches` succeeding inserts, one a batch.
QByteArray insertScript(int batches)
{
    QByteArray out;
    for (int i = 1; i <= batches; ++i)
        out += "INSERT INTO T (Id, Name) VALUES (" + QByteArray::number(i) + ", N'row " +
               QByteArray::number(i) + "')\r\nGO\r\n";
    return out;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

void measureSplit(const QString& folder, long lines, int repetitions)
{
    const QString path = folder + QStringLiteral("/split-%1.sql").arg(lines);
    writeFile(path, mixedScript(lines));
    std::vector<double> decodeOnly, split;
    std::size_t batches = 0;
    const auto decode = [&] {
        const double t = now();
        const QStringList decoded = rimo::decodeSettingsLines(readAll(path));
        decodeOnly.push_back(now() - t);
    };
    const auto cut = [&] {
        const double t = now();
        batches = rimo::sql::splitScriptBatches(
                      rimo::sql::withoutCommentLines(rimo::decodeSettingsLines(readAll(path))))
                      .size();
        split.push_back(now() - t);
    };
    // The two sides alternate their order, so neither always meets a cold cache.
    for (int r = 0; r < repetitions; ++r) {
        if (r % 2 == 0) {
            decode();
            cut();
        } else {
            cut();
            decode();
        }
    }
    const double d = median(decodeOnly), s = median(split);
    std::printf(
        "split  %7ld lines (%zu batches): read+decode %.2f ms, read+decode+split %.2f ms, ratio %.2f\n",
        lines, batches, d * 1e3, s * 1e3, s / d);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int batches = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    const int splitRepetitions = argc > 3 ? std::atoi(argv[3]) : 9;
    QTemporaryDir folder;

    measureSplit(folder.path(), 20000, splitRepetitions);
    measureSplit(folder.path(), 200000, splitRepetitions);

    rimo::testsupport::TdsServer server("Rimo-bench-sa-1");
    server.exec("CREATE DATABASE bench");
    server.exec("CREATE TABLE T (Id int NULL, Name nvarchar(50) NULL)", "bench");
    const QString script = folder.filePath(QStringLiteral("inserts.sql"));
    writeFile(script, insertScript(batches));

    rimo::fakes::ScopedFakeDialogs dialogs;
    TTools tools({}, folder.path());
    tools.ServerConnection->Server = QString::fromStdString(server.serverSpec());
    tools.ServerConnection->Database = QStringLiteral("bench");
    tools.ServerConnection->Password = QString::fromStdString(server.password());
    tools.ServerConnection->Connect();

    // The batches' statements, for the access layer's executes alone.
    QStringList statements;
    for (const auto& batch : rimo::sql::splitScriptBatches(rimo::decodeSettingsLines(readAll(script))))
        if (!batch.blank())
            statements << batch.lines.join(u'\n');

    std::vector<double> runner, bsqldb, posts, executes;
    const auto runScript = [&] {
        server.exec("DELETE FROM T", "bench");
        const double t = now();
        tools.DoScriptFromfile(QStringLiteral("bench"), script);
        runner.push_back(now() - t);
        if (tools.messageBoard()->rows().rows().size() != static_cast<std::size_t>(batches) ||
            !dialogs.messages.isEmpty()) {
            std::fprintf(stderr, "the runner did not run %d succeeding batches\n", batches);
            std::exit(1);
        }
    };
    const auto runBsqldb = [&] {
        server.exec("DELETE FROM T", "bench");
        QProcess bsql;
        const double t = now();
        bsql.start(QStringLiteral("bsqldb"),
                   {QStringLiteral("-S"), QString::fromStdString(server.serverSpec()), QStringLiteral("-U"),
                    QStringLiteral("sa"), QStringLiteral("-P"), QString::fromStdString(server.password()),
                    QStringLiteral("-D"), QStringLiteral("bench"), QStringLiteral("-i"), script});
        bsql.waitForFinished(-1);
        bsqldb.push_back(now() - t);
        if (bsql.exitStatus() != QProcess::NormalExit || bsql.exitCode() != 0) {
            std::fprintf(stderr, "bsqldb failed: %s\n", bsql.readAllStandardError().constData());
            std::exit(1);
        }
    };
    const auto postAlone = [&] {
        TMessageBoardForm* board = tools.messageBoard();
        board->StartRecording(true, QStringLiteral("bench"));
        const double t = now();
        for (int i = 1; i <= batches; ++i)
            board->PostThisMessage(QStringLiteral("موفقيت در"), QString::number(i));
        posts.push_back(now() - t);
        board->StopRecording();
    };
    const auto executeAlone = [&] {
        server.exec("DELETE FROM T", "bench");
        TMSQuery query;
        query.ParamCheck = false;
        query.Connection = tools.ServerConnection;
        const double t = now();
        for (const QString& statement : statements) {
            query.SQL = QStringList{statement};
            query.Execute();
        }
        executes.push_back(now() - t);
    };
    // The order turns round each repetition, so no side always runs first.
    const std::vector<std::function<void()>> sides = {runScript, runBsqldb, postAlone, executeAlone};
    for (int r = 0; r < repetitions; ++r)
        for (std::size_t k = 0; k < sides.size(); ++k)
            sides[(k + static_cast<std::size_t>(r)) % sides.size()]();
    const double run = median(runner), bare = median(bsqldb), board = median(posts), exec = median(executes);
    std::printf("run    %d batches: DoScriptFromfile %.1f ms, bsqldb %.1f ms, %d board posts alone %.1f ms\n",
                batches, run * 1e3, bare * 1e3, batches, board * 1e3);
    std::printf("run    the same statements through TMSQuery::Execute alone %.1f ms\n", exec * 1e3);
    std::printf("run    ratio with the board %.2f, without the board's share %.2f\n", run / bare,
                (run - board) / bare);
    return 0;
}
