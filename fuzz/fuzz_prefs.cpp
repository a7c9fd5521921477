#include "fuzzcheck.h"
#include "prefsrecord.h"

// "prefs.dat": any bytes as the preferences record, applied at start-up and saved again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size);
    const auto read = readBothWays(file, [](QIODevice &in) { return readRecord(in, 210); });
    Q_ASSERT(read && *read == file.left(210));

    const PrefsRecord record = PrefsRecord::fromBytes(*read);
    ListingSettings settings;
    // An empty file is the first run: no record is applied.
    read->isEmpty() ? settings.startFirstRun() : applyPrefs(record, settings);
    PrefsRecord saved = record;
    fillPrefs(saved, settings);
    checkWrittenOver(saved.bytes(), file, 210);
    Q_ASSERT(saved.bytes().sliced(186) == record.bytes().sliced(186));

    // A record that was read comes back as the same settings, and saving those changes no
    // byte. A first run saves no sizes, so its next start shows the fallback sizes instead.
    ListingSettings restored;
    applyPrefs(saved, restored);
    PrefsRecord savedAgain = saved;
    fillPrefs(savedAgain, restored);
    Q_ASSERT(read->isEmpty() || (restored == settings && savedAgain == saved));
    return 0;
}
