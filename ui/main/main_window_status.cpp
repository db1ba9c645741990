#include "main_window_status.h"

#include "config/num_format.h"
#include "config/sys_helpers.h"
#include "main_window_layout.h"

namespace tandex::ui {

QString statusBarText(const TStatusSnapshot& s) {
    QString text = QStringLiteral("Ln ") + config::IntToGroupedStr(s.caretRow + 1, 2, true) +
                   QStringLiteral(":Col ") + QString::number(s.caretColumn) + QStringLiteral(" | ");
    if (s.singlePaneView) {
        text += QStringLiteral("View Mode");
        if (s.leftModified) text += QStringLiteral(" | File is modified");
    } else if (s.hasRows || !s.leftName.isEmpty() || !s.rightName.isEmpty()) {
        if (s.diffCount > 0 && s.folderViewFilter != 1) {
            switch (s.viewType) {
            case vtFolder:
                text += QStringLiteral("Diff: ") + config::CountText(QStringLiteral(" File"), s.diffCount);
                break;
            case vtText:
                text += QStringLiteral("Diff: ") + config::CountText(QStringLiteral(" Block"), s.diffBlockCount) +
                        QStringLiteral(", ") + config::CountText(QStringLiteral(" Line"), s.diffCount) +
                        QStringLiteral(", ") + s.compareSummary;
                break;
            case vtBinary:
                text += QStringLiteral("Diff: ") + config::CountText(QStringLiteral(" Line"), s.diffCount) +
                        QStringLiteral(", Bytes: ") + s.binaryDiffBytes;
                break;
            case vtImage:
                text += QStringLiteral("Images are different ");
                break;
            default:
                break;
            }
        } else if (s.viewType == vtFolder) {
            text += QStringLiteral(" All files are equal");
        } else if (!s.cutMessage.isEmpty()) {
            text += QLatin1Char(' ') + s.cutMessage;
        } else if (!s.leftName.isEmpty() && !s.rightName.isEmpty()) {
            text += QStringLiteral(" Files are equal");
        }
        if (s.viewType != vtImage) {
            if (s.leftModified) text += QStringLiteral(" | Left mod!");
            if (s.rightModified) text += QStringLiteral(" | Right mod!");
            if (s.selectedCount > 0) {
                text += QStringLiteral(" | Sel: ") +
                        config::CountText(s.viewType == vtFolder ? QStringLiteral(" File") : QStringLiteral(" Line"),
                                          s.selectedCount) +
                        (s.activePane == 2 ? QStringLiteral(" (right)") : QStringLiteral(" (left)"));
            }
        }
    }
    if (s.viewType == vtImage) {
        text += QStringLiteral(" | Zoom: ") + QString::number(s.zoomPercent) + QStringLiteral("%");
        if (s.zoomLimitReached) text += QStringLiteral("  => MaxZoom is reached!");
        if (s.updateFailed) text += QStringLiteral(" | ERROR: Update failed!");
    }
    if (s.viewType != vtFolder) {
        text += s.addressText;
        if (s.showTimes) {
            const qint64 loadTicks = s.totalTicks - s.compare2Ticks - s.compare1Ticks;
            text += QStringLiteral(" (lt: ") + config::TscTicksToMsText(loadTicks) + QStringLiteral("; ht: ") +
                    config::TscTicksToMsText(s.hashTicks) + QStringLiteral("; ct1: ") +
                    config::TscTicksToMsText(s.compare1Ticks - s.hashTicks) + QStringLiteral("; ct2: ") +
                    config::TscTicksToMsText(s.compare2Ticks) + QStringLiteral("; sum: ") +
                    config::TscTicksToMsText(s.totalTicks) + QStringLiteral(")");
        }
    } else if (s.compareToPending) {
        text += QStringLiteral(" | Compare To...?");
    }
    return text;
}

TStatusLabels statusLabels(const TInsertStateSnapshot& s) {
    TStatusLabels l;
    l.fuzzyStopState = s.fuzzyStopState;
    if (!s.caretViewActive || s.binaryMode) return l;
    l.visible = true;
    l.insertText = s.insertMode ? QStringLiteral("[INS]") : QStringLiteral("[OVW]");
    if (s.hiddenRowCount <= 0) {
        l.hiddenText = QStringLiteral("[No Hidden Lines]");
    } else {
        l.hiddenText = QStringLiteral("[") + QString::number(s.hiddenRowCount) + QStringLiteral(" Hidden Lines!]");
        l.hiddenAlert = true;
    }
    l.similarityVisible = !s.singlePaneView;
    if (s.diffCount == 0) l.fuzzyStopState = 0;
    switch (l.fuzzyStopState) {
    case 0:
        l.similarityText = QStringLiteral("[Similarity: ") + QString::number(s.similarity) + QStringLiteral("%]");
        l.similarityColor = s.fuzzyMode ? 0x000000 : 0x808080;
        l.similarityHint = QStringLiteral(
            " Line similarity ratio for fuzzy processing \r Press [Alt]+[\u2191] or [Alt]+[\u2193] to change\r "
            "Double click to open settings");
        break;
    case 1:
        l.similarityText = QStringLiteral("[Fuzzy processing skipped!]");
        l.similarityColor = 0x0000FF;
        l.similarityHint =
            QStringLiteral(" Too many lines: > ") + config::IntToGroupedStr(15000, 0, true) + QStringLiteral(" ");
        break;
    default:
        l.similarityText = QStringLiteral("[Fuzzy processing aborted!]");
        l.similarityColor = 0x0000FF;
        l.similarityHint = QStringLiteral(" Timeout due to too many differences! ");
        break;
    }
    return l;
}

}  // namespace tandex::ui
