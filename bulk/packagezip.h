#pragma once

#include "deflatedpart.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <utility>
#include <vector>

struct zip;

// A zip package held in memory, read through libzip: its parts by name, and a copy with some
// parts replaced in which every other part keeps its stored (compressed) bytes.
class PackageZip
{
public:
    explicit PackageZip(const QByteArray &bytes);
    ~PackageZip();
    PackageZip(const PackageZip &) = delete;
    PackageZip &operator=(const PackageZip &) = delete;

    bool ok() const { return m_archive != nullptr; }
    // Why the archive, or the last part asked for, could not be had.
    QString error() const { return m_error; }

    // A part's bytes, uncompressed; nothing when it is absent, damaged, encrypted or larger
    // than maxBytes.
    std::optional<QByteArray> read(const QString &name, qint64 maxBytes) const;

    // The whole package with these parts' bytes replaced (compressed anew, keeping their
    // times); nothing, with the reason in error(), when it cannot be written.
    std::optional<QByteArray>
    withParts(const std::vector<std::pair<QString, QByteArray>> &parts) const;
    // The same with parts compressed already, which are stored as they are.
    std::optional<QByteArray>
    withParts(const std::vector<std::pair<QString, DeflatedPart::Stored>> &parts) const;

    // Each part as stored: its compression method, checksum and compressed bytes.
    std::map<QString, QByteArray> storedParts() const;

    // A new package of these parts, in this order, each compressed; what a spreadsheet writes
    // when it saves a workbook whole.
    static QByteArray build(const std::vector<std::pair<QString, QByteArray>> &parts);

private:
    QByteArray m_bytes;
    struct zip *m_archive = nullptr;
    mutable QString m_error;
};
