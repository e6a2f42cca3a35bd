#pragma once

// Resources that the program's .rc file puts into the executable and the windows load from it.
// Plain preprocessor definitions: the resource compiler reads this file too.

#define ZV_IDI_PROGRAM 1 // the program icon: 100 x 100, 256 colours
