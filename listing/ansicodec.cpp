#include "ansicodec.h"

#include <QStringDecoder>

#include <array>
#include <vector>

namespace AnsiCodec {

namespace {

constexpr const char *CodePage = "windows-1252";

// The code page's mapping as Qt's converter has it, taken once for all 256 bytes and inverted
// into a lookup table: the page writer encodes many megabytes in small print steps, and a
// converter call per step would cost more than the rest of the writing together.
class CodePageTable
{
public:
    CodePageTable()
        : m_fromBmp(0x10000, NotHeld)
    {
        QByteArray every(256, '\0');
        for (int b = 0; b < 256; ++b) {
            every[b] = char(b);
        }
        QStringDecoder decoder(CodePage, QStringConverter::Flag::Stateless);
        m_toUnicode = decoder.decode(every);
        Q_ASSERT(decoder.isValid() && m_toUnicode.size() == 256);
        for (int b = 0; b < 256 && b < m_toUnicode.size(); ++b) {
            const char16_t c = m_toUnicode[b].unicode();
            if (c != QChar::ReplacementCharacter) {
                m_fromBmp[c] = static_cast<qint16>(b);
            }
        }
    }

    // The character for a byte.
    QChar characterFor(char byte) const { return m_toUnicode[uchar(byte)]; }

    // The byte for a UTF-16 code unit, or NotHeld.
    qint16 byteFor(char16_t c) const { return m_fromBmp[c]; }

    static constexpr qint16 NotHeld = -1;

private:
    std::vector<qint16> m_fromBmp;
    QString m_toUnicode;
};

const CodePageTable &table()
{
    static const CodePageTable instance;
    return instance;
}

void appendReference(QByteArray &out, char32_t codePoint)
{
    out += "&#";
    out += QByteArray::number(quint32(codePoint));
    out += ';';
}

} // namespace

void appendEncoded(QByteArray &out, QStringView text)
{
    const CodePageTable &codes = table();
    const qsizetype start = out.size();
    out.resize(start + text.size());
    char *dest = out.data() + start;
    const char16_t *src = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = src[i];
        const qint16 byte = c < 0x80 ? qint16(c) : codes.byteFor(c);
        if (byte != CodePageTable::NotHeld) {
            *dest++ = char(byte);
            continue;
        }
        // Rare: a character outside the code page. Finish the bytes so far, then write the
        // reference for the whole code point (a surrogate pair is one character).
        out.resize(dest - out.constData());
        char32_t codePoint = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(src[i + 1])) {
            codePoint = QChar::surrogateToUcs4(c, src[i + 1]);
            ++i;
        }
        appendReference(out, codePoint);
        const qsizetype written = out.size();
        out.resize(written + (n - i - 1));
        dest = out.data() + written;
    }
    out.resize(dest - out.constData());
}

QByteArray encode(QStringView text)
{
    QByteArray out;
    appendEncoded(out, text);
    return out;
}

QString decode(QByteArrayView bytes)
{
    const CodePageTable &codes = table();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *dest = text.data();
    for (const char byte : bytes) {
        *dest++ = codes.characterFor(byte);
    }
    return text;
}

} // namespace AnsiCodec
