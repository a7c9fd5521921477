#include "ansicodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__SSE2__) && !defined(TAVRIN_PORTABLE_CODEC)
#include <emmintrin.h>
#endif
#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace AnsiCodec {

namespace {

// The code page's 256 characters, from the system's own converter: Qt's converter knows the
// code page by name only where Qt has ICU, which Windows builds of Qt leave out.
QString codePageCharacters()
{
    QByteArray every(256, '\0');
    for (int b = 0; b < 256; ++b) {
        every[b] = char(b);
    }
#if defined(Q_OS_WIN)
    QString characters(256, QChar::ReplacementCharacter);
    ::MultiByteToWideChar(1252, 0, every.constData(), 256,
                          reinterpret_cast<wchar_t *>(characters.data()), 256);
    return characters;
#else
    QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
    QString characters = decoder.decode(every);
    Q_ASSERT(decoder.isValid());
    return characters;
#endif
}

// The code page's mapping as the converter has it, taken once for all 256 bytes and inverted
// into a two-level table: for the high byte of a UTF-16 unit one of a few pages of 256 entries,
// most units sharing the page of "not held". The page writer encodes many megabytes in small
// print steps, and a converter call per step would cost more than the rest of the writing.
class CodePageTable
{
public:
    // An entry is the byte, or this bit for a unit that the code page does not hold.
    static constexpr quint16 NotHeld = 0x100;

    CodePageTable()
    {
        m_pageOf.fill(0);
        m_pages.emplace_back();
        m_pages.back().fill(NotHeld);
        m_toUnicode = codePageCharacters();
        Q_ASSERT(m_toUnicode.size() == 256);
        for (int b = 0; b < 256 && b < m_toUnicode.size(); ++b) {
            const char16_t c = m_toUnicode[b].unicode();
            if (c != QChar::ReplacementCharacter) {
                set(c, quint16(b));
            }
        }
        for (char16_t c = 0; c < 0x80; ++c) {
            set(c, c);
        }
        m_latin1Upper = true;
        for (char16_t c = 0xA0; c < 0x100; ++c) {
            m_latin1Upper = m_latin1Upper && entry(c) == c;
        }
    }

    using Page = std::array<quint16, 256>;

    // The byte for a UTF-16 unit, or NotHeld.
    quint16 entry(char16_t c) const { return m_pages[m_pageOf[c >> 8]][c & 0xFF]; }

    // The table as plain arrays, for loops that write bytes: a store through a char pointer
    // could change anything as far as the compiler knows, the vector's own pointer included.
    const quint8 *pageOf() const { return m_pageOf.data(); }
    const Page *pages() const { return m_pages.data(); }

    // Whether U+00A0 to U+00FF are held as the bytes of their own codes, as in Latin-1.
    bool holdsLatin1Upper() const { return m_latin1Upper; }

    // The character for a byte.
    QChar characterFor(char byte) const { return m_toUnicode[uchar(byte)]; }

private:
    void set(char16_t c, quint16 byte)
    {
        quint8 &page = m_pageOf[c >> 8];
        if (page == 0) {
            page = quint8(m_pages.size());
            m_pages.push_back(m_pages.front());
        }
        m_pages[page][c & 0xFF] = byte;
    }

    std::array<quint8, 256> m_pageOf;
    std::vector<Page> m_pages;
    QString m_toUnicode;
    bool m_latin1Upper = false;
};

const CodePageTable &table()
{
    static const CodePageTable instance;
    return instance;
}

// Encodes the 16 units at src into the 16 bytes at dest and returns 16, or stops at the first
// unit that the block cannot take, a unit the code page does not hold or a CR to be replaced,
// and returns how many units came before it. Plain units (ASCII, and Latin-1 letters and signs
// where the code page holds them at their own code) are packed sixteen at a time; only the
// others go through the table, one by one.
template<bool ReplaceCr>
int encodeBlock(const char16_t *src, const quint8 *pageOf, const CodePageTable::Page *pages,
                bool latin1Upper, char *dest)
{
#if defined(__SSE2__) && !defined(TAVRIN_PORTABLE_CODEC)
    const auto plainUnits = [latin1Upper](__m128i units) {
        __m128i plain;
        if (latin1Upper) {
            const __m128i below256 = _mm_cmpeq_epi16(
                _mm_and_si128(units, _mm_set1_epi16(short(0xFF00))), _mm_setzero_si128());
            const __m128i controls = _mm_cmpeq_epi16(
                _mm_and_si128(units, _mm_set1_epi16(short(0xFFE0))), _mm_set1_epi16(0x80));
            plain = _mm_andnot_si128(controls, below256);
        } else {
            plain = _mm_cmpeq_epi16(_mm_and_si128(units, _mm_set1_epi16(short(0xFF80))),
                                    _mm_setzero_si128());
        }
        if (ReplaceCr) {
            plain = _mm_andnot_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('\r')), plain);
        }
        return plain;
    };
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 8));
    // Every unit is stored as its low byte (or 0xFF); the others are put right below.
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dest), _mm_packus_epi16(low, high));
    const __m128i plain = _mm_packs_epi16(plainUnits(low), plainUnits(high));
    unsigned others = ~unsigned(_mm_movemask_epi8(plain)) & 0xFFFF;
