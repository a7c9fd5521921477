#pragma once

#include "ansicodec.h"
#include "version.h"

#include <QByteArray>
#include <QFileDevice>
#include <QStringView>

#include <optional>

// The page is written in print steps: each writes a string and either ends the line with
// CR LF or leaves it open for the next step. Steps are encoded for the file as they come.
class PageText
{
public:
    // The comment that marks pages made by this program, with its single dashes.
    static constexpr QStringView GeneratorComment = u"<!-Created with Tavrin v" TAVRIN_VERSION_TEXT " ->";

    void reserve(qsizetype size) { m_bytes.reserve(size); }
    void line(QStringView step)
    {
        AnsiCodec::appendEncoded(m_bytes, step);
        m_bytes += "\r\n";
        spill();
    }
    void open(QStringView step)
    {
        AnsiCodec::appendEncoded(m_bytes, step);
        spill();
    }
    void generatorComment() { line(GeneratorComment); }

    // A multi-line text on the open line: each CR becomes "<br>" and the CR itself and ends
    // the line; every other character, the LF after a CR included, is written as it is.
    void openWithBreaks(QStringView text);

    QByteArray take() { return std::move(m_bytes); }

    // From now on the bytes go to the file a chunk at a time as they are made, and the disk
    // starts on each chunk while the next one is made; a large page is then on the disk about
    // when it is finished. finish() writes the rest and returns the file's reason for any
    // failure, after which nothing more was written.
    void streamTo(QFileDevice &file) { m_file = &file; }
    std::optional<QString> finish();

    static constexpr qsizetype ChunkBytes = 1024 * 1024;

private:
    void spill()
    {
        if (m_file && m_bytes.size() >= ChunkBytes) {
            writeChunk();
        }
    }
    void writeChunk();

    QByteArray m_bytes;
    QFileDevice *m_file = nullptr;
    std::optional<QString> m_error;
};

// A colour attribute value: "#" followed by the slot's six characters, unchanged.
inline QString colourValue(QStringView slotText)
{
    return u'#' + slotText.toString();
}
