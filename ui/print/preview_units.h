#pragma once
// Length units and integer arithmetic of the print preview.

#include <QtGlobal>

namespace tandex::print {

// a × b ÷ c with a 64-bit product, rounded half away from zero; -1 when c
// is 0 or the result does not fit 32 bits, as callers written against the
// platform's routine expect.
int MulDiv(int a, int b, int c);

// The screen's logical pixels per inch (96 with Qt's scaling, and without
// a screen).
int ScreenPixelsPerInch();

}  // namespace tandex::print
