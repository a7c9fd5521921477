#include "filenamefilter.h"

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
