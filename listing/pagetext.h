#pragma once

#include "ansicodec.h"

#include <QByteArray>
#include <QStringView>

// The page is written in print steps: each writes a string and either ends the line with
// CR LF or leaves it open for the next step. Steps are encoded for the file as they come.
class PageText
{
public:
    // The comment that marks pages made by this program, with its single dashes.
    static constexpr QStringView GeneratorComment = u"<!-Created with Tavrin v2.0.1 ->";

    void reserve(qsizetype size) { m_bytes.reserve(size); }
    void line(QStringView step)
    {
        AnsiCodec::appendEncoded(m_bytes, step);
        m_bytes += "\r\n";
    }
    void open(QStringView step) { AnsiCodec::appendEncoded(m_bytes, step); }
    void generatorComment() { line(GeneratorComment); }

    // A multi-line text on the open line: each CR becomes "<br>" and the CR itself and ends
    // the line; every other character, the LF after a CR included, is written as it is.
    void openWithBreaks(QStringView text);

    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

// A colour attribute value: "#" followed by the slot's six characters, unchanged.
inline QString colourValue(QStringView slotText)
{
    return u'#' + slotText.toString();
}
