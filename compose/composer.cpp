#include "composer.h"

#include "datafiles.h"
#include "filewrite.h"
#include "pagewriter.h"
#include "session.h"
#include "startup.h"
#include "textfile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QStringDecoder>

#include <optional>

using namespace Qt::StringLiterals;

namespace Composer {

namespace {

const QString ProgramName = u"tavrin-compose"_s;
constexpr qint64 ReadChunkSize = 64 * 1024;

void say(QIODevice &err, const QString &message)
{
    writeAll(err, (ProgramName + u": "_s + message + u'\n').toUtf8());
}

int badUsage(QIODevice &err, const QString &message)
{
    say(err, message);
    writeAll(err, (u"Try \""_s + ProgramName + u" --help\" for the options.\n"_s).toUtf8());
    return BadUsage;
}

struct InputFile
{
    QString text;
    QString error;
};

// A description or condition file: UTF-8, taken whole, line breaks as the window keeps them.
InputFile readInputFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, file.errorString()};
    }
    QByteArray bytes;
    QByteArray chunk(ReadChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), ReadChunkSize);
        if (n < 0) {
            return {{}, file.errorString()};
        }
        if (n == 0) {
            break;
        }
        if (bytes.size() + n > MaxTextFileBytes) {
            return {{},
                    u"file too large (more than %1 MiB)"_s.arg(MaxTextFileBytes / (1024 * 1024))};
        }
        bytes.append(chunk.constData(), n);
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return {{}, u"not valid UTF-8"_s};
    }
    return {normalizeLineBreaks(text), {}};
}

// The page must not land on one of the folder's own data files.
bool isDataFileOf(const QString &folder, const QString &outputPath)
{
    const QFileInfo target(outputPath);
    const QString targetDir = QDir(target.absolutePath()).canonicalPath();
    if (targetDir.isEmpty() || targetDir != QDir(folder).canonicalPath()) {
        return false;
    }
    return dataFileNames().contains(target.fileName(), Qt::CaseInsensitive);
}

struct Options
{
    QCommandLineOption folder{u"folder"_s,
                              u"The program folder whose data files supply the reusable texts, "
                              "colours, section order and styles (default: the folder that "
                              "holds this program)."_s,
                              u"DIR"_s};
    QCommandLineOption mainTitle{u"main-title"_s, u"The main title (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption subTitle{u"sub-title"_s, u"The sub title (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption description{u"description"_s, u"The description (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption descriptionFile{u"description-file"_s,
                                       u"Take the description from a UTF-8 file."_s, u"FILE"_s};
    QCommandLineOption condition{u"condition"_s, u"The condition text (UTF-8)."_s, u"TEXT"_s};
    QCommandLineOption conditionFile{u"condition-file"_s,
                                     u"Take the condition text from a UTF-8 file."_s, u"FILE"_s};
    QCommandLineOption output{u"output"_s,
                              u"Write the page to FILE, replacing it whole (default: standard "
                              "output)."_s,
                              u"FILE"_s};
};

// The text of an option pair: the option itself, or the file it names. Empty when neither.
std::optional<QString> textOf(const QCommandLineParser &parser, const QCommandLineOption &inline_,
                              const QCommandLineOption &file, const QString &what, QIODevice &err)
{
    if (parser.isSet(file)) {
        const QString path = parser.value(file);
        const InputFile read = readInputFile(path);
        if (!read.error.isEmpty()) {
            say(err, u"cannot read the %1 file \"%2\": %3."_s.arg(
                         what, QDir::toNativeSeparators(path), read.error));
            return std::nullopt;
        }
        return read.text;
    }
    return parser.value(inline_);
}

bool writePageTo(QIODevice &out, const QByteArray &page)
{
    if (!writeAll(out, page)) {
        return false;
    }
    auto *file = qobject_cast<QFileDevice *>(&out);
    return !file || file->flush();
}

} // namespace

QString normalizeLineBreaks(QStringView text)
{
    QString result;
    result.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            result += u"\r\n";
        } else if (c == u'\n') {
            result += u"\r\n";
        } else {
            result += c;
        }
    }
    return result;
}

