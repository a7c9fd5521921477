#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>

#include <optional>

// The two record files are random-access files holding record 1 only: a read takes the first
// bytes of the file, a write replaces them and leaves any later bytes as they were.

// Up to size bytes from the start of the device; fewer when the file is shorter. Empty when
// the device fails.
std::optional<QByteArray> readRecord(QIODevice &in, qsizetype size);

// Writes the record to out, then copies whatever old holds beyond the record's length (old may
// be null: no earlier file). False as soon as either device fails.
bool writeRecordOver(QIODevice &out, QByteArrayView record, QIODevice *old);
