#pragma once

#include <QString>

// The caption of the program's windows: the main window carries it, the colour selector adds
// its own name to it, and a failed start reports under it.
inline QString tavrinWindowTitle()
{
    return QStringLiteral("Tavrin - Brisken");
}
