#pragma once

#include "recordio.h"
#include "textfile.h"

#include <QBuffer>

#include <algorithm>

// The targets state what the file rules promise for every input, each as a Q_ASSERT that the
// fuzzers and the replay test force on: a broken promise aborts like a crash, so libFuzzer keeps
// the input and the replay test names it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

inline QByteArray fuzzInput(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline bool operator==(const TextRead &a, const TextRead &b)
{
    return a.status == b.status && a.text == b.text;
}

// Reads the bytes whole and again a few at a time, as a disk or a pipe may hand them out: a
// reader must not depend on how its file arrives.
template<class Reader> auto readBothWays(QByteArray bytes, Reader read)
{
    struct Trickle : QBuffer
    {
        qint64 readData(char *data, qint64 maxSize) override
        {
            return QBuffer::readData(data, std::min(maxSize, 1 + size() % 7));
        }
    } trickle;
    trickle.setData(bytes);
    trickle.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    QBuffer whole(&bytes);
    whole.open(QIODevice::ReadOnly);
    const auto result = read(whole);
    Q_ASSERT(read(trickle) == result);
    return result;
}

// A record file as saving leaves it: the record, then whatever the old file held beyond it.
inline void checkWrittenOver(QByteArray record, QByteArray old, qsizetype recordSize)
{
    QBuffer oldDevice(&old);
    oldDevice.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    Q_ASSERT(writeRecordOver(out, record, &oldDevice));
    Q_ASSERT(record.size() == recordSize && out.data() == record + old.mid(recordSize));
}
