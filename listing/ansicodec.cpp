#include "ansicodec.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

namespace AnsiCodec {

namespace {

constexpr const char *CodePage = "windows-1252";

// Whether the code page holds a code point, asked of the converter once per code point.
class Coverage
{
public:
    bool holds(char32_t codePoint)
    {
        if (codePoint < 0x80) {
            return true;
        }
        const auto known = m_known.constFind(codePoint);
        if (known != m_known.cend()) {
            return *known;
        }
        QStringEncoder encoder(CodePage);
        const char32_t single[1] = {codePoint};
        (void)QByteArray(encoder.encode(QString::fromUcs4(single, 1)));
        const bool held = !encoder.hasError();
        m_known.insert(codePoint, held);
        return held;
    }

private:
    QHash<char32_t, bool> m_known;
};

QByteArray encodeWithReferences(QStringView text)
{
    Coverage coverage;
    QStringEncoder encoder(CodePage);
    QByteArray out;
    out.reserve(text.size() + 64);
    qsizetype runStart = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        char32_t codePoint = text[i].unicode();
        qsizetype width = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (!coverage.holds(codePoint)) {
            out += encoder.encode(text.sliced(runStart, i - runStart));
            out += "&#" + QByteArray::number(quint32(codePoint)) + ';';
            runStart = i + width;
        }
        i += width;
    }
    out += encoder.encode(text.sliced(runStart));
    return out;
}

} // namespace

QByteArray encode(QStringView text)
{
    QStringEncoder encoder(CodePage);
    QByteArray out = encoder.encode(text);
    // Almost every text fits the code page; only one that does not takes the slow road.
    if (!encoder.hasError()) {
        return out;
    }
    return encodeWithReferences(text);
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder(CodePage);
    return decoder.decode(bytes);
}

} // namespace AnsiCodec
