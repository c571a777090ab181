// The window's font: "MS Sans Serif", the dialog font the form was laid out for, where the system
// has it (Windows; Wine with its own fonts), else the stand-in shipped with Wine's fonts when
// present (Linux), else the first of Windows' later dialog fonts or a common sans-serif face the
// system has; never larger than the form's font, so that no text is cut off.
#pragma once

#include <QFont>

QFont WindowFont(int pixelSize);
