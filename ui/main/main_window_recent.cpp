// The recently compared file pairs of the File menu: the pending pair the
// start-up reloads, the list the loads feed, the 30-second wait before a
// new pair of two different files counts, and loading a pair again.

#include <QAction>
#include <QFontMetrics>
#include <QMenu>
#include <QTimer>

#include "config/app_settings.h"
#include "config/sys_helpers.h"
#include "engine/pane_stores.h"
#include "flat_button.h"
#include "main_window.h"
#include "recent_pairs.h"

namespace tandex::ui {

namespace {

constexpr int kHistoryDelayMs = 30000;
constexpr int kPairMenuImage = 12;

}  // namespace

void TF_Main::createCloseControls() {
    T_HIST = new QTimer(this);
    T_HIST->setObjectName(QStringLiteral("T_HIST"));
    T_HIST->setInterval(kHistoryDelayMs);
    connect(T_HIST, &QTimer::timeout, this, [this] { T_HISTTimer(); });

    LastUsedFiles1 = findChild<QAction*>(QStringLiteral("LastUsedFiles1"));
    if (LastUsedFiles1) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("LastUsedFiles1Menu"));
        LastUsedFiles1->setMenu(menu);
        LastUsedFiles1->setProperty("Built", true);
        LastUsedFiles1->setVisible(true);
    }
    // The folder pairs run a folder comparison; their menu stays hidden
    // until that comparison exists.

    mmSwapFiles1 = findChild<QAction*>(QStringLiteral("mmSwapFiles1"));
    if (mmSwapFiles1) {
        mmSwapFiles1->setProperty("Built", true);
        mmSwapFiles1->setVisible(true);
        connect(mmSwapFiles1, &QAction::triggered, this, [this] { mmSwapFiles1Click(mmSwapFiles1); });
    }
    fbSWAP->OnClick = [this](QObject* sender) { mmSwapFiles1Click(sender); };
}

config::TFilePair TF_Main::currentPair() const {
    const auto& stores = engine::paneStores();
    return {stores.FilePaths[1], stores.FilePaths[2], stores.FileNames[1], stores.FileNames[2]};
}

void TF_Main::storePendingPair() { StorePendingPair(config::AppSettings().AFHist, currentPair()); }

void TF_Main::recordRecentPair() {
    const auto action = RecordAction(config::AppSettings().AFHist, currentPair());
    if (action == raNothing) return;
    // The pair the timer waited for is no longer the one shown.
    stopHistoryTimer();
    if (action == raNow) {
        storeRecentPair();
    } else {
        historyPending_ = true;
        T_HIST->start();
    }
}

void TF_Main::storeRecentPair() {
    const auto pair = currentPair();
    if (!PairComplete(pair)) return;
    StoreRecentPair(config::AppSettings().AFHist, pair);
    buildFilePairMenu();
}

void TF_Main::stopHistoryTimer() {
    T_HIST->stop();
    historyPending_ = false;
}

void TF_Main::T_HISTTimer() {
    // A load still running changes the pair: wait for the next tick.
    if (loading_ || Busy()) return;
    stopHistoryTimer();
    storeRecentPair();
}

void TF_Main::buildFilePairMenu() {
    if (!LastUsedFiles1 || !LastUsedFiles1->menu()) return;
    QMenu* menu = LastUsedFiles1->menu();
    menu->clear();
    const QFontMetrics fm(menu->font());
    const auto items = FilePairMenuItems(config::AppSettings().AFHist,
                                         [&fm](const QString& t) { return fm.horizontalAdvance(t); },
                                         config::ScaleDpi(400));
    QImage image;
    const bool hasImage = loadBMPFunc(16, kPairMenuImage, image);
    for (const auto& entry : items) {
        QAction* item = menu->addAction(entry.caption);
        item->setObjectName(QStringLiteral("FP") + QString::number(entry.index));
        if (hasImage) item->setIcon(QIcon(QPixmap::fromImage(image)));
        connect(item, &QAction::triggered, this, [this, item] { FPClick1(item); });
    }
    if (items.empty()) menu->addAction(QStringLiteral("Empty"))->setEnabled(false);
}

void TF_Main::FPClick1(QObject* sender) {
    if (Busy() || !controlsEnabled_) return;
    // Without a sender: the pair of the last load before the previous exit.
    int index = kPendingPair;
    if (sender) {
        bool ok = false;
        index = sender->objectName().mid(2).toInt(&ok);
        if (!ok || index < 0 || index > kPendingPair) return;
    }
    const config::TFilePair pair = config::AppSettings().AFHist[size_t(index)];
    if (!PairComplete(pair)) return;
    // Both panes are replaced: their unsaved edits are offered first.
    if (!askSaveModified(3)) return;
    if (singlePaneView_) {
        // The load below fills both panes anew, so leaving the single view
        // needs no recompare of the old text.
        engine::paneStores().SinglePaneView = 0;
        singlePaneView_ = false;
        P_MID->setVisible(true);
    }
    saveTabState();
    loadAndCompare(3, PairSidePath(pair, 1), PairSidePath(pair, 2));
    // A pair further down moves to the top, once it is what the panes show.
    if (index >= 1 && index < kListedPairs && SamePair(currentPair(), pair)) storeRecentPair();
}

}  // namespace tandex::ui
