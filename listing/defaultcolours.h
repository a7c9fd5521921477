#pragma once

#include "colorset.h"

// The colour scheme shipped as "colorset.dat": readable, all from the web-safe palette, with
// a different background for every block so that the sections stand apart. It also fills any
// slot that a short or missing colour file leaves without a colour.
ColorSet defaultColorSet();
