#pragma once
// The enhanced-metafile record layout that the page recorder writes and the
// player reads: record types, the GDI constants they carry and the fixed
// sizes of their parts. Every value is little-endian; every record starts
// with its type and its size in bytes, a multiple of 4.

#include <QByteArray>
#include <QtEndian>
#include <QtGlobal>
#include <cstdint>
#include <cstring>

namespace tandex::print::emf {

enum RecordType : quint32 {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETTEXTALIGN = 22,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_OFFSETCLIPRGN = 26,
    EMR_MOVETOEX = 27,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_LINETO = 54,
    EMR_GDICOMMENT = 70,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_EXTCREATEPEN = 95,
};

inline constexpr quint32 kSignature = 0x464D4520;  // " EMF"
inline constexpr quint32 kVersion = 0x00010000;
// The header with both extensions (pixel format, micrometres).
inline constexpr int kHeaderSize = 108;
// The smallest header a reader accepts: without the extensions.
inline constexpr int kMinHeaderSize = 88;
inline constexpr int kEofSize = 20;

// Header field offsets.
inline constexpr int kHdrBounds = 8;
inline constexpr int kHdrFrame = 24;
inline constexpr int kHdrSignature = 40;
inline constexpr int kHdrVersion = 44;
inline constexpr int kHdrBytes = 48;
inline constexpr int kHdrRecords = 52;
inline constexpr int kHdrHandles = 56;
inline constexpr int kHdrDescriptionCount = 60;
inline constexpr int kHdrDescriptionOffset = 64;
inline constexpr int kHdrPalEntries = 68;
inline constexpr int kHdrDevice = 72;
inline constexpr int kHdrMillimeters = 80;
inline constexpr int kHdrMicrometers = 100;

// Mapping modes.
inline constexpr quint32 MM_TEXT = 1;
inline constexpr quint32 MM_LOMETRIC = 2;
inline constexpr quint32 MM_HIMETRIC = 3;
inline constexpr quint32 MM_LOENGLISH = 4;
inline constexpr quint32 MM_HIENGLISH = 5;
inline constexpr quint32 MM_TWIPS = 6;
inline constexpr quint32 MM_ISOTROPIC = 7;
inline constexpr quint32 MM_ANISOTROPIC = 8;

// Background modes and polygon fill modes.
inline constexpr quint32 BK_TRANSPARENT = 1;
inline constexpr quint32 BK_OPAQUE = 2;
inline constexpr quint32 ALTERNATE = 1;
inline constexpr quint32 WINDING = 2;

// Text alignment bits.
inline constexpr quint32 TA_UPDATECP = 1;
inline constexpr quint32 TA_RIGHT = 2;
inline constexpr quint32 TA_CENTER = 6;
inline constexpr quint32 TA_HORIZONTAL_MASK = 6;
inline constexpr quint32 TA_BOTTOM = 8;
inline constexpr quint32 TA_BASELINE = 24;
inline constexpr quint32 TA_VERTICAL_MASK = 24;

// ExtTextOut options.
inline constexpr quint32 ETO_OPAQUE = 0x2;
inline constexpr quint32 ETO_CLIPPED = 0x4;
inline constexpr quint32 ETO_GLYPH_INDEX = 0x10;
inline constexpr quint32 ETO_NO_RECT = 0x100;
inline constexpr quint32 ETO_PDY = 0x2000;

// Graphics modes.
inline constexpr quint32 GM_COMPATIBLE = 1;

// Region combination modes.
inline constexpr quint32 RGN_AND = 1;
inline constexpr quint32 RGN_OR = 2;
inline constexpr quint32 RGN_XOR = 3;
inline constexpr quint32 RGN_DIFF = 4;
inline constexpr quint32 RGN_COPY = 5;

// World transform modification modes.
inline constexpr quint32 MWT_IDENTITY = 1;
inline constexpr quint32 MWT_LEFTMULTIPLY = 2;
inline constexpr quint32 MWT_RIGHTMULTIPLY = 3;
inline constexpr quint32 MWT_SET = 4;

// Pen styles.
inline constexpr quint32 PS_SOLID = 0;
inline constexpr quint32 PS_DASH = 1;
inline constexpr quint32 PS_DOT = 2;
inline constexpr quint32 PS_DASHDOT = 3;
inline constexpr quint32 PS_DASHDOTDOT = 4;
inline constexpr quint32 PS_NULL = 5;
inline constexpr quint32 PS_INSIDEFRAME = 6;
inline constexpr quint32 PS_STYLE_MASK = 0xF;
inline constexpr quint32 PS_ENDCAP_ROUND = 0x000;
inline constexpr quint32 PS_ENDCAP_SQUARE = 0x100;
inline constexpr quint32 PS_ENDCAP_FLAT = 0x200;
inline constexpr quint32 PS_ENDCAP_MASK = 0xF00;
inline constexpr quint32 PS_JOIN_ROUND = 0x0000;
inline constexpr quint32 PS_JOIN_BEVEL = 0x1000;
inline constexpr quint32 PS_JOIN_MITER = 0x2000;
inline constexpr quint32 PS_JOIN_MASK = 0xF000;
inline constexpr quint32 PS_GEOMETRIC = 0x10000;

// Brush styles and hatches.
inline constexpr quint32 BS_SOLID = 0;
inline constexpr quint32 BS_NULL = 1;
inline constexpr quint32 BS_HATCHED = 2;
inline constexpr quint32 HS_HORIZONTAL = 0;
inline constexpr quint32 HS_VERTICAL = 1;
inline constexpr quint32 HS_FDIAGONAL = 2;
inline constexpr quint32 HS_BDIAGONAL = 3;
inline constexpr quint32 HS_CROSS = 4;
inline constexpr quint32 HS_DIAGCROSS = 5;

// Stock objects are selected by index with the high bit set.
inline constexpr quint32 STOCK_OBJECT = 0x80000000;
inline constexpr quint32 WHITE_BRUSH = 0;
inline constexpr quint32 LTGRAY_BRUSH = 1;
inline constexpr quint32 GRAY_BRUSH = 2;
inline constexpr quint32 DKGRAY_BRUSH = 3;
inline constexpr quint32 BLACK_BRUSH = 4;
inline constexpr quint32 NULL_BRUSH = 5;
inline constexpr quint32 WHITE_PEN = 6;
inline constexpr quint32 BLACK_PEN = 7;
inline constexpr quint32 NULL_PEN = 8;
inline constexpr quint32 DC_BRUSH = 18;
inline constexpr quint32 DC_PEN = 19;

// Raster operations and bitmap colours.
inline constexpr quint32 SRCCOPY = 0x00CC0020;
inline constexpr quint32 PATCOPY = 0x00F00021;
inline constexpr quint32 BLACKNESS = 0x00000042;
inline constexpr quint32 WHITENESS = 0x00FF0062;
inline constexpr quint32 DIB_RGB_COLORS = 0;
inline constexpr quint32 BI_RGB = 0;
inline constexpr quint32 BI_BITFIELDS = 3;

// Sizes of the fixed parts.
inline constexpr int kLogFontSize = 92;      // LOGFONTW
inline constexpr int kLogFontPanoseSize = 320;  // LOGFONTW + names + PANOSE
inline constexpr int kFaceNameChars = 32;
inline constexpr int kBitmapInfoHeaderSize = 40;
inline constexpr int kStretchDIBitsFixed = 80;
inline constexpr int kBitBltFixed = 100;
inline constexpr int kStretchBltFixed = 108;
inline constexpr int kExtTextOutFixed = 76;
inline constexpr int kRgnDataHeaderSize = 32;

// Little-endian reads from a buffer whose bounds the caller checked.
inline quint32 U32At(const char* p) {
    quint32 v;
    std::memcpy(&v, p, 4);
    return qFromLittleEndian(v);
}
inline qint32 I32At(const char* p) {
    return qint32(U32At(p));
}
inline quint16 U16At(const char* p) {
    quint16 v;
    std::memcpy(&v, p, 2);
    return qFromLittleEndian(v);
}
inline qint16 I16At(const char* p) {
    return qint16(U16At(p));
}
inline float F32At(const char* p) {
    const quint32 bits = U32At(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Appends little-endian values to a record being built.
class RecordBuilder {
public:
    explicit RecordBuilder(quint32 type) {
        u32(type);
        u32(0);  // the size, set by finish()
    }
    RecordBuilder& u32(quint32 v) {
        const quint32 le = qToLittleEndian(v);
        bytes_.append(reinterpret_cast<const char*>(&le), 4);
        return *this;
    }
    RecordBuilder& i32(qint32 v) { return u32(quint32(v)); }
    RecordBuilder& u16(quint16 v) {
        const quint16 le = qToLittleEndian(v);
        bytes_.append(reinterpret_cast<const char*>(&le), 2);
        return *this;
    }
    RecordBuilder& u8(quint8 v) {
        bytes_.append(char(v));
        return *this;
    }
    RecordBuilder& f32(float f) {
        quint32 bits;
        std::memcpy(&bits, &f, 4);
        return u32(bits);
    }
    RecordBuilder& raw(const QByteArray& b) {
        bytes_.append(b);
        return *this;
    }
    RecordBuilder& zeros(int n) {
        bytes_.append(n, '\0');
        return *this;
    }
    int size() const { return int(bytes_.size()); }
    // Pads to a multiple of 4 and writes the size field.
    QByteArray finish() {
        while (bytes_.size() % 4) bytes_.append('\0');
        const quint32 le = qToLittleEndian(quint32(bytes_.size()));
        std::memcpy(bytes_.data() + 4, &le, 4);
        return bytes_;
    }

private:
    QByteArray bytes_;
};

}  // namespace tandex::print::emf