int run(const QStringList &arguments, const QString &defaultFolder, QIODevice &out, QIODevice &err)
{
    const Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Writes the listing page for the given texts with the settings of a program folder."_s);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QList<const QCommandLineOption *> all = {
        &options.folder,          &options.mainTitle, &options.subTitle,      &options.description,
        &options.descriptionFile, &options.condition, &options.conditionFile, &options.output};
    for (const QCommandLineOption *option : all) {
        parser.addOption(*option);
    }

    if (!parser.parse(arguments)) {
        return badUsage(err, parser.errorText());
    }
    // "--help-all" comes with the help option; there are no toolkit options worth listing.
    if (parser.isSet(help) || parser.isSet(u"help-all"_s)) {
        return writeAll(out, parser.helpText().toUtf8()) ? Success : FileFailure;
    }
    if (parser.isSet(version)) {
        const QString text = ProgramName + u' ' + QStringLiteral(TAVRIN_VERSION) + u'\n';
        return writeAll(out, text.toUtf8()) ? Success : FileFailure;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return badUsage(err,
                        u"unexpected argument \"%1\"."_s.arg(parser.positionalArguments().first()));
    }
    for (const QCommandLineOption *option : all) {
        if (parser.values(*option).size() > 1) {
            return badUsage(err, u"--%1 given more than once."_s.arg(option->names().first()));
        }
    }
    if (parser.isSet(options.description) && parser.isSet(options.descriptionFile)) {
        return badUsage(err, u"give --description or --description-file, not both."_s);
    }
    if (parser.isSet(options.condition) && parser.isSet(options.conditionFile)) {
        return badUsage(err, u"give --condition or --condition-file, not both."_s);
    }
    for (const QCommandLineOption *option :
         {&options.folder, &options.output, &options.descriptionFile, &options.conditionFile}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
            return badUsage(err, u"--%1 needs a name."_s.arg(option->names().first()));
        }
    }

    const QString folder = parser.isSet(options.folder)
                               ? QDir(parser.value(options.folder)).absolutePath()
                               : defaultFolder;
    const QString outputPath = parser.value(options.output);
    if (!outputPath.isEmpty() && isDataFileOf(folder, outputPath)) {
        return badUsage(err, u"--output \"%1\" is a data file of the program folder."_s.arg(
                                 QDir::toNativeSeparators(outputPath)));
    }

    Session session;
    if (const std::optional<FileError> error =
            startup(session, folder, RecordFiles::LeaveFolderUntouched)) {
        say(err, error->message());
        return FileFailure;
    }
    const std::optional<QString> description =
        textOf(parser, options.description, options.descriptionFile, u"description"_s, err);
    if (!description) {
        return FileFailure;
    }
    const std::optional<QString> condition =
        textOf(parser, options.condition, options.conditionFile, u"condition"_s, err);
    if (!condition) {
        return FileFailure;
    }
    ListingSettings &settings = session.settings;
    settings.setText(TextField::MainTitle, parser.value(options.mainTitle));
    settings.setText(TextField::SubTitle, parser.value(options.subTitle));
    settings.setText(TextField::Description, *description);
    settings.setText(TextField::Condition, *condition);

    if (outputPath.isEmpty()) {
        if (!writePageTo(out, renderPage(settings))) {
            say(err, u"cannot write to standard output: %1."_s.arg(out.errorString()));
            return FileFailure;
        }
        return Success;
    }
    const WriteResult written = writeout(settings, outputPath);
    if (!written) {
        say(err, u"cannot write \"%1\": %2."_s.arg(written.path, written.error));
        return FileFailure;
    }
    return Success;
}

} // namespace Composer
