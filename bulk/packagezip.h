#pragma once

#include "deflatedpart.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

struct zip;
struct zip_file;

// A part being inflated on a thread of its own: its bytes, sized to the whole part, fill from
// the start while the reader already reads what is there.
class BackgroundRead
{
public:
    ~BackgroundRead();
    BackgroundRead(const BackgroundRead &) = delete;
    BackgroundRead &operator=(const BackgroundRead &) = delete;

    const QByteArray &bytes() const { return m_bytes; }
    // Waits until the first count bytes (at most the whole part) are there; fewer only when
    // the part is damaged.
    qsizetype waitFor(qsizetype count);

private:
    friend class PackageZip;
    BackgroundRead(zip_file *file, qint64 size);
    void run();

    QByteArray m_bytes;
    zip_file *m_file;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qsizetype m_ready = 0;
    bool m_ended = false;
    std::thread m_thread;
};

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
    // The same on a thread of its own; nothing when the part cannot be opened. The package
    // must not be read otherwise until the part is read through.
    std::unique_ptr<BackgroundRead> readInBackground(const QString &name, qint64 maxBytes) const;

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
