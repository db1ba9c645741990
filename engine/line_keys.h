#pragma once
// Line keys: every text line that takes part in a comparison is reduced to a
// 32-bit key after the ignore options have shaped it (comment cut, blanks,
// ignored columns, case). The difference engine compares keys, never texts.
// The same routine keys the words of the in-line comparison and the lines of
// text files in a folder comparison, which set the switches directly.

#include <QString>
#include <QtGlobal>

#include <array>
#include <string>
#include <vector>

namespace tandex::engine {

// Blank for every rule of the keys: the space and the tab fill character.
inline bool IsBlankChar(char16_t c) { return c == 32 || c == 127; }

// CRC-32C (Castagnoli) over the UTF-16 text's bytes, low byte first, from 0
// and inverted at the end: the empty text gives 0xFFFFFFFF. Uses the
// processor's CRC32 instruction where it has one.
quint32 LineKeyCrc32c(const char16_t* text, qsizetype length);
// The same CRC-32C without the instruction (a table), for processors
// without SSE4.2; gives the same values.
quint32 LineKeyCrc32cTable(const char16_t* text, qsizetype length);
// The standard reflected CRC-32 (zlib's) over the same bytes: the empty text
// gives 0.
quint32 LineKeyCrc32(const char16_t* text, qsizetype length);
// Whether this processor has the CRC32 instruction.
bool CpuHasSse42();

struct LineKeyOptions {
    quint8 IgnoreTrailingBlanks = 0;
    quint8 IgnoreLeadingBlanks = 0;
    quint8 IgnoreAllBlanks = 0;
    quint8 IgnoreCase = 0;
    // The all-blanks, column and comment rules apply only while set.
    quint8 OptionsActive = 0;
    quint8 IgnoreColumnsActive = 0;
    quint8 CutAtComments = 0;
    std::array<QString, 8> CommentMarkers;
};

class LineKeys {
public:
    static constexpr int MaxMarkers = 8;

    LineKeyOptions Options;

    // Switches from the settings; the comment markers from their pattern.
    void LoadLineKeyOptions();
    // Splits a pattern into up to 8 blank-separated markers; false when more
    // were given (the first 8 are kept).
    bool SplitCommentMarkers(const QString& pattern);
    // The ignored-column mask from the settings; switches the options on.
    void BuildColumnMask();
    // Fills the ignored-column mask from a list such as "5;10;15-24"; false
    // at the first item that is not a number (the marks before it stay).
    bool ParseIgnoredColumns(const QString& list);
    static bool IsValidColumnList(const QString& list);

    // Characters before the first comment marker that occurs (markers tried
    // in their order), or the whole length; only while cutting at comments.
    int EffectiveLineLength(const char16_t* text, int length) const;
    int EffectiveLineLength(const QString& text) const {
        return EffectiveLineLength(reinterpret_cast<const char16_t*>(text.utf16()), int(text.size()));
    }
    // The key of one line under the current switches. A line of any length
    // is keyed whole; only columns 1..8,192 can be marked as ignored.
    quint32 MakeLineKey(const char16_t* text, int length);
    quint32 MakeLineKey(const QString& text) {
        return MakeLineKey(reinterpret_cast<const char16_t*>(text.utf16()), int(text.size()));
    }
    // The hash a key is made with: CRC-32C while UseSSE42 is set, else CRC-32.
    // Should the switch be forced on without the instruction, CRC-32C comes
    // from a table, with the same values.
    static quint32 HashText(const char16_t* text, qsizetype length);

    // The key arrays of both panes for a text comparison (sized by the
    // caller: the panes' line counts, the second one entry longer). Keys are
    // cached in the line records; the first and last lines that the settings
    // force equal take the other pane's keys.
    void HashAllLines(std::vector<qint32>& keys1, std::vector<qint32>& keys2);
    // Forgets the cached keys of both panes.
    void ClearLineKeys();
    // An empty line, or one of blanks up to its effective length.
    bool IsBlankLine(int pane, int index) const;
    bool IsBlankText(const QString& text) const;

private:
    std::u16string copy_;  // scratch for the normalised line, grown on demand
};

// The program-wide line-key switches.
LineKeys& lineKeys();

}  // namespace tandex::engine
