#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QStringView>

// The headless twin of Create Listing: loads a program folder exactly as start-up does, takes
// the four per-listing texts from the command line or from files, and writes the page bytes
// the window would write for them. It never creates, changes or deletes a file in that folder.
namespace Composer {

enum ExitCode { Success = 0, FileFailure = 1, BadUsage = 2 };

// Runs one composition. arguments start with the program name; defaultFolder is the folder
// that holds the composer. The page (or the help and version texts) goes to out unless
// --output names a file; every message goes to err.
int run(const QStringList &arguments, const QString &defaultFolder, QIODevice &out, QIODevice &err);

// Each line break (CR LF, a lone LF, a lone CR) becomes one CR LF, the break of a text box.
QString normalizeLineBreaks(QStringView text);

} // namespace Composer
