// The tab bar and its four tab panels, the copy of the shown comparison
// into its tab slot and back, switching between the views, and the tab
// clicks and closes.

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QShortcut>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/fuzzy_similarity.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "flat_button.h"
#include "folder_view_seam.h"
#include "main_window.h"
#include "window_helpers.h"

namespace tandex::ui {

namespace {

QColor colorOf(quint32 bgr) { return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); }

quint32 setColor(int index) {
    const auto& s = config::AppSettings();
    const int set = qBound(0, s.COSetIdx, int(s.ColorSets.size()) - 1);
    return s.ColorSets[size_t(set)][size_t(index)];
}

void fill(QWidget* w, const QColor& color) {
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
}

// The widget under the menus and toolbar: the tab bar on top, the
// comparison area below it. Neither uses a Qt layout: the bar's height
// follows the pane font and the area below is placed by the window's own
// layout code.
class TTabHost : public QWidget {
public:
    using QWidget::QWidget;
    QWidget* bar = nullptr;
    QWidget* client = nullptr;

    void place() {
        const int h = bar ? bar->height() : 0;
        if (bar) bar->setGeometry(0, 0, width(), h);
        if (client) client->setGeometry(0, h, width(), qMax(0, height() - h));
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(); }
};

// A tab panel: a click on it, its icon or its label shows the tab.
class TTabPanel : public QFrame {
public:
    using QFrame::QFrame;
    std::function<void(QObject*)> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && onClick) onClick(this);
    }
};

}  // namespace

QWidget* TF_Main::createTabBar(QWidget* client) {
    auto* host = new TTabHost(this);
    host->setObjectName(QStringLiteral("P_Body"));
    client->setParent(host);
    P_TabControl = new QWidget(host);
    P_TabControl->setObjectName(QStringLiteral("P_TabControl"));
    host->bar = P_TabControl;
    host->client = client;
    for (int n = 0; n < 4; ++n) {
        const QString num = QString::number(n);
        auto* panel = new TTabPanel(P_TabControl);
        panel->setObjectName(QStringLiteral("P_TAB") + num);
        panel->setProperty("Tag", n);
        panel->onClick = [this](QObject* sender) { P_TAB0Click(sender); };
        P_TAB[size_t(n)] = panel;
        I_TabIcon[size_t(n)] = new QLabel(panel);
        I_TabIcon[size_t(n)]->setObjectName(QStringLiteral("I_Tab%1Icon").arg(n));
        L_Tab[size_t(n)] = new QLabel(panel);
        L_Tab[size_t(n)]->setObjectName(QStringLiteral("L_Tab") + num);
        BE_TAB[size_t(n)] = new QFrame(panel);
        BE_TAB[size_t(n)]->setObjectName(QStringLiteral("BE_TAB") + num);
        BE_TAB[size_t(n)]->setFrameShape(QFrame::VLine);
        BE_TAB[size_t(n)]->setFrameShadow(QFrame::Sunken);
        auto* close = new TFlatButton2(panel);
        close->setObjectName(QStringLiteral("B_CloseTab") + num);
        close->LoadBMPFunc = [this](int size, int index, QImage& bitmap) { return loadBMPFunc(size, index, bitmap); };
        close->SetListID(10);
        close->SetImageID(0);
        close->SetCaption(QStringLiteral("x"));
        close->SetWidth(config::ScaleDpi(13));
        close->SetHeight(config::ScaleDpi(13));
        close->setProperty("Tag", n);
        close->OnClick = [this](QObject* sender) { fbCloseTabClick(sender); };
        B_CloseTab[size_t(n)] = close;
        for (QWidget* w : {static_cast<QWidget*>(I_TabIcon[size_t(n)]), static_cast<QWidget*>(L_Tab[size_t(n)]),
                           static_cast<QWidget*>(BE_TAB[size_t(n)]), static_cast<QWidget*>(close)})
            w->setProperty("Tag", n);
        panel->hide();
    }
    // Ctrl+F4 closes the shown tab.
    auto* closeKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+F4")), this);
    connect(closeKey, &QShortcut::activated, this, [this] { fbCloseTabClick(nullptr); });
    return host;
}

