#include "filenamefilter.h"

#include "listingsettings.h"
#include "textrules.h"

#include <QSet>

using namespace Qt::StringLiterals;

namespace {

bool allowedInFileName(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') ||
           (u >= u'0' && u <= u'9') || u == u'-' || u == u'_' || u == u'(' || u == u')';
}

} // namespace

QString fileNameFilter(QStringView source)
{
    QString result;
    result.reserve(source.size());
    for (QChar c : source) {
        if (allowedInFileName(c)) {
            result.append(c);
        }
    }
    return result;
}

QString proposedFileName(const QString &mainTitle)
{
    return fileNameFilter(
        blankTrimmed(leftCodePoints(mainTitle, ListingSettings::MainTitleMaxLength)));
}

bool isWindowsDeviceName(QStringView name)
{
    static const QSet<QString> reserved = [] {
        QSet<QString> set{u"con"_s, u"prn"_s, u"aux"_s, u"nul"_s};
        for (int n = 1; n <= 9; ++n) {
            set.insert(u"com"_s + QString::number(n));
            set.insert(u"lpt"_s + QString::number(n));
        }
        return set;
    }();
    QStringView stem = name.left(name.indexOf(u'.'));
    while (stem.endsWith(u' ')) {
        stem.chop(1);
    }
    return reserved.contains(stem.toString().toLower());
}

QString proposedSaveName(const QString &mainTitle)
{
    const QString name = proposedFileName(mainTitle);
    return isWindowsDeviceName(name) ? name + u" (2)"_s : name;
}
