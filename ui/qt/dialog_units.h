#pragma once
// Dialog units to pixels, the way Windows lays out a dialog template: the horizontal base unit is the
// average advance of the 52 Latin letters in the dialog font, the vertical one the font's height; a
// template's x and width are in quarters of the first, y and height in eighths of the second.

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include "ui/layout.h"

namespace kestrin::qt {

struct BaseUnits {
  int x = 0;  // pixels per 4 horizontal dialog units
  int y = 0;  // pixels per 8 vertical dialog units
};

// a * b / c rounded half away from zero, as the Win32 MulDiv; c == 0 gives -1, as there.
int MulDiv(int a, int b, int c);

// The base units of a font: x = (advance of "A..Za..z" / 26 + 1) / 2, the rounded average letter
// advance (not QFontMetrics::averageCharWidth, which reads the font's own table and is far too wide
// for CJK fonts); y = the font's height.
BaseUnits BaseUnitsOf(const QFont& font);

// A control's rectangle in pixels; each of x, y, width and height is converted on its own, as Windows
// does when it creates the controls of a template.
QRect ToPixels(const ControlDef& control, BaseUnits units);
QSize ToPixels(const DialogDef& dialog, BaseUnits units);

// The family the dialog font uses: the template's face when installed, else the first installed family
// of `preferred` that is also in `chineseFamilies`, else the first of `chineseFamilies`, else empty.
// Kept apart from the font database so the choice can be tested with any list.
QString ChooseDialogFamily(const QString& templateFace, const QStringList& installed,
                           const QStringList& chineseFamilies);

// The template's font ("宋体" 9 pt) when the font database has it, else an installed family that covers
// Simplified Chinese at the same size, so that the captions never show as boxes.
QFont DialogFont(const DialogDef& dialog);

}  // namespace kestrin::qt