void TF_Main::drawTabBar() {
    if (!P_TabControl) return;
    const auto& s = config::AppSettings();
    const auto& tabs = engine::fccTabs();
    const auto& stores = engine::paneStores();
    P_TabControl->setFixedHeight(qMax(config::ScaleDpi(8) + lineHeight_, config::ScaleDpi(25)) +
                                 config::Helpers().DpiPx5);
    if (auto* host = dynamic_cast<TTabHost*>(P_TabControl->parentWidget())) host->place();
    LockWindowRedraw(P_TabControl);
    const QFont font = P_TabControl->font();
    const QFontMetrics fm(font);
    TTabBarInput in;
    for (int n = 0; n < engine::kTabSlotCount; ++n) {
        const auto& slot = tabs.TabSlots[size_t(n)];
        auto& t = in.tabs[size_t(n)];
        t.inUse = slot.InUse != 0;
        t.viewType = slot.ViewType;
        t.singlePaneView = slot.SinglePaneView != 0;
        t.leftName = slot.FileData.FileNames[1];
        t.rightName = slot.FileData.FileNames[2];
    }
    in.currentTab = tabs.CurrentTab;
    in.flatLook = s.GSGUIStyle > 0;
    in.clientWidth = Client->width();
    in.barHeight = P_TabControl->height();
    in.lineHeight = fm.height();
    in.scale55 = config::ScaleDpi(55);
    in.scale17 = config::ScaleDpi(17);
    in.labelLeft = config::ScaleDpi(30);
    in.showSession = s.FCShowSession || s.FCUseFPL;
    in.sessionCaption = folderView().FolderSessionCaption();
    in.leftRoot = stores.FolderRoots[1];
    in.rightRoot = stores.FolderRoots[2];
    in.textWidth = [&fm](const QString& text) { return fm.horizontalAdvance(text); };
    tabBar_ = layoutTabBar(in);

    fill(P_TabControl, colorOf(setColor(config::TabBarCol)));
    for (int n = 0; n < engine::kTabSlotCount; ++n) {
        const TTabGeometry& t = tabBar_.tabs[size_t(n)];
        QFrame* panel = P_TAB[size_t(n)];
        panel->setVisible(t.visible);
        panel->setGeometry(t.left, 0, t.width, in.barHeight);
        panel->setFrameShape(t.bevel == 0 ? QFrame::NoFrame : QFrame::Panel);
        panel->setFrameShadow(t.bevel == 1 ? QFrame::Raised : QFrame::Sunken);
        fill(panel, colorOf(setColor(t.backgroundColor)));
        QLabel* label = L_Tab[size_t(n)];
        label->setText(t.caption);
        label->setToolTip(t.labelHintOn ? t.labelHint : QString());
        label->setGeometry(t.labelLeft, t.labelTop, qMax(0, t.labelWidth), t.labelHeight);
        QPalette text = label->palette();
        text.setColor(QPalette::WindowText, colorOf(setColor(t.textColor)));
        label->setPalette(text);
        TFlatButton2* close = B_CloseTab[size_t(n)];
        close->move(t.closeLeft, t.closeTop);
        close->SetFlat(in.flatLook);
        close->SetBgColorFlat(setColor(t.backgroundColor));
        close->SetBgColor(setColor(t.backgroundColor));
        close->SetImageID(t.closeImage);
        close->setToolTip(t.closeHint);
        BE_TAB[size_t(n)]->setVisible(t.separatorVisible);
        BE_TAB[size_t(n)]->setGeometry(t.width - 2, 4, 2, qMax(0, in.barHeight - 8));
        // The icon is painted white first, so a missing picture still
        // marks its place.
        QImage icon(t.iconSize, t.iconSize, QImage::Format_ARGB32);
        icon.fill(Qt::white);
        QImage picture;
        if (loadBMPFunc(16, t.iconIndex, picture)) {
            QPainter p(&icon);
            p.drawImage(QRect(0, 0, t.iconSize, t.iconSize), picture);
        }
        I_TabIcon[size_t(n)]->setPixmap(QPixmap::fromImage(icon));
        I_TabIcon[size_t(n)]->setGeometry(qMax(0, t.iconLeft - t.iconSize / 2), t.iconTop, t.iconSize, t.iconSize);
        I_TabIcon[size_t(n)]->setProperty("IconIndex", t.iconIndex);
    }
    UnlockWindowRedraw(P_TabControl, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TF_Main::fitTabWidths() { drawTabBar(); }

// ---- tab state --------------------------------------------------------------

TTabViewState TF_Main::tabViewState() const {
    TTabViewState v;
    const int type = engine::fccTabs().GetCurrentViewType();
    v.topRow = topRow(type);
    v.activePane = getActivePane(type);
    v.forceBinary = forceBinary_;
    v.filterImage = filterImage_;
    v.longestLines = engine::paneStores().LongestLine;
    v.ruleFixedKinds = ruleFixedKinds_;
    return v;
}

void TF_Main::saveTabState() { tandex::ui::saveTabState(tabViewState()); }

void TF_Main::restoreTabState() {
    TTabViewState v = tabViewState();
    if (!tandex::ui::restoreTabState(v)) return;
    const int type = engine::fccTabs().GetCurrentViewType();
    setActivePane(type, v.activePane);
    forceBinary_ = v.forceBinary;
    filterImage_ = v.filterImage;
    engine::paneStores().LongestLine = v.longestLines;
    ruleFixedKinds_ = v.ruleFixedKinds;
    singlePaneView_ = engine::paneStores().SinglePaneView != 0;
    setTopRow(type, v.topRow, viewRowCount(type));
}

int TF_Main::viewRowCount(int type) const {
    switch (type) {
    case vtFolder: return engine::folderRows().FolderRowCount;
    case vtText: return engine::rows().TextRowCount;
    case vtBinary: return engine::rows().BinaryRowCount;
    default: return 0;
    }
}

// ---- view switch ------------------------------------------------------------

void TF_Main::initViewFilter(int type, bool fresh) {
    if (!fresh) return;
    const auto& s = config::AppSettings();
    auto& r = engine::rows();
    switch (type) {
    case vtFolder: engine::folderRows().FolderViewFilter = s.FCDifOnly ? 2 : 0; break;
    case vtText: r.TextViewFilter = s.TCDifOnly ? 2 : 0; break;
    case vtBinary: r.BinaryViewFilter = s.BCDifOnly ? 2 : 0; break;
    default: return;
    }
    const bool filtered = type == vtFolder ? s.FCDifOnly : type == vtText ? s.TCDifOnly : s.BCDifOnly;
    filterImage_ = filtered ? 16 : 26;
    TB_FILTER->setProperty("ImageIndex", filterImage_);
}

void TF_Main::switchView(int type, bool fresh, bool save) {
    auto& tabs = engine::fccTabs();
    auto& stores = engine::paneStores();
    auto& r = engine::rows();
    auto& f = engine::folderRows();
    const auto& s = config::AppSettings();
    if (type != tabs.GetCurrentViewType() && tabs.SelectTabForViewType(type) >= 0 && !fresh) restoreTabState();
    if (save && fresh) saveTabState();
    initViewFilter(type, fresh);
    if (fresh) {
        if (type == vtFolder) f.RebuildFolderRows();
        if (type == vtText) r.FilterTextRows(r.TextViewFilter);
        if (type == vtBinary) r.FilterBinaryRows(r.BinaryViewFilter);
    }
    auto& editor = engine::editor();
    switch (type) {
    case vtFolder:
        editor.HideEditCaret();
        stores.SideAccessKinds[1] = quint8(folderView().FolderRootKind(1));
        stores.SideAccessKinds[2] = quint8(folderView().FolderRootKind(2));
        stores.FolderMode = 1;
        stores.BinaryMode = 0;
        r.CaretViewActive = 0;
        forceBinary_ = false;
        hScrollBar->setValue(1);
        hScrollBar->setSingleStep(1);
        hScrollBar->setMaximum(255);
        hScrollNeeded_ = !(f.TreeViewActive && !s.FCHScroll);
        r.UpdateLineNumberWidth(true);
        calcColumnLayout();
        break;
    case vtText:
    case vtBinary: {
        const bool binary = type == vtBinary;
        stores.FolderMode = 0;
        stores.BinaryMode = binary ? 1 : 0;
        r.CaretViewActive = 1;
        r.SelectSelectionMode(binary);
        editor.SetSelectionStart(-1, -1);
        hScrollBar->setValue(1);
        hScrollBar->setSingleStep(binary ? 3 : 1);
        imgFile1->hide();
        imgFile2->hide();
        // A pane shows its error panel only while its file failed to open.
        for (auto [pane, panel, memo] : {std::tuple<int, QWidget*, QWidget*>{1, P_LImage, M_LOpenErr},
                                         {2, P_RImage, M_ROpenErr}}) {
            const bool failed = stores.FileSizes[size_t(pane)] == -2;
            panel->setVisible(failed);
            memo->setVisible(failed);
        }
        if (binary) {
            hScrollBar->setMaximum(qMax(s.BCHEXBytes * 4, hScrollBar->pageStep()));
            hScrollNeeded_ = !f.TreeViewActive;
            editor.HideEditCaret();
        }
        break;
    }
    case vtImage:
        editor.HideEditCaret();
        stores.FolderMode = 0;
        stores.BinaryMode = 0;
        r.CaretViewActive = 0;
        M_LOpenErr->hide();
        M_ROpenErr->hide();
        hScrollBar->setMaximum(1100);
        hScrollBar->setPageStep(101);
        hScrollBar->setSingleStep(1);
        vScrollBar->hide();
        for (TFlatButton2* b : {fbLSelAll, fbRSelAll}) {
            b->SetCaption(QString());
            b->SetListID(17);
            b->SetImageID(0);
            b->SetStyle(BS_SPLIT);
        }
        for (QWidget* w : {static_cast<QWidget*>(imgFile1), static_cast<QWidget*>(imgFile2),
                           static_cast<QWidget*>(P_LImage), static_cast<QWidget*>(P_RImage)})
            w->show();
        break;
    default:
        // The free view shows no content of any kind.
        stores.FolderMode = 0;
        stores.BinaryMode = 0;
        break;
    }
    if (type != vtImage) {
        vScrollBar->show();
        for (TFlatButton2* b : {fbLSelAll, fbRSelAll}) {
            b->SetListID(16);
            b->SetStyle(BS_PUSH);
        }
    }
    const QColor panelColor = type == vtImage ? colorOf(s.ICBgCol) : QColor(Qt::white);
    fill(P_LImage, panelColor);
    fill(P_RImage, panelColor);
    singlePaneView_ = stores.SinglePaneView != 0;

    drawTabBar();
    r.UpdateLineNumberWidth(stores.FolderMode != 0);
    arrangeLayout(type);
    if (type == vtFolder || type == vtText || type == vtBinary) updateHScrollBar();
    if (type == vtImage) placeImagePanels(true);
    FormActivate();
    if (type == vtText || type == vtBinary) editor.CaretGoToPoint(tabs.GetTabCaret());
}

// ---- tab commands -----------------------------------------------------------

void TF_Main::P_TAB0Click(QObject* sender) {
    if (!controlsEnabled_ || Busy() || !sender) return;
    auto& tabs = engine::fccTabs();
    const int tab = sender->property("Tag").toInt();
    if (tab == tabs.CurrentTab || tab < 0 || tab >= engine::kTabSlotCount || !tabs.TabSlots[size_t(tab)].InUse)
        return;
    saveTabState();
    // switchView finds the tab by its view type: there is one tab per type.
    switchView(tabs.GetTabViewType(tab), false, false);
    afterTabChange();
}

void TF_Main::fbCloseTabClick(QObject* sender) {
    if (!controlsEnabled_ || Busy()) return;
    auto& tabs = engine::fccTabs();
    auto& stores = engine::paneStores();
    saveTabState();
    if (sender) {
        const int tab = sender->property("Tag").toInt();
        if (tab != tabs.CurrentTab && tab >= 0 && tab < engine::kTabSlotCount) {
            tabs.SetCurrentTab(tab);
            restoreTabState();
        }
    }
    if (!tabs.CurrentTabInUse()) return;
    const int type = tabs.GetCurrentViewType();
    if (type == vtFolder) {
        clearFolderView();
        stores.FolderMode = 0;
    } else {
        if (!askSaveModified(3)) return;
        // Recent file pairs: the pair waiting for T_HIST is gone with the tab.
        stopHistoryTimer();
        if (type == vtImage) {
            stores.ReleaseSideImage(1, true);
            stores.ReleaseSideImage(2, true);
            imgFile1->clear();
            imgFile2->clear();
        } else {
            auto& r = engine::rows();
            r.ClearLineSelection();
            stores.BinaryMode = type == vtBinary ? 1 : 0;
            stores.ResetSide(1, true);
            stores.ResetSide(2, true);
            if (type == vtBinary) {
                r.BinaryRowCount = 0;
            } else {
                r.TextRowCount = 0;
                engine::fuzzyProcessor().FuzzyClearMatrix();
            }
        }
        for (QWidget* w : {static_cast<QWidget*>(M_LOpenErr), static_cast<QWidget*>(M_ROpenErr),
                           static_cast<QWidget*>(P_LImage), static_cast<QWidget*>(P_RImage)})
            w->hide();
        stores.SinglePaneView = 0;
        singlePaneView_ = false;
    }
    tabs.RemoveCurrentTab();
    restoreTabState();
    switchView(tabs.GetCurrentViewType(), false, false);
    afterTabChange();
}

void TF_Main::afterTabChange() {
    const auto& stores = engine::paneStores();
    for (auto [pane, panel, memo] : {std::tuple<int, QWidget*, QWidget*>{1, P_LImage, M_LOpenErr},
                                     {2, P_RImage, M_ROpenErr}})
        if (stores.FileErrors[size_t(pane)] != 0 && ViewType() != vtFolder) {
            panel->show();
            memo->show();
        }
    refreshView();
    if (ViewType() == vtFree) {
        eLine1->clear();
        eLine2->clear();
    }
}

void TF_Main::resetSelectButtons(int bits) {
    const std::array<TFlatButton2*, 4> buttons{fbLSelNew, fbRSelNew, fbLSelAll, fbRSelAll};
    for (int i = 0; i < 4; ++i) {
        if (!(bits & (1 << i))) continue;
        TFlatButton2* b = buttons[size_t(i)];
        const int start = kSelectButtonStartTags[size_t(i)];
        if (b->property("Tag").toInt() == start) continue;
        b->setProperty("Tag", start);
        labelSelectButton(b);
    }
}

void TF_Main::labelSelectButton(TFlatButton2* button) {
    const TItemState face = selectButtonFace(button->property("Tag").toInt(), ViewType() == vtFolder);
    button->SetCaption(*face.caption);
    button->setToolTip(*face.hint);
    button->SetImageID(*face.image);
}

void TF_Main::clearFolderView() {
    engine::paneStores().ClearFolderEntries();
    engine::folderRows().FolderRowCount = 0;
    engine::editor().CaretToTop();
    hScrollBar->setValue(1);
    setTopRow(vtFolder, 1, 0);
    for (QLineEdit* e : {eFN1, eFN2}) e->clear();
    for (QLabel* l : {pAI1, pAI2}) l->clear();
    P_MID->update();
    update();
    HC1->viewport()->update();
    QApplication::processEvents();
}

void TF_Main::calcColumnLayout() {
    // The layout widens the left pane to the columns and the deepest
    // folder's indent.
    engine::folderRows().UpdateInfoColumns();
    arrangeLayout(ViewType());
}

}  // namespace tandex::ui
