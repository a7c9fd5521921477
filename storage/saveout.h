#pragma once

#include "datafiles.h"
#include "session.h"

#include <vector>

// Writes the seven data files from the session: each text file whose text differs from its
// loaded text, then "colorset.dat" and "prefs.dat" (always), each replaced atomically and
// keeping any bytes beyond its record. Every file is attempted; the result lists every
// failure (empty on success). Each data file ends up either old or new, never torn.
std::vector<FileError> saveout(Session &session);
