// The folder window's option controls: the message line, content mode and
// buffer size, the depth limit, the switches, the source pickers of the
// two folders and the swap.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSlider>
#include <QToolTip>

#include "access/archive_paths.h"
#include "access/file_ops.h"
#include "access/ftp_access.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/num_format.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/cmp_folder.h"
#include "ui/folders/cmp_folder_options.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/graph_win.h"
#include "ui/main/command_windows.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window_seams.h"

namespace tandex::folders {

namespace {

constexpr ui::TColor kErrorColor = 255;
constexpr ui::TColor kWarningColor = 27112;
constexpr ui::TColor kInfoColor = 16711680;

// The colour set's colour, with a system-colour reference resolved.
ui::TColor setColor(int index) {
    const auto& set = config::CurrentColorSet();
    const quint32 c = set[size_t(index)];
    if ((c & 0xFF000000u) == config::kSysColorRefBase) return config::SystemColor(int(c & 0xFF));
    return c & 0xFFFFFFu;
}

}  // namespace

// ---- the message line -------------------------------------------------------------

QString TCmpFolder::MessageTitle() const { return L_ErrorTit->isHidden() ? QString() : L_ErrorTit->text(); }

void TCmpFolder::showMessageLine(const QString& title, quint32 color, const QString& text) {
    messageText_ = text;
    L_ErrorTit->setText(title);
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    L_ErrorTxt->setText(shown);
    for (QLabel* l : {L_ErrorTit, L_ErrorTxt}) {
        ui::SetLabelColor(l, color);
        l->show();
    }
}

void TCmpFolder::clearMessageLine() { ShowError(0, QString()); }

void TCmpFolder::ShowError(int level, const QString& text) {
    if (FolderCompare().RunState != rsOptions) {
        if (!text.isEmpty())
            config::showMessage(QStringLiteral("Tandex"), text, config::MsgKind::Warning, config::mbOK, config::mrOk);
        config::eventPump().processEvents();
        return;
    }
    errorLevel_ = std::max(level, 0);
    if (level > 0) {
        showMessageLine(QStringLiteral("Error:"), kErrorColor, text);
        fbOk->SetEnabled(false);
    } else {
        messageText_.clear();
        L_ErrorTit->hide();
        L_ErrorTxt->hide();
    }
    config::eventPump().processEvents();
}

void TCmpFolder::ShowWarning(const QString& text) {
    if (errorLevel_ == 0) showMessageLine(QStringLiteral("Warning:"), kWarningColor, text);
    config::eventPump().processEvents();
}

void TCmpFolder::ShowInfo(const QString& text) {
    if (errorLevel_ == 0) {
        if (text.isEmpty()) {
            messageText_.clear();
            L_ErrorTit->hide();
            L_ErrorTxt->hide();
        } else {
            showMessageLine(QStringLiteral("Info:"), kInfoColor, text);
        }
    }
    config::eventPump().processEvents();
}

// ---- layout by source ---------------------------------------------------------------

void TCmpFolder::UpdateSourceLayout() {
    L_SettingsTit->setText(optionsOnly_ ? QStringLiteral(" Quick Compare Options ")
                                        : QStringLiteral(" Compare Folders using a single folder pair"));
    fbHelp->setToolTip(optionsOnly_ ? QStringLiteral(" Click to get help for 'Quick Compare Options' ")
                                    : QStringLiteral(" Click to get help for 'Compare Folders' "));
    L_FolderL->setText(QStringLiteral("FolderL:"));
    L_FolderR->setText(QStringLiteral("FolderR:"));
    for (QWidget* w : {static_cast<QWidget*>(L_FolderL), static_cast<QWidget*>(CB_Folder1)})
        w->setToolTip(QStringLiteral(" Left pane folder "));
    for (QWidget* w : {static_cast<QWidget*>(L_FolderR), static_cast<QWidget*>(CB_Folder2)})
        w->setToolTip(QStringLiteral(" Right pane folder "));
    ui::SetLabelColor(L_FolderL, setColor(config::TextColL));
    ui::SetLabelColor(L_FolderR, setColor(config::TextColR));
    fbOpenFolderL->setToolTip(QStringLiteral(" Select left pane folder... "));
    fbOpenFolderR->setToolTip(QStringLiteral(" Select right pane folder... "));
    fbSWAP->setVisible(!optionsOnly_);
    L_IncludePat->show();
    L_ExcludePat->show();
    CB_SubFolder->setEnabled(true);
    fbOpenFolderR->setVisible(!optionsOnly_);
    for (QWidget* w : {static_cast<QWidget*>(M_FParList), static_cast<QWidget*>(CB_FolderPairList),
                       static_cast<QWidget*>(L_Params)})
        w->hide();
}

// ---- content and buffers --------------------------------------------------------------

bool TCmpFolder::ftpInvolved() const {
    return fbOpenFolderL->ImageID() == skFtp || fbOpenFolderR->ImageID() == skFtp;
}

QString TCmpFolder::ContentModeHint(int mode) const {
    return folders::ContentModeHint(mode, CB_ChkDate->isChecked(), GetAttrBoxes() != 0);
}

void TCmpFolder::TB_FCCChange() {
    auto& s = config::AppSettings();
    // FTP offers no content compare but the first block and the whole
    // file; a mode between them becomes the whole file.
    if (ftpInvolved() && TB_FCC->value() >= 2 && TB_FCC->value() <= 7) {
        const QSignalBlocker quiet(TB_FCC);
        TB_FCC->setValue(kContentModeMax);
    }
    s.FCContent = TB_FCC->value();
    L_ContentCheck->setText(ContentModeName(TB_FCC->value()));
    CB_ChkDateClick();
    if (TB_FCC->isVisible() && (TB_FCC->hasFocus() || TB_FCC->isSliderDown()))
        QToolTip::showText(TB_FCC->mapToGlobal(QPoint(0, TB_FCC->height())), TB_FCC->toolTip(), TB_FCC);
    UpdateContentControls();
}

void TCmpFolder::CB_ChkDateClick() {
    const QString hint = ContentModeHint(TB_FCC->value());
    L_ContentCheck->setToolTip(hint);
    TB_FCC->setToolTip(hint);
}

void TCmpFolder::UpdateContentControls() {
    const bool on = TB_FCC->value() > 0;
    FolderCompare().ContentCompareOn = on;
    for (QWidget* w : {static_cast<QWidget*>(CB_DisRdCache), static_cast<QWidget*>(CB_PerfGraph),
                       static_cast<QWidget*>(L_NumBuf), static_cast<QWidget*>(L_CurBufSize),
                       static_cast<QWidget*>(L_PSFSTot), static_cast<QWidget*>(L_PSFSTotTxt),
                       static_cast<QWidget*>(TB_MaxBuf)})
        w->setEnabled(on);
    if (ui::F_Graph()) ui::F_Graph()->setVisible(on && config::AppSettings().FCGraph);
}

void TCmpFolder::TB_MaxBufChange() {
    TFolderCompareState& fc = FolderCompare();
    // The label names the position even while the bar is off, so that
    // switching content compare on shows what will be used.
    if (fc.RunState != rsComparing) L_CurBufSize->setText(BufferSizeName(TB_MaxBuf->value()));
    if (!TB_MaxBuf->isEnabled()) return;
    config::AppSettings().FCBufSize = TB_MaxBuf->value();
    fc.BufSizeChanged = true;
}

void TCmpFolder::CB_PerfGraphClick() {
    config::AppSettings().FCGraph = CB_PerfGraph->isChecked();
    const int state = FolderCompare().RunState;
    if ((state == rsOptions || state == rsComparing) && FolderCompare().ContentCompareOn && ui::F_Graph())
        ui::F_Graph()->setVisible(CB_PerfGraph->isChecked());
}

void TCmpFolder::OpenGraphWindow() {
    ui::CloseGraphWindow();
    // Batch runs have no one to look at it.
    if (ui::commandLine().BatchMode()) return;
    ui::TF_Graph* g = ui::OpenRateGraph(this, QStringLiteral("Compare-Rate Graph"), 1, graphRate_, graphAverage_);
    g->setVisible(FolderCompare().ContentCompareOn && config::AppSettings().FCGraph);
}

void TCmpFolder::AddGraphPoints(TCompareRun& run, qint64 dtMs, qint64 elapsedMs) {
    const double factor = double(config::SizeUnitFactor(2));
    if (ui::F_Graph() && FolderCompare().ContentCompareOn) {
        const double current = double(run.TickBytesRead) * 1000.0 / factor / double(std::max<qint64>(dtMs, 1));
        const double average =
            double(run.RunBytesRead) * 1000.0 / factor / double(std::max<qint64>(elapsedMs + run.ComparedTime, 1));
        ui::F_Graph()->AddSample(graphRate_, false, float(current));
        ui::F_Graph()->AddSample(graphAverage_, true, float(average));
    }
    run.TickBytesRead = 0;
}

// ---- depth limit and switches -------------------------------------------------------

void TCmpFolder::UD_LevelChangingEx(int step) {
    bool ok = false;
    int value = E_FCMaxDepth->text().trimmed().toInt(&ok);
    if (!ok) value = config::AppSettings().FCMaxDepth;
    E_FCMaxDepth->setText(QString::number(std::clamp(value + step, 0, 99)));
}

void TCmpFolder::E_FCMaxDepthChange() {
    bool ok = false;
    const int value = E_FCMaxDepth->text().trimmed().toInt(&ok);
    if (!ok) return;
    auto& s = config::AppSettings();
    s.FCMaxDepth = value;
    L_FCLimitRecScan->setText(config::CountText(QStringLiteral("-level"), value));
    if (s.FCLimitRecScan) CB_Folder1Change();
}

void TCmpFolder::CB_FCLimitRecScanClick() {
    config::AppSettings().FCLimitRecScan = CB_FCLimitRecScan->isChecked();
    CB_Folder1Change();
}

void TCmpFolder::CB_SubFolderClick() {
    CB_FCLimitRecScan->setEnabled(CB_SubFolder->isChecked() || CB_UseFPL->isChecked());
    const bool on = CB_FCLimitRecScan->isEnabled();
    for (QWidget* w : {static_cast<QWidget*>(E_FCMaxDepth), static_cast<QWidget*>(L_FCLimitRecScan), UD_Level})
        w->setEnabled(on);
}

void TCmpFolder::CB_UseFPLClick() {
    config::AppSettings().FCUseFPL = CB_UseFPL->isChecked();
    CB_SubFolderClick();
    UpdateSourceLayout();
    if (ready_) RestartPreScan();
}

// ---- sources and swap ---------------------------------------------------------------

void TCmpFolder::SetSourceIcon(ui::TFlatButton2* button, const QString& path) {
    int kind = skFileSystem;
    if (access::FZIsFtpUrl(path))
        kind = skFtp;
    else if (access::FZFindArchiveInPath(path, 0))
        kind = skArchive;
    else if (access::FZClassifyPath(path) == access::locCloud)
        kind = skCloud;
    const bool becameFtp = kind == skFtp && button->ImageID() != skFtp;
    button->SetImageID(kind);
    QImage picture;
    button->SetCaption(CmpLoadBMPFunc(button->ListID(), kind, picture) ? QString() : QStringLiteral("..."));
    // The content mode follows whichever changes last, the mode or the
    // source.
    if (becameFtp) TB_FCCChange();
}

void TCmpFolder::OpenFolderClick(QObject* sender) {
    auto* item = qobject_cast<QAction*>(sender);
    const bool left = item ? pmOpenLeft->actions().contains(item) : sender == fbOpenFolderL;
    ui::TFlatButton2* button = left ? fbOpenFolderL : fbOpenFolderR;
    BrowseSource(left, item ? item->data().toInt() : button->ImageID());
}

void TCmpFolder::BrowseSource(bool left, int kind) {
    // The FTP, archive and cloud browsers come later; folders can be typed.
    if (kind != skFileSystem || !ui::commandWindows().Has(ui::cwSharedServices)) return;
    QComboBox* box = left ? CB_Folder1 : CB_Folder2;
    ui::TFlatButton2* button = left ? fbOpenFolderL : fbOpenFolderR;
    QString start = box->currentText();
    if (access::FZIsFtpUrl(start) || access::FZClassifyPath(start) == access::locCloud) {
        start.clear();
    } else if (access::FZFindArchiveInPath(start, 0)) {
        QString file;
        access::FZArchiveFilePath(start, file);
        start = file.left(file.lastIndexOf(QLatin1Char('/')) + 1);
    }
    if (!start.isEmpty() && access::FZCheckPath(start) != 0) start.clear();
    QString folder = start;
    if (!ui::commandWindows().SelectFolderDialog(button->toolTip(), QString(), folder, false, false, true)) return;
    box->setEditText(folder);
    if (left)
        RestartPreScan();
    else
        CB_Folder2Change();
}

void TCmpFolder::fbSWAPClick() {
    const QString left = CB_Folder1->currentText();
    CB_Folder1->setEditText(CB_Folder2->currentText());
    CB_Folder2->setEditText(left);
    RestartPreScan();
}

}  // namespace tandex::folders
