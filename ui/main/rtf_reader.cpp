#include "rtf_reader.h"

#include "archive/name_charsets.h"

#include <QColor>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <map>
#include <vector>

namespace tandex::ui {

namespace {

// Numbers of control words are clamped to this, so no arithmetic on them
// can overflow.
constexpr int kMaxNumber = 1 << 30;
// Words are at most this long; letters past it still belong to the word.
constexpr int kMaxWordLength = 32;
// \fs in half points: 1000 points is larger than any screen.
constexpr int kMaxHalfPoints = 2000;
// \uc above this would swallow text rather than a fallback.
constexpr int kMaxFallback = 8;

enum TDestination { dText, dFontTable, dColorTable, dSkip };

struct TGroupState {
    TDestination dest = dText;
    int font = -1;
    int color = 0;
    int halfPoints = 24;
    bool bold = false, italic = false, underline = false;
    int fallback = 1;
};

const QString& ansiTable() {
    static const QString table = [] {
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i) all[i] = char(i);
        return archive::DecodeCodePage(all, 1252);
    }();
    return table;
}

class TRtfParser {
public:
    TRtfParser(QByteArrayView input, QTextDocument& document, const TRtfFontMap& mapFont, qsizetype maxSize)
        : in_(input.first(qBound(qsizetype(0), maxSize, input.size()))),
          cut_(input.size() > maxSize),
          cursor_(&document),
          mapFont_(mapFont) {
        stack_.push_back(TGroupState{});
    }

    bool run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                openGroup();
            } else if (c == '}') {
                closeGroup();
            } else if (c == '\\') {
                controlWord();
            } else {
                text(quint8(c));
            }
        }
        flush();
        return !cut_;
    }

