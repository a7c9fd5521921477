#include "composer.h"
#include "version.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <new>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The page's CR LF line ends must reach standard output byte for byte, and the messages the
// same bytes as on every system; Windows would otherwise turn each LF into CR LF.
void useBinaryStandardStreams()
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

// Qt cannot tell whether a stream is a terminal; the progress of a batch depends on it.
bool standardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrin-compose"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION_TEXT));
    useBinaryStandardStreams();

    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly)) {
        return Composer::FileFailure;
    }
    // Memory that cannot be had (under a limit, for a huge page's check) ends the run with a
    // message, never with an abort; what was written before stands.
    int status = Composer::FileFailure;
    try {
        status =
            Composer::run(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(),
                          out, err, Composer::Streams{standardErrorIsTerminal()});
    } catch (const std::bad_alloc &) {
        out.flush();
        err.write("tavrin-compose: out of memory.\n");
    }
    err.flush();
    return status;
}
