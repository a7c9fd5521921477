#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// A temporary program folder for the tests that go through real files.
class DataFolder
{
public:
    bool isValid() const { return m_dir.isValid(); }
    // With the trailing "/", as the program folder always is.
    QString path() const { return m_dir.path() + u'/'; }
    QString file(const QString &name) const { return path() + name; }

    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(file(name));
        QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(f.errorString()));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    QByteArray read(const QString &name) const
    {
        QFile f(file(name));
        if (!f.open(QIODevice::ReadOnly)) {
            return QByteArray("<cannot read>");
        }
        return f.readAll();
    }

    bool exists(const QString &name) const { return QFileInfo::exists(file(name)); }

    void makeDirectory(const QString &name) const { QVERIFY(QDir(path()).mkpath(name)); }

    // The five text files of a working folder, each one line.
    void writeTexts() const
    {
        write(QStringLiteral("NoReserve.dat"), "No reserve!\r\n");
        write(QStringLiteral("ebayid.dat"), "seller42\r\n");
        write(QStringLiteral("thankyou.dat"), "Thanks\r\n");
        write(QStringLiteral("shipping.dat"), "Ships fast\r\n");
        write(QStringLiteral("payment.dat"), "Pay soon\r\n");
    }

    // Every entry with its bytes ("<dir>" for a folder), to show that nothing changed.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> entries;
        const QFileInfoList infos =
            QDir(path()).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QFileInfo &info : infos) {
            entries.insert(info.fileName(),
                           info.isDir() ? QByteArray("<dir>") : read(info.fileName()));
        }
        return entries;
    }

private:
    QTemporaryDir m_dir;
};
