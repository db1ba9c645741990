#pragma once
// In-line differences: which words, or which characters, of a row's two
// lines changed. The lines are split into words, the difference engine runs
// on word keys, the words are aligned slot by slot, changed word pairs are
// optionally aligned character by character, and one flag byte per character
// goes into each line's CharFlags: 0 differs, 1 equal, 16 ignored.

#include <QString>
#include <QtGlobal>

#include <string>
#include <vector>

namespace tandex::engine {

class InlineDiff {
public:
    // Words a line may have (one less, in fact) and characters a word may have.
    static constexpr int MaxWords = 1599;
    static constexpr int MaxWordChars = 148;
    static constexpr char16_t PadChar = 160;

    // Compares the two lines shown at a visible text row and fills both
    // lines' flags.
    void CompareLinePair(QString line1, QString line2, int row);
    bool SplitLineWords(const QString& line1, int eff1, const QString& line2, int eff2);
    bool AddLeftWord(const QString& line, int start, int end);
    bool AddRightWord(const QString& line, int start, int end);
    static void InsertEmptyWordSlots(std::vector<std::u16string>& buffer, int start, int end);
    void AlignWordChars(std::u16string& word1, std::u16string& word2);
    static void InsertPadChar(char16_t character, std::u16string& word, int position);

    // Class of a character: its place among the word delimiters, else 0.
    static int CharClass(char16_t c);

    std::vector<std::u16string> Words1, Words2;
    std::vector<qint32> Keys1, Keys2;

private:
    bool addWord(const QString& line, int start, int end, bool left);
};

InlineDiff& inlineDiff();

}  // namespace tandex::engine
