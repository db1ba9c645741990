#pragma once
// Stored item names and the character sets they come in.
//
// Archives written on other machines store names as plain ASCII, in an
// ANSI or an OEM code page, or as UTF-8, mostly without saying which. The
// routines here guess the set and decode accordingly. Code pages are
// single-byte tables built into the program, so decoding never depends on
// the locale or on installed converters. This machine's pair is fixed:
// OEM 437, ANSI 1252; every routine takes the pair as a parameter so the
// other pages work the same way.
//
// A byte that a page leaves undefined decodes to the code point of the same
// value when it lies in 0x80-0x9F (as the platform that wrote such names
// does) and to U+FFFD above; encoding maps only the former back.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace tandex::archive {

enum class TNameCharset : uint8_t { Ascii = 0, Ansi = 1, Utf8 = 2 };

struct TCodePages {
    int Oem = 437;
    int Ansi = 1252;
};

// The machine's pair: OEM 437, ANSI 1252.
constexpr TCodePages MachineCodePages() {
    return {};
}

// The ANSI page that goes with an OEM page (437 and 850: 1252, 866: 1251,
// ...); 0 for a page without one.
int AnsiCodePageOfOem(int oemCodePage);
// Whether the page is one of the built-in tables.
bool HasCodePage(int codePage);

// Bytes of a built-in single-byte page to a string; an unknown page is
// read as ISO 8859-1 so no byte is ever lost.
QString DecodeCodePage(QByteArrayView bytes, int codePage);

TNameCharset DetectNameCharset(QByteArrayView bytes);
// True when the name reads as letters of the OEM page while some high byte
// is no letter of the matching ANSI page. Pages without letter sets: false.
bool LooksLikeOemName(QByteArrayView bytes, int oemCodePage = MachineCodePages().Oem);
QString DecodeStoredName(QByteArrayView bytes, const TCodePages& pages = MachineCodePages());
QByteArray EncodeUtf8Name(const QString& name);
// The name in a page; true when every character converted exactly or, with
// allowBestFit, to a close substitute (its base letter without accents).
bool TryEncodeName(const QString& name, int codePage, bool allowBestFit, QByteArray& out);

}  // namespace tandex::archive
