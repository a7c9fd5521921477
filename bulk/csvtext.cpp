#include "csvtext.h"

#include "boundedread.h"

#include <QDir>

#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

QString headerKey(QStringView name)
{
    QString key;
    key.reserve(name.size());
    for (QChar c : name) {
        if (c != u' ' && c != u'_') {
            key += c;
        }
    }
    return key.toCaseFolded();
}

// UTF-16 without a byte-order mark: a header's names are mostly ASCII, each of whose
// characters has a zero byte on the same side of its pair, and the other side has none. UTF-8
// and Windows-1252 text holds no zero bytes at all.
bool looksLikeUtf16(QByteArrayView bytes)
{
    constexpr qsizetype Looked = 256;
    const qsizetype pairs = std::min(bytes.size(), Looked) / 2;
    if (pairs < 2) {
        return false;
    }
    qsizetype evenZeros = 0;
    qsizetype oddZeros = 0;
    for (qsizetype i = 0; i < pairs * 2; i += 2) {
        evenZeros += bytes[i] == '\0' ? 1 : 0;
        oddZeros += bytes[i + 1] == '\0' ? 1 : 0;
    }
    return (evenZeros == 0 && oddZeros * 2 >= pairs) || (oddZeros == 0 && evenZeros * 2 >= pairs);
}

} // namespace

CsvFileBytes readCsvFile(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    BoundedBytes read = readBoundedFile(path, MaxCsvFileBytes);
    if (read.status == BoundedStatus::TooLarge) {
        return {
            {},
            u"\"%1\" is too large for a CSV file of listings (more than %2 MiB)"_s.arg(shown).arg(
                MaxCsvFileBytes / (1024 * 1024))};
    }
    if (read.status != BoundedStatus::Ok) {
        return {{}, u"cannot read \"%1\": %2"_s.arg(shown, read.error)};
    }
    return {std::move(read.bytes), {}};
}

CsvEncoding undeclaredCsvEncoding(QByteArrayView bytes)
{
    return firstInvalidUtf8(bytes) < 0 ? CsvEncoding::Utf8 : CsvEncoding::Windows1252;
}

qsizetype firstInvalidUtf8(QByteArrayView bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            ++i;
            // Text is mostly ASCII: skip it eight bytes at a time.
            while (i + 8 <= n) {
                std::uint64_t word;
                std::memcpy(&word, s + i, 8);
                if (word & 0x8080808080808080u) {
                    break;
                }
                i += 8;
            }
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return i;
        }
        if (i + length > n || s[i + 1] < low || s[i + 1] > high) {
            return i;
        }
        for (int k = 2; k < length; ++k) {
            if (!isContinuation(s[i + k])) {
                return i;
            }
        }
        i += length;
    }
    return -1;
}

std::pair<int, qsizetype> csvLineOf(QByteArrayView text, qsizetype offset)
{
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    return {line, offset - lineStart};
}

std::optional<BatchMessage> invalidUtf8Fault(QByteArrayView text, QStringView how)
{
    const qsizetype bad = firstInvalidUtf8(text);
    if (bad < 0) {
        return std::nullopt;
    }
    const auto [line, column] = csvLineOf(text, bad);
    const QString byte = QString::number(static_cast<unsigned char>(text[bad]), 16).toUpper();
    return BatchMessage{
        line, u"invalid UTF-8 (byte 0x%1 at position %2 of the line) in a file %3"_s.arg(byte)
                  .arg(column + 1)
                  .arg(how)};
}

char headerSeparator(QByteArrayView text, SeparatorChoice choice)
{
    const bool tabs = choice == SeparatorChoice::CommaSemicolonOrTab;
    qsizetype i = 0;
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) {
        ++i;
    }
    bool quoted = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == ';' || (tabs && c == '\t'))) {
            return c;
        } else if (!quoted && (c == '\r' || c == '\n')) {
            break;
        }
    }
    return ',';
}

std::optional<BatchMessage> utf16Refusal(QByteArrayView bytes, QStringView saveAs)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        return BatchMessage{1, u"the file is UTF-16 text; save it as %1"_s.arg(saveAs)};
    }
    if (looksLikeUtf16(bytes)) {
        return BatchMessage{1, u"the file looks like UTF-16 text; save it as %1"_s.arg(saveAs)};
    }
    return std::nullopt;
}

CsvHeader matchCsvHeader(const std::vector<QString> &names, std::span<const CsvColumn> columns)
{
    CsvHeader header;
    header.found.assign(columns.size(), -1);
    for (qsizetype i = 0; i < qsizetype(names.size()); ++i) {
        const QString key = headerKey(names[size_t(i)]);
        const auto known = std::find_if(columns.begin(), columns.end(),
                                        [&](const CsvColumn &c) { return c.key == key; });
        if (known == columns.end()) {
            header.others.push_back(i);
            continue;
        }
        qsizetype &first = header.found[size_t(known - columns.begin())];
        if (first >= 0) {
            header.fault = u"the column \"%1\" appears twice in the header (columns %2 and %3)"_s
                               .arg(known->name)
                               .arg(first + 1)
                               .arg(i + 1);
            return header;
        }
        first = i;
    }
    for (size_t k = 0; k < columns.size(); ++k) {
        if (columns[k].required && header.found[k] < 0) {
            header.fault = u"the header has no \"%1\" column"_s.arg(columns[k].name);
            header.missingRequired = true;
            return header;
        }
    }
    return header;
}

namespace CsvFault {

QString unterminatedQuote()
{
    return u"the quoted field that begins on this line has no closing quote"_s;
}

QString textAfterClosingQuote(int fieldLine)
{
    QString text = u"text after the closing quote of a field"_s;
    if (fieldLine > 0) {
        text += u" that begins on line %1"_s.arg(fieldLine);
    }
    return text;
}

QString quoteInsideField()
{
    return u"a quote inside a field that does not begin with one (a field holding quotes must "
           "be enclosed in quotes, each inner quote doubled)"_s;
}

QString moreFieldsThanHeader(qsizetype headerColumns, int rowLine)
{
    QString text =
        headerColumns == 1
            ? u"this row has more fields than the header's one column"_s
            : u"this row has more fields than the header's %1 columns"_s.arg(headerColumns);
    if (rowLine > 0) {
        text += u" (the row begins on line %1)"_s.arg(rowLine);
    }
    return text;
}

} // namespace CsvFault
