#include "ansicodec.h"
#include "colorrecord.h"
#include "defaultcolours.h"
#include "fuzzcheck.h"
#include "recordio.h"
#include "tricklingdevice.h"

#include <QBuffer>

// "colorset.dat": any bytes, of any length, as the colour record.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = fuzzInput(data, size).toByteArray();
    constexpr qsizetype SlotBytes = 6;
    constexpr qsizetype RecordBytes = 16 * SlotBytes;

    TricklingDevice trickle(file, 1 + qint64(size % 7));
    const std::optional<QByteArray> record = readRecord(trickle, RecordBytes);
    FUZZ_CHECK(record && *record == file.first(std::min(file.size(), RecordBytes)));

    const ColorSet colors = colorSetFromRecord(*record);
    const ColorSet shipped = defaultColorSet();
    for (int k = 0; k < ColorSet::Count; ++k) {
        const auto id = static_cast<ColorSlotId>(k);
        const QString &text = colors.slot(id).text();
        FUZZ_CHECK(text.size() == SlotBytes);
        // A slot the file holds whole is its six bytes as they are; any other is the shipped one.
        if ((k + 1) * SlotBytes <= record->size()) {
            FUZZ_CHECK(AnsiCodec::encode(text) == record->sliced(k * SlotBytes, SlotBytes));
        } else {
            FUZZ_CHECK(colors.slot(id) == shipped.slot(id));
        }
    }

    const QByteArray written = colorRecord(colors);
    FUZZ_CHECK(written.size() == RecordBytes);
    if (record->size() == RecordBytes) {
        FUZZ_CHECK(written == *record);
    }
    FUZZ_CHECK(colorSetFromRecord(written) == colors);

    // Saving replaces the record at the start of the file and keeps whatever follows it.
    QByteArray oldBytes = file;
    QBuffer old(&oldBytes);
    old.open(QIODevice::ReadOnly);
    QByteArray outBytes;
    QBuffer out(&outBytes);
    out.open(QIODevice::WriteOnly);
    FUZZ_CHECK(writeRecordOver(out, written, &old));
    FUZZ_CHECK(outBytes == written + file.mid(RecordBytes));
    return 0;
}