private:
    TGroupState& state() { return stack_.back(); }

    void openGroup() {
        pendingFallback_ = 0;
        if (int(stack_.size()) >= RtfMaxDepth) {
            cut_ = true;
            skipGroup();
            return;
        }
        stack_.push_back(state());
    }

    void closeGroup() {
        pendingFallback_ = 0;
        // A stray closing brace at the top level changes nothing.
        if (stack_.size() > 1) {
            // The font and colour tables end where their group ends.
            if (state().dest == dFontTable) storeFont();
            stack_.pop_back();
        }
    }

    // Steps over a group too deep to keep, counting braces only; escaped
    // braces are no group marks.
    void skipGroup() {
        int depth = 1;
        while (pos_ < in_.size() && depth > 0) {
            const char c = in_[pos_++];
            if (c == '\\')
                ++pos_;
            else if (c == '{')
                ++depth;
            else if (c == '}')
                --depth;
        }
    }

    // Whether a fallback character of a \u is due; it is dropped.
    bool swallowFallback() {
        if (pendingFallback_ <= 0) return false;
        --pendingFallback_;
        return true;
    }

    void controlWord() {
        if (pos_ >= in_.size()) return;
        const char first = in_[pos_];
        const bool letter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
        if (!letter) {
            ++pos_;
            controlSymbol(first);
            return;
        }
        QByteArray word;
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) break;
            if (word.size() < kMaxWordLength) word.append(c);
            ++pos_;
        }
        bool hasNumber = false;
        bool negative = false;
        qint64 number = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && in_[pos_ + 1] >= '0' &&
            in_[pos_ + 1] <= '9') {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
            hasNumber = true;
            number = qMin<qint64>(number * 10 + (in_[pos_] - '0'), kMaxNumber);
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
        if (swallowFallback()) return;
        applyWord(word, hasNumber, int(negative ? -number : number));
    }

    void controlSymbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(quint8(c), true);
            break;
        case '\'': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && pos_ < in_.size()) {
                const char h = in_[pos_];
                int v = -1;
                if (h >= '0' && h <= '9')
                    v = h - '0';
                else if (h >= 'a' && h <= 'f')
                    v = h - 'a' + 10;
                else if (h >= 'A' && h <= 'F')
                    v = h - 'A' + 10;
                if (v < 0) break;
                value = value * 16 + v;
                ++digits;
                ++pos_;
            }
            if (digits == 2) text(quint8(value), true);
            break;
        }
        case '*':
            state().dest = dSkip;
            break;
        default:
            // \~, \-, \_ and line breaks after a backslash: nothing we show,
            // but a fallback they may stand for is used up.
            swallowFallback();
            break;
        }
    }

    void applyWord(const QByteArray& w, bool hasNumber, int n) {
        TGroupState& s = state();
        if (s.dest == dSkip) return;
        if (w == "fonttbl") {
            s.dest = dFontTable;
            fontIndex_ = -1;
        } else if (w == "colortbl") {
            s.dest = dColorTable;
            red_ = green_ = blue_ = -1;
        } else if (s.dest == dFontTable) {
            if (w == "f" && hasNumber) {
                storeFont();
                fontIndex_ = n;
            }
        } else if (s.dest == dColorTable) {
            const int v = qBound(0, n, 255);
            if (w == "red")
                red_ = v;
            else if (w == "green")
                green_ = v;
            else if (w == "blue")
                blue_ = v;
        } else if (w == "deff" && hasNumber) {
            for (TGroupState& g : stack_) g.font = n;
        } else if (w == "cf") {
            s.color = hasNumber ? n : 0;
        } else if (w == "f" && hasNumber) {
            // A font the table does not name leaves the font as it was.
            if (fonts_.count(n)) s.font = n;
        } else if (w == "fs") {
            if (hasNumber && n > 0) s.halfPoints = qMin(n, kMaxHalfPoints);
        } else if (w == "b") {
            s.bold = !hasNumber || n != 0;
        } else if (w == "i") {
            s.italic = !hasNumber || n != 0;
        } else if (w == "ul") {
            s.underline = !hasNumber || n != 0;
        } else if (w == "ulnone") {
            s.underline = false;
        } else if (w == "par") {
            flush();
            cursor_.insertBlock();
        } else if (w == "line") {
            append(QChar::LineSeparator);
        } else if (w == "tab") {
            append(QLatin1Char('\t'));
        } else if (w == "uc") {
            if (hasNumber) s.fallback = qBound(0, n, kMaxFallback);
        } else if (w == "u" && hasNumber && n >= -32768 && n <= 65535) {
            // Negative values stand for the upper half of the 16-bit range.
            // A value outside it is no character: its fallback is shown.
            const char16_t c = char16_t(n < 0 ? n + 65536 : n);
            // A line break inside a name (the run logs escape it) stays
            // within its paragraph.
            if (c == '\n')
                append(QChar::LineSeparator);
            else if (c >= 0x20 || c == '\t')
                append(QChar(c));
            pendingFallback_ = s.fallback;
        }
    }

    // One byte of text; escaped marks the braces and backslash that came
    // as control symbols.
    void text(quint8 b, bool escaped = false) {
        if (swallowFallback()) return;
        TGroupState& s = state();
        if (s.dest == dSkip) return;
        if (!escaped && (b == '\r' || b == '\n' || b == 0)) return;
        if (s.dest == dFontTable) {
            if (b == ';')
                storeFont();
            else if (fontIndex_ >= 0 && fontName_.size() < 256)
                fontName_.append(ansiTable().at(b));
            return;
        }
        if (s.dest == dColorTable) {
            if (b == ';') {
                colors_.push_back(red_ < 0 && green_ < 0 && blue_ < 0
                                      ? QColor()
                                      : QColor(qMax(red_, 0), qMax(green_, 0), qMax(blue_, 0)));
                red_ = green_ = blue_ = -1;
            }
            return;
        }
        if (b < 0x20 && b != '\t') return;
        append(ansiTable().at(b));
    }

    void storeFont() {
        if (fontIndex_ >= 0) fonts_[fontIndex_] = fontName_.trimmed();
        fontIndex_ = -1;
        fontName_.clear();
    }

    QTextCharFormat formatOf(const TGroupState& s) const {
        QTextCharFormat f;
        if (const auto it = fonts_.find(s.font); it != fonts_.end())
            f.setFontFamilies({mapFont_ ? mapFont_(it->second) : it->second});
        f.setFontPointSize(s.halfPoints / 2.0);
        f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(s.italic);
        f.setFontUnderline(s.underline);
        // Index 0 and entries without colour values are "auto": the view's
        // own text colour.
        if (s.color > 0 && s.color < int(colors_.size()) && colors_[size_t(s.color)].isValid())
            f.setForeground(colors_[size_t(s.color)]);
        return f;
    }

    void append(QChar c) {
        const TGroupState& s = state();
        if (s.dest != dText) return;
        if (!runOpen_ || !sameRun(s)) {
            flush();
            runState_ = s;
            runOpen_ = true;
        }
        run_.append(c);
    }

    bool sameRun(const TGroupState& s) const {
        return s.font == runState_.font && s.color == runState_.color && s.halfPoints == runState_.halfPoints &&
               s.bold == runState_.bold && s.italic == runState_.italic && s.underline == runState_.underline;
    }

    void flush() {
        if (runOpen_ && !run_.isEmpty()) cursor_.insertText(run_, formatOf(runState_));
        run_.clear();
        runOpen_ = false;
    }

    QByteArrayView in_;
    qsizetype pos_ = 0;
    bool cut_ = false;
    QTextCursor cursor_;
    const TRtfFontMap& mapFont_;
    std::vector<TGroupState> stack_;
    std::map<int, QString> fonts_;
    std::vector<QColor> colors_;
    int fontIndex_ = -1;
    QString fontName_;
    int red_ = -1, green_ = -1, blue_ = -1;
    int pendingFallback_ = 0;
    QString run_;
    TGroupState runState_;
    bool runOpen_ = false;
};

}  // namespace

bool ReadRtf(QByteArrayView rtf, QTextDocument& document, const TRtfFontMap& mapFont, qsizetype maxSize) {
    document.clear();
    document.setUndoRedoEnabled(false);
    TRtfParser parser(rtf, document, mapFont, maxSize);
    return parser.run();
}

}  // namespace tandex::ui
