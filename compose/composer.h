#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QStringView>

// The headless twin of Create Listing: loads a program folder exactly as start-up does, takes
// the four per-listing texts from the command line, from files or from the rows of a batch
// file, and writes the page bytes the window would write for them. It never creates, changes
// or deletes a file in that folder.
namespace Composer {

// Findings: --check found markup the marketplace refuses or hides; every page was still written.
enum ExitCode { Success = 0, FileFailure = 1, BadUsage = 2, Findings = 3 };

// What the caller knows about the streams and the toolkit does not.
struct Streams
{
    // Whether err is a terminal: only then does a batch show its progress, a line redrawn
    // in place that would litter a log file or a pipe.
    bool errIsTerminal = false;
};

// Runs one composition or one batch. arguments start with the program name; defaultFolder is
// the folder that holds the composer. The page (or the help and version texts, or the list
// of files a batch wrote) goes to out unless --output names a file; every message, finding
// and the progress go to err.
int run(const QStringList &arguments, const QString &defaultFolder, QIODevice &out, QIODevice &err,
        const Streams &streams = {});

} // namespace Composer
