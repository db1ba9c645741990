// Sessions and histories of the folder window: the current options as a
// session record and back, choosing a session, and the combo histories
// that "Start" stores in the settings.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>

#include "config/app_settings.h"
#include "ui/folders/cmp_folder.h"
#include "ui/folders/cmp_folder_options.h"
#include "ui/folders/more_filters.h"
#include "ui/main/window_helpers.h"

namespace tandex::folders {

namespace {

QString flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

QStringList memoLines(const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

constexpr int kLastHistoryIndex = config::kListSize - 1;

}  // namespace

int TCmpFolder::GetAttrBoxes() const {
    return (CB_FCAttrReadOnly->isChecked() ? abReadOnly : 0) | (CB_FCAttrHidden->isChecked() ? abHidden : 0) |
           (CB_FCAttrSystem->isChecked() ? abSystem : 0) | (CB_FCAttrArchive->isChecked() ? abArchive : 0);
}

void TCmpFolder::SetAttrBoxes(int mask) {
    CB_FCAttrReadOnly->setChecked(mask & abReadOnly);
    CB_FCAttrHidden->setChecked(mask & abHidden);
    CB_FCAttrSystem->setChecked(mask & abSystem);
    CB_FCAttrArchive->setChecked(mask & abArchive);
}

QString TCmpFolder::SessionString() const {
    const auto& s = config::AppSettings();
    const QStringList fields{
        CB_Folder1->currentText(),
        CB_Folder2->currentText(),
        CB_IncludePat->currentText(),
        CB_ExcludePat->currentText(),
        CB_FolderPairList->currentText(),
        CommaText(memoLines(M_FParList)),
        flag(CB_ChkDate->isChecked()),
        QString::number(GetAttrBoxes()),
        flag(CB_SubFolder->isChecked()),
        CB_FCExclFolders->currentText(),
        flag(CB_Folder1Only->isChecked()),
        flag(CB_UseFPL->isChecked()),
        flag(CB_DisRdCache->isChecked()),
        flag(CB_PerfGraph->isChecked()),
        QString::number(TB_FCC->value()),
        QString::number(TB_MaxBuf->value()),
        flag(s.FCExclSmaller),
        flag(s.FCExclLarger),
        QString::number(s.FCSmaller),
        QString::number(s.FCLarger),
        QString::number(s.FCSmallerUnit),
        QString::number(s.FCLargerUnit),
        QString::number(s.FCExclArchive),
        QString::number(s.FCExclRdOnlyF),
        QString::number(s.FCExclHiddenF),
        QString::number(s.FCExclSystemF),
        QString::number(s.FCExclRdOnlyD),
        QString::number(s.FCExclHiddenD),
        QString::number(s.FCExclSystemD),
        flag(s.FCExclOlder),
        flag(s.FCExclNewer),
        flag(s.FCUseDaysAgo),
        QString::number(s.FCOlderDays),
        QString::number(s.FCNewerDays),
        QString::number(s.FCOlderTS),
        QString::number(s.FCNewerTS),
        flag(CB_FCLimitRecScan->isChecked()),
        QString::number(s.FCMaxDepth),
    };
    return JoinSessionFields(fields);
}

void TCmpFolder::ApplySession() {
    auto& s = config::AppSettings();
    const QString d = s.FCSessData[0];
    CB_Folder1->setEditText(SessionField(d, sfFolderL));
    CB_Folder2->setEditText(SessionField(d, sfFolderR));
    CB_IncludePat->setEditText(SessionField(d, sfIncludeMasks));
    CB_ExcludePat->setEditText(SessionField(d, sfExcludeMasks));
    CB_FolderPairList->setEditText(SessionField(d, sfPairList));
    {
        const QSignalBlocker quiet(M_FParList);
        M_FParList->setPlainText(LinesOfCommaText(SessionField(d, sfPairListParams)).join(QLatin1Char('\n')));
    }
    CB_ChkDate->setChecked(SessionBool(d, sfDateTime));
    SetAttrBoxes(SessionInt(d, sfAttributes));
    CB_SubFolder->setChecked(SessionBool(d, sfSubFolders));
    CB_FCExclFolders->setEditText(SessionExcludedFolders(d));
    CB_Folder1Only->setChecked(SessionBool(d, sfLeftOnly));
    CB_UseFPL->setChecked(SessionBool(d, sfUsePairList));
    s.FCUseFPL = CB_UseFPL->isChecked();
    CB_DisRdCache->setChecked(SessionBool(d, sfDisableReadCache));
    TB_FCC->setValue(SessionInt(d, sfContentMode));
    TB_MaxBuf->setValue(SessionInt(d, sfBufferSize));
    CB_PerfGraph->setChecked(SessionBool(d, sfRateGraph));

    int n = sfExclSmaller;
    s.FCExclSmaller = SessionBool(d, n++);
    s.FCExclLarger = SessionBool(d, n++);
    s.FCSmaller = SessionInt(d, n++);
    s.FCLarger = SessionInt(d, n++);
    s.FCSmallerUnit = SessionInt(d, n++);
    s.FCLargerUnit = SessionInt(d, n++);
    s.FCExclArchive = SessionInt(d, n++);
    s.FCExclRdOnlyF = SessionInt(d, n++);
    s.FCExclHiddenF = SessionInt(d, n++);
    s.FCExclSystemF = SessionInt(d, n++);
    s.FCExclRdOnlyD = SessionInt(d, n++);
    s.FCExclHiddenD = SessionInt(d, n++);
    s.FCExclSystemD = SessionInt(d, n++);
    s.FCExclOlder = SessionBool(d, n++);
    s.FCExclNewer = SessionBool(d, n++);
    s.FCUseDaysAgo = SessionBool(d, n++);
    s.FCOlderDays = SessionInt(d, n++);
    s.FCNewerDays = SessionInt(d, n++);
    s.FCOlderTS = SessionInt64(d, sfOlderTS);
    s.FCNewerTS = SessionInt64(d, sfNewerTS);
    CB_FCLimitRecScan->setChecked(SessionBool(d, sfLimitRecScan));
    s.FCLimitRecScan = CB_FCLimitRecScan->isChecked();
    s.FCMaxDepth = SessionInt(d, sfMaxDepth);
    // The panel's controls are what its hint and its next change read.
    F_CmpSettingsExt->LoadControls();
    UpdateFilterHint();
}

void TCmpFolder::UpdateHistory(QComboBox* combo) {
    if (combo->currentText().isEmpty() && combo != CB_ExcludePat) return;
    auto& s = config::AppSettings();
    // Names are compared exactly: two folders whose names differ in case
    // only are two folders here.
    const int found = ui::UpdateComboHistory(combo, kLastHistoryIndex, false);
    if (combo == CB_FolderPairList) {
        ShiftHistoryData(s.FCFPLParam.data(), config::kListSize, found, CommaText(memoLines(M_FParList)));
    } else if (combo == CB_Session) {
        // Entry 20, the options-only session, never moves.
        ShiftHistoryData(s.FCSessData.data(), config::kListSize, found, SessionString());
        for (int i = 0; i < config::kListSize; ++i) s.FCSessions[i] = i < combo->count() ? combo->itemText(i) : QString();
    }
}

void TCmpFolder::CB_SessionSelect(int index) {
    if (index < 0 || index >= CB_Session->count()) return;
    auto& s = config::AppSettings();
    ready_ = false;
    // The session being left keeps the options it was left with.
    s.FCSessData[0] = SessionString();
    CB_Session->setEditText(CB_Session->itemText(index));
    const int found = std::min(ui::UpdateComboHistory(CB_Session, kLastHistoryIndex, false), kLastHistoryIndex);
    ShiftHistoryData(s.FCSessData.data(), config::kListSize, found, s.FCSessData[found]);
    for (int i = 0; i < config::kListSize; ++i)
        s.FCSessions[i] = i < CB_Session->count() ? CB_Session->itemText(i) : QString();
    ApplySession();
    CB_Session->setCurrentIndex(0);
    E_FCMaxDepth->setText(QString::number(s.FCMaxDepth));
    ready_ = true;
    leftRoot_.clear();
    CB_Folder1Change();
}

void TCmpFolder::storeHistories() {
    auto& s = config::AppSettings();
    for (QComboBox* box : {CB_Folder1, CB_Folder2, CB_FolderPairList, CB_IncludePat, CB_ExcludePat,
                           CB_FCExclFolders, CB_Session})
        UpdateHistory(box);
    const struct {
        QComboBox* box;
        std::array<QString, config::kListSize>& entries;
    } lists[] = {{CB_Folder1, s.FCFoldersL},    {CB_Folder2, s.FCFoldersR},     {CB_FolderPairList, s.FCFPLNames},
                 {CB_IncludePat, s.FCIncMasks}, {CB_ExcludePat, s.FCExcMasks}, {CB_FCExclFolders, s.FCExcFldMasks}};
    for (const auto& l : lists)
        for (int i = 0; i < config::kListSize; ++i)
            l.entries[size_t(i)] = i < l.box->count() ? l.box->itemText(i) : QString();
}

}  // namespace tandex::folders
