#pragma once

#include <QIcon>

// The program's 32 x 32 window icon, a price tag in a few colours; the main window wears it.
QIcon tavrinWindowIcon();
