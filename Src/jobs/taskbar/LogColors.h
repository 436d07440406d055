// Colours of the coloured logs of the job and burn windows, in the light look and, when the
// dark look supplies its plain text colour, in the dark look.
#pragma once

#include <QColor>
#include <optional>

enum TLogColor { clBlack, clBlue, clGreen, clRed, clGrey, clMaroon };

// Black takes DarkText in the dark look; grey and maroon are the same in both looks.
QColor LogColor(TLogColor Color, const std::optional<QColor> &DarkText);
