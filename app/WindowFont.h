// The window's font: "MS Sans Serif" where the system has it, else the stand-in shipped with
// Wine's fonts when present, else the system's sans-serif.
#pragma once

#include <QFont>

QFont WindowFont(int pixelSize);
