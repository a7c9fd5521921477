#pragma once

#include <QString>
#include <QStringView>

// The page is written in print steps: each writes a string and either ends the line with
// CR LF or leaves it open for the next step.
class PageText
{
public:
    static constexpr QStringView LineEnd = u"\r\n";
    // The comment that marks pages made by this program, with its single dashes.
    static constexpr QStringView GeneratorComment = u"<!-Created with Tavrin v2.0.1 ->";

    void reserve(qsizetype size) { m_text.reserve(size); }
    void line(QStringView step)
    {
        m_text += step;
        m_text += LineEnd;
    }
    void open(QStringView step) { m_text += step; }
    void generatorComment() { line(GeneratorComment); }

    const QString &text() const { return m_text; }
    QString take() { return std::move(m_text); }

private:
    QString m_text;
};

// A colour attribute value: "#" followed by the slot's six characters, unchanged.
inline QString colourValue(QStringView slotText)
{
    return u'#' + slotText.toString();
}
