#pragma once
// Length units, paper sizes and the integer arithmetic of the print
// preview.

#include <QtGlobal>

namespace tandex::print {

enum TUnits : int {
    mmPixel = 0,     // device pixels
    mmLoMetric = 1,  // 0.1 mm
    mmHiMetric = 2,  // 0.01 mm
    mmLoEnglish = 3, // 0.01 in
    mmHiEnglish = 4, // 0.001 in
    mmTWIPS = 5,     // 1/1440 in
    mmPoints = 6,    // 1/72 in
};

enum TPaperType : int {
    pLetter, pLetterSmall, pTabloid, pLedger, pLegal, pStatement, pExecutive, pA3, pA4, pA4Small,
    pA5, pB4, pB5, pFolio, pQuatro, p10x14, p11x17, pNote, pEnv9, pEnv10, pEnv11, pEnv12, pEnv14,
    pCSheet, pDSheet, pESheet, pEnvDL, pEnvC5, pEnvC3, pEnvC4, pEnvC6, pEnvC65, pEnvB4, pEnvB5,
    pEnvB6, pEnvItaly, pEnvMonarch, pEnvPersonal, pFanfoldUSStd, pFanfoldGermanStd,
    pFanfoldGermanLegal, pB4ISO, pJapanesePostcard, p9x11, p10x11, p15x11, pEnvInvite, pLetterExtra,
    pLegalExtra, pTabloidExtra, pA4Extra, pLetterTransverse, pA4Transverse, pLetterExtraTransverse,
    pAPlus, pBPlus, pLetterPlus, pA4Plus, pA5Transverse, pB5Transverse, pA3Extra, pA5Extra, pB5Extra,
    pA2, pA3Transverse, pA3ExtraTransverse, pCustom,
};
inline constexpr int kPaperTypeCount = pCustom + 1;

// One row of the paper table: the printer's paper-size code and the size
// in portrait order, in the row's unit.
struct TPaperSizeInfo {
    quint16 ID;
    qint32 Width;
    qint32 Height;
    TUnits Units;
};
const TPaperSizeInfo& PaperSizes(TPaperType type);

// The first row with that code; pCustom when none.
TPaperType FindPaperTypeById(int code);

// a × b ÷ c with a 64-bit product, rounded half away from zero; -1 when c
// is 0 or the result does not fit 32 bits, as callers written against the
// platform's routine expect.
int MulDiv(int a, int b, int c);

// Value from one unit into another; dpi counts the pixels per inch of
// mmPixel. The product is 64-bit and the quotient rounds halves to even;
// the decimal and twip steps are exact. Results beyond 32 bits saturate.
int ConvertUnits(int value, int dpi, TUnits inUnits, TUnits outUnits);

// The screen's logical pixels per inch (96 with Qt's scaling, and without
// a screen).
int ScreenPixelsPerInch();

}  // namespace tandex::print
