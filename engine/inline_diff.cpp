// In-line differences.
//
// Word slots grow with the line: a slot opened opposite a word of the other
// line, or a padding character put into a word, never pushes anything out.
// The word and character runs reuse the program's one difference engine, so
// they must leave a busy run of someone else alone.

#include "engine/inline_diff.h"

#include "access/program_log.h"
#include "config/app_settings.h"
#include "engine/diff_engine.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/text_compare.h"

#include <QChar>

#include <algorithm>

namespace tandex::engine {

namespace {

constexpr char16_t kDelimiters[] = u" :=,.()[]<>*/\\+-;'@\"!";
constexpr char16_t kApostrophe = u'\'';
constexpr quint8 kFlagEqual = 1;
constexpr quint8 kFlagIgnored = 16;

void setFlag(TTextLine* line, int at, quint8 value) {
    if (!line->Gap && at >= 0 && at < int(line->CharFlags.size())) line->CharFlags[size_t(at)] = value;
}

}  // namespace

int InlineDiff::CharClass(char16_t c) {
    for (int i = 0; kDelimiters[i]; ++i)
        if (kDelimiters[i] == c) return i + 1;
    return 0;
}

void InlineDiff::InsertEmptyWordSlots(std::vector<std::u16string>& buffer, int start, int end) {
    if (end <= start || start < 0) return;
    start = std::min(start, int(buffer.size()));
    buffer.insert(buffer.begin() + start, size_t(end - start), std::u16string());
}

void InlineDiff::InsertPadChar(char16_t character, std::u16string& word, int position) {
    position = std::clamp(position, 0, int(word.size()));
    word.insert(word.begin() + position, character);
}

void InlineDiff::AlignWordChars(std::u16string& word1, std::u16string& word2) {
    auto& e = diffEngine();
    if (!e.DiffChars(word1.data(), word2.data(), qint32(word1.size()), qint32(word2.size()))) return;
    const auto recs = e.records();
    for (size_t i = 0; i < recs.size(); ++i) {
        if (recs[i].Kind == dkAdd) InsertPadChar(PadChar, word1, int(i));
        else if (recs[i].Kind == dkDelete) InsertPadChar(PadChar, word2, int(i));
    }
}

bool InlineDiff::addWord(const QString& line, int start, int end, bool left) {
    const int w = end - start;
    auto& words = left ? Words1 : Words2;
    auto& keys = left ? Keys1 : Keys2;
    if (w > MaxWordChars) {
        access::FZLog(QStringLiteral("%1 MAX_CHARS limit:%2 %3")
                          .arg(left ? QStringLiteral("CT2 addWord1:") : QStringLiteral("CT4 addWord2:"))
                          .arg(w)
                          .arg(line));
        return false;
    }
    words.emplace_back(reinterpret_cast<const char16_t*>(line.utf16()) + start, size_t(w));
    keys.push_back(qint32(lineKeys().MakeLineKey(words.back().data(), w)));
    if (int(words.size()) >= MaxWords) {
        access::FZLog(QStringLiteral("%1 MAX_WORDS limit:%2")
                          .arg(left ? QStringLiteral("CT1 addWord1:") : QStringLiteral("CT3 addWord2:"))
                          .arg(words.size()));
        return false;
    }
    return true;
}

bool InlineDiff::AddLeftWord(const QString& line, int start, int end) { return addWord(line, start, end, true); }
bool InlineDiff::AddRightWord(const QString& line, int start, int end) { return addWord(line, start, end, false); }

bool InlineDiff::SplitLineWords(const QString& line1, int eff1, const QString& line2, int eff2) {
    auto& o = lineKeys().Options;
    o.IgnoreTrailingBlanks = o.IgnoreLeadingBlanks = o.IgnoreAllBlanks = o.IgnoreCase = 0;
    o.CutAtComments = 0;
    Words1.clear();
    Words2.clear();
    Keys1.clear();
    Keys2.clear();
    // A word is a run of non-delimiters or a run of one repeated delimiter;
    // an apostrophe is always a word by itself.
    auto split = [this](const QString& line, int eff, bool left) {
        if (eff <= 0) return true;
        const QChar* p = line.constData();
        int start = 0;
        int prev = p[0] == kApostrophe ? -1 : CharClass(p[0].unicode());
        for (int i = 1; i < eff; ++i) {
            const int cls = CharClass(p[i].unicode());
            if (cls != prev) {
                if (!addWord(line, start, i, left)) return false;
                start = i;
                prev = p[i] == kApostrophe ? -1 : cls;
            }
        }
        return addWord(line, start, eff, left);
    };
    return split(line1, eff1, true) && split(line2, eff2, false);
}

void InlineDiff::CompareLinePair(QString line1, QString line2, int row) {
    auto& e = diffEngine();
    auto& keys = lineKeys();
    auto& st = paneStores();
    const auto& settings = config::AppSettings();
    e.DiffTrimTail = false;
    line2 += QLatin1Char(' ');
    rows().NewRowCharFlags(row);
    const int index = rows().TextRowIndex(row);
    TTextLine* real1 = st.TextLines[1][index];
    TTextLine* real2 = st.TextLines[2][index];

    const int len1 = int(line1.size());
    const int eff1 = std::min(keys.EffectiveLineLength(line1), len1);
    const int eff2 = std::min(keys.EffectiveLineLength(line2), int(line2.size()));
    const bool columns = st.IgnoredColumnsActive != 0;
    auto columnMarked = [&st](int column) {
        return column >= 1 && column <= kMaskColumns && st.IgnoredColumns[size_t(column)] != 0;
    };

    if (len1 > 0) {
        if (columns)
            for (int c = 1; c <= std::min(eff1, eff2); ++c)
                if (columnMarked(c)) line1[c - 1] = line2[c - 1] = QLatin1Char(' ');
        if (settings.TCIgnCase) {
            for (int i = 0; i < eff1; ++i) line1[i] = line1[i].toLower();
            for (int i = 0; i < eff2; ++i) line2[i] = line2[i].toLower();
        }
        // The word keys compare the words as they are; the line's own
        // switches come back afterwards.
        const quint8 savedColumns = keys.Options.IgnoreColumnsActive;
        const quint8 savedCut = keys.Options.CutAtComments;
        keys.Options.IgnoreColumnsActive = 0;
        const bool split = SplitLineWords(line1, eff1, line2, eff2);
        keys.Options.CutAtComments = savedCut;
        if (!split) {
            keys.Options.IgnoreColumnsActive = savedColumns;
            return;
        }
        // A run that is busy keeps its call-backs: they are what lets its
        // Cancel button be served.
        if (!e.busy()) {
            e.DiffProgressProc = nullptr;
            e.DiffMaxProc = nullptr;
        }
        const bool ran = e.DiffInts(Keys1.data(), Keys2.data(), qint32(Keys1.size()), qint32(Keys2.size()));
        keys.Options.IgnoreColumnsActive = savedColumns;
        if (!ran) return;  // another run is busy (or this one was cancelled): flags stay 0

        const auto recs = e.records();
        int addStart = -1, deleteStart = -1;
        auto closeRuns = [&](int i) {
            if (addStart >= 0) InsertEmptyWordSlots(Words1, addStart, i);
            if (deleteStart >= 0) InsertEmptyWordSlots(Words2, deleteStart, i);
            addStart = deleteStart = -1;
        };
        for (int i = 0; i < int(recs.size()); ++i) {
            const DiffKind k = recs[size_t(i)].Kind;
            if (k == dkAdd) {
                if (addStart < 0) addStart = i;
            } else if (k == dkDelete) {
                if (deleteStart < 0) deleteStart = i;
            } else {
                closeRuns(i);
            }
        }
        closeRuns(int(recs.size()));
        textCompare().Counts.RecordCount = qint32(recs.size());
        const size_t slotCount = std::max(Words1.size(), Words2.size());
        Words1.resize(slotCount);
        Words2.resize(slotCount);

        const bool charMode = settings.TCDiffDetect == 2;
        if (charMode) {
            for (size_t k = 0; k < slotCount; ++k) {
                std::u16string& w1 = Words1[k];
                std::u16string& w2 = Words2[k];
                if (w1 == w2 || w1.empty() || w2.empty()) continue;
                AlignWordChars(w1, w2);
                const int len = int(std::min(w1.size(), w2.size()));
                int changes = 0, first = len, same = 0;
                bool equalRun = true;
                for (int q = 0; q < len; ++q) {
                    const bool eq = w1[size_t(q)] == w2[size_t(q)];
                    if (eq != equalRun) {
                        ++changes;
                        equalRun = eq;
                    }
                    if (eq) ++same;
                    else if (first == len) first = q;
                }
                // Words that share too little are shown as changed from near
                // their start instead of as a scatter of single characters.
                if ((len < 21 || len / 3 >= same) && (changes > 2 || len / 3 >= same) &&
                    (changes > 3 || first < 4 || len / 2 >= same)) {
                    if (len / 4 >= first) first = 1;
                    for (int q = first; q < len; ++q) {
                        if (w1[size_t(q)] != PadChar) w1[size_t(q)] = 1;
                        if (w2[size_t(q)] != PadChar) w2[size_t(q)] = 2;
                    }
                }
            }
        }
        e.DiffClear();

        int p1 = 0, p2 = 0;
        quint8 flag = kFlagEqual;
        for (size_t k = 0; k < slotCount; ++k) {
            const std::u16string& w1 = Words1[k];
            const std::u16string& w2 = Words2[k];
            const int l1 = int(w1.size()), l2 = int(w2.size());
            if (!charMode) flag = w1 == w2 ? kFlagEqual : 0;
            for (int q = 0; q < std::max(l1, l2); ++q) {
                if (q < std::min(l1, l2) && w1[size_t(q)] == w2[size_t(q)]) {
                    setFlag(real1, p1++, flag);
                    setFlag(real2, p2++, flag);
                } else {
                    if (q < l1 && w1[size_t(q)] != PadChar) ++p1;
                    if (q < l2 && w2[size_t(q)] != PadChar) ++p2;
                }
            }
        }
        if (columns) {
            for (int c = 1; c <= eff1; ++c)
                if (columnMarked(c)) setFlag(real1, c - 1, kFlagIgnored);
            for (int c = 1; c <= eff2; ++c)
                if (columnMarked(c)) setFlag(real2, c - 1, kFlagIgnored);
        }
    }
    for (int i = eff1; i < real1->Length(); ++i) setFlag(real1, i, kFlagIgnored);
    for (int i = eff2; i < real2->Length(); ++i) setFlag(real2, i, kFlagIgnored);
}

InlineDiff& inlineDiff() {
    static InlineDiff diff;
    return diff;
}

}  // namespace tandex::engine
