#include "windowicon.h"

using namespace Qt::StringLiterals;

QIcon tavrinWindowIcon()
{
    return QIcon(u":/tavrin/tavrin-icon.png"_s);
}
