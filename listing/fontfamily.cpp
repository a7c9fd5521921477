#include "fontfamily.h"

using namespace Qt::StringLiterals;

QString fontList(FontFamily family)
{
    switch (family) {
    case FontFamily::Arial:
        return u"Arial, Helvetica,sans-serif"_s;
    case FontFamily::ArialBlack:
        return u"Arial Black, Gadget,sans-serif"_s;
    case FontFamily::ComicSans:
        return u"Comic Sans MS, cursive"_s;
    case FontFamily::CourierNew:
        return u"Courier New, monospace"_s;
    case FontFamily::Impact:
        return u"Impact, charcoal,sans-serif"_s;
    case FontFamily::LucidaConsole:
        return u"Lucida Console, Monaco, sans-serif"_s;
    case FontFamily::LucidaSans:
        return u"Lucida Sans Unicode, Lucida Grande, sans-serif"_s;
    case FontFamily::TimesNewRoman:
        return u"Times New Roman, Times, serif"_s;
    }
    Q_UNREACHABLE();
}
