#pragma once
// The command-line runner of the repairs, rimo1-repair: the same repair functions as the main
// window's buttons, for scheduled jobs, with no display. See the README's "Scheduled repairs".

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace rimo::runner {

// Exit codes.
enum Exit : int {
    Done = 0,
    Failed = 1,         // the repair failed; rows written before are in the journal
    Usage = 2,          // bad arguments or settings
    FailedCalvings = 3, // done, with failed calvings (undo: with rows changed since, left as they are)
    Interrupted = 130,  // Ctrl-C: stopped at a row boundary, the journal complete
};

struct Options
{
    QString verb;          // sequence, lactation, undo
    QString journal;       // undo: the journal file
    QString programFolder; // where WTimes.DLL, Multiusers.Dat, MultiConnect.Dat and T4R are
    QString settingsFile;  // a single-herd settings file in WTimes.DLL's format instead
    QString herd;          // multi-herd mode: the herd's DName
    bool allHerds = false;
    bool dryRun = false;
    QString csv; // dry run: changed rows as CSV to this file ("-": standard output)
    bool changedOnly = false;
    QString journalFolder; // default: T4R in the program folder
    bool force = false;
    bool json = false;
};

// Parses the arguments after the program name; an empty result and `error` on bad usage.
std::optional<Options> parseArguments(const QStringList& args, QString& error);
QString usageText();

struct Io
{
    std::function<void(const QByteArray&)> out;
    std::function<void(const QByteArray&)> err;
    bool terminal = false;               // progress lines on err
    std::function<bool()> stopRequested; // Ctrl-C
};

// Runs the command; returns its exit code.
int run(const Options& options, const Io& io);

} // namespace rimo::runner
