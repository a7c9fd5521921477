#pragma once

// Small helpers shared by the test suites.
#include "styleitems.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTest>

// "a|b|c" as a list, to keep tables of names readable.
inline QStringList names(const char *list)
{
    return list[0] ? QString::fromUtf8(list).split(u'|') : QStringList();
}

// A file's bytes, or nothing when it cannot be read.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A hand-written expectation kept under tests/data.
inline QByteArray golden(const QString &name)
{
    return fileBytes(QStringLiteral(TAVRIN_TEST_DATA_DIR "/") + name);
}

// A name slot of "prefs.dat": the name, then blanks up to 12 bytes.
inline QByteArray nameSlot(const char *name)
{
    const QByteArray field(name);
    return field + QByteArray(12 - field.size(), ' ');
}

// Chooses style menu items by their control names, as the seller would.
inline void choose(ListingSettings &settings, const QStringList &items)
{
    for (const QString &name : items) {
        const StyleItem *item = findStyleItem(name);
        QVERIFY2(item, qPrintable(name));
        selectStyleItem(settings, *item);
    }
}

// The control names of the marked style items, in menu order.
inline QStringList markedItems(const ListingSettings &settings)
{
    QStringList marked;
    for (const StyleItem &item : styleItems()) {
        if (isMarked(settings, item)) {
            marked.append(item.name);
        }
    }
    return marked;
}
