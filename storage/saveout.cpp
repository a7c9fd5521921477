#include "saveout.h"

#include "colorrecord.h"
#include "datafiles.h"

using namespace Qt::StringLiterals;

namespace {

struct TextStep
{
    QString fileName;
    TextField field;
    const QString LoadedTexts::*loaded;
};

} // namespace

std::vector<FileError> saveout(Session &session)
{
    const QString &folder = session.programFolder;
    if (folder.isEmpty()) {
        // Without the program folder every name would land in the current directory.
        return {FileError{{}, {}, u"The program's folder is not known; nothing was saved."_s}};
    }
    const ListingSettings &settings = session.settings;
    const QString noReserveFile = session.noReserveFileName.isEmpty()
                                      ? DataFileName::NoReserveWritten.toString()
                                      : session.noReserveFileName;
    const TextStep texts[] = {
        {DataFileName::AuctionId.toString(), TextField::AuctionId, &LoadedTexts::auctionId},
        {DataFileName::ThankYou.toString(), TextField::ThankYou, &LoadedTexts::thankYou},
        {noReserveFile, TextField::NoReserve, &LoadedTexts::noReserve},
        {DataFileName::Shipping.toString(), TextField::Shipping, &LoadedTexts::shipping},
        {DataFileName::Payment.toString(), TextField::Payment, &LoadedTexts::payment},
    };

    // A failure on one file does not stop the others: each keeps this run's changes if it can,
    // and every failure is reported together.
    std::vector<FileError> errors;
    const auto keep = [&errors](std::optional<FileError> error) {
        if (error) {
            errors.push_back(*std::move(error));
        }
    };
    for (const TextStep &step : texts) {
        const QString &text = settings.text(step.field);
        if (text != session.loaded.*step.loaded) {
            keep(replaceTextFile(folder, step.fileName, text));
        }
    }
    keep(
        replaceRecordFile(folder, DataFileName::Colors.toString(), colorRecord(settings.colors())));
    fillPrefs(session.prefs, settings);
    keep(replaceRecordFile(folder, DataFileName::Prefs.toString(), session.prefs.bytes()));
    return errors;
}