#else
    unsigned others = 0;
    for (int k = 0; k < 16; ++k) {
        const char16_t c = src[k];
        const bool plain =
            (c < 0x80 || (latin1Upper && c >= 0xA0 && c < 0x100)) && !(ReplaceCr && c == u'\r');
        dest[k] = char(c);
        others |= unsigned(!plain) << k;
    }
#endif
    while (others != 0) {
        const int k = std::countr_zero(others);
        const char16_t c = src[k];
        const quint16 e = pages[pageOf[c >> 8]][c & 0xFF];
        if (e == CodePageTable::NotHeld || (ReplaceCr && c == u'\r')) {
            return k;
        }
        dest[k] = char(e);
        others &= others - 1;
    }
    return 16;
}

// One encoding pass into out. The bytes go straight into out's buffer, which always has room
// for one byte per unit still to come; only a reference or a replaced CR asks for more.
template<bool ReplaceCr> void encodeInto(QByteArray &out, QStringView text, QByteArrayView crAs)
{
    const CodePageTable &codes = table();
    const bool latin1Upper = codes.holdsLatin1Upper();
    const quint8 *const pageOf = codes.pageOf();
    const CodePageTable::Page *const pages = codes.pages();
    const char16_t *const src = text.utf16();
    const qsizetype n = text.size();
    const qsizetype start = out.size();
    out.resize(start + n);
    char *dest = out.data() + start;
    char *limit = out.data() + out.size();

    // Room for extra bytes beyond one per remaining unit, growing the buffer with some to spare
    // so that a text with many line breaks does not grow it at each.
    const auto makeRoom = [&](qsizetype remaining, qsizetype extra) {
        if (limit - dest >= remaining + extra) {
            return;
        }
        const qsizetype written = dest - out.constData();
        out.resize(written + remaining + extra + 64 + remaining / 16);
        dest = out.data() + written;
        limit = out.data() + out.size();
    };

    qsizetype i = 0;
    while (i < n) {
        if (n - i >= 16) {
            const int k = encodeBlock<ReplaceCr>(src + i, pageOf, pages, latin1Upper, dest);
            dest += k;
            i += k;
            if (k == 16) {
                continue;
            }
        }
        const char16_t c = src[i];
        if (ReplaceCr && c == u'\r') {
            makeRoom(n - i - 1, crAs.size());
            std::memcpy(dest, crAs.data(), crAs.size());
            dest += crAs.size();
            ++i;
            continue;
        }
        const quint16 byte = codes.entry(c);
        if (byte != CodePageTable::NotHeld) {
            *dest++ = char(byte);
            ++i;
            continue;
        }
        // A character outside the code page: the reference for the whole code point (a
        // surrogate pair is one character).
        char32_t codePoint = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(src[i + 1])) {
            codePoint = QChar::surrogateToUcs4(c, src[i + 1]);
            ++i;
        }
        ++i;
        char digits[16];
        char *d = std::end(digits);
        for (quint32 v = codePoint; d == std::end(digits) || v != 0; v /= 10) {
            *--d = char('0' + v % 10);
        }
        const qsizetype digitCount = std::end(digits) - d;
        makeRoom(n - i, digitCount + 3);
        *dest++ = '&';
        *dest++ = '#';
        std::memcpy(dest, d, digitCount);
        dest += digitCount;
        *dest++ = ';';
    }
    out.resize(dest - out.constData());
}

} // namespace

void appendEncoded(QByteArray &out, QStringView text)
{
    encodeInto<false>(out, text, {});
}

void appendEncodedReplacingCr(QByteArray &out, QStringView text, QByteArrayView crAs)
{
    encodeInto<true>(out, text, crAs);
}

QByteArray encode(QStringView text)
{
    QByteArray out;
    appendEncoded(out, text);
    return out;
}

QString decode(QByteArrayView bytes)
{
    // ASCII is the same in the code page. The data files are mostly ASCII, and taking the
    // converter's mapping loads its data, which start-up would otherwise pay for.
    if (std::all_of(bytes.begin(), bytes.end(), [](char byte) { return uchar(byte) < 0x80; })) {
        return QString::fromLatin1(bytes);
    }
    const CodePageTable &codes = table();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *dest = text.data();
    for (const char byte : bytes) {
        *dest++ = codes.characterFor(byte);
    }
    return text;
}

QString decodeText(QByteArrayView bytes)
{
    const QString text = decode(bytes);
    const QStringView view(text);
    qsizetype at = view.indexOf(u"&#");
    if (at < 0) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    for (; at >= 0; at = view.indexOf(u"&#", at + 2)) {
        // encode() writes the code point in decimal without leading zeros, then ";".
        qsizetype end = at + 2;
        char32_t code = 0;
        while (end < view.size() && end - at - 2 < 8 && view[end] >= u'0' && view[end] <= u'9') {
            code = code * 10 + (view[end].unicode() - u'0');
            ++end;
        }
        const bool written =
            end > at + 2 && view[at + 2] != u'0' && end < view.size() && view[end] == u';' &&
            code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
            (code > 0xFFFF || table().entry(char16_t(code)) == CodePageTable::NotHeld);
        if (written) {
            out.append(view.sliced(done, at - done));
            out.append(QString::fromUcs4(&code, 1));
            done = end + 1;
            at = end - 1;
        }
    }
    out.append(view.sliced(done));
    return out;
}

} // namespace AnsiCodec
