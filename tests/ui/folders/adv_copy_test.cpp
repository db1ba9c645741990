// The copy window offscreen: its set-up view, and runs on real files in a
// temporary folder with the display clock stepped by the test.

#include "ui/folders/adv_copy.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include "access/access_slots.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/qt_services.h"

using namespace tandex::folders;
namespace acc = tandex::access;
namespace config = tandex::config;
namespace ui = tandex::ui;

namespace {

quint32 colorOf(const QLabel* label) {
    const QColor c = label->palette().color(QPalette::WindowText);
    return quint32(c.red()) | quint32(c.green()) << 8 | quint32(c.blue()) << 16;
}

// The window with a look at every display update of the engine.
struct ProbedCopy : TAdvCopy {
    std::function<void()> onDisplay;
    void UpdateDisplay(const TCopyEngine& engine) override {
        TAdvCopy::UpdateDisplay(engine);
        if (onDisplay) onDisplay();
    }
};

class AdvCopyTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        saved = config::AppSettings();
        config::TPrgDirSources sources;
        sources.executablePath = tmp.filePath("bin/tandex");
        sources.configHome = tmp.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        QDir().mkpath(config::PrgDir().GetWritableRoot());
        config::setEventPump(&pump);
        config::setMessageSink(&sink);
        config::SetBinarySizeUnits(false);
        config::SetSizeDecimalChar(',');
        auto& s = config::AppSettings();
        s.CSBufSize = 0;
        s.CSNumDatBuf = 8;
        s.CSGenLog = false;
        s.CSAutoClose = false;
        s.CSGraph = false;
        s.CSOverWrite = true;
        s.ESMaxRetry = 0;
        s.CFT = -1;
        QDir().mkpath(tmp.filePath("src"));
        QDir().mkpath(tmp.filePath("dst"));
        window = std::make_unique<ProbedCopy>();
        window->Clock = [this] { return clock; };
        Watch(window.get());
    }
    void TearDown() override {
        WidgetTest::TearDown();
        window.reset();
        acc::FZClearFaults();
        config::setMessageSink(nullptr);
        config::setEventPump(nullptr);
        config::AppSettings() = saved;
        config::SetPrgDir(nullptr);
    }
    QString src() const { return tmp.filePath("src/"); }
    QString dst() const { return tmp.filePath("dst/"); }
    void put(const QString& name, qint64 size) {
        QFile f(src() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray data(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i) data[i] = char(i * 7 + (i >> 9));
        f.write(data);
    }
    // The set-up view of a prepared job list with the destination space given.
    void showSetup(qint64 total, qint64 replaced, qint64 free, const QString& root = "/data/") {
        window->Prepare(1);
        window->AddJob(src(), "a", total, 0, "a", dst());
        window->TotalBytes() = total;
        window->ReplacedBytes() = replaced;
        window->Engine().FreeSpace = free;
        window->Engine().DestIsFtp = false;
        window->DestRoot = root;
        window->ShowSetup();
    }

    QTemporaryDir tmp;
    config::TAppSettings saved;
    ui::QtEventPump pump;
    config::RecordingMessageSink sink;
    std::unique_ptr<ProbedCopy> window;
    qint64 clock = 1000;
};

TEST_F(AdvCopyTest, TheSetUpViewShowsTheSpaceItNeedsOrReleases) {
    TAdvCopy& w = *window;
    showSetup(3000, 1000, 1 << 30);
    EXPECT_EQ(w.L_CIDestPath->text(), "/data");
    EXPECT_EQ(w.L_CINumFiles->text(), "1");
    EXPECT_EQ(w.L_CINeededBytesTxt->text(), "Needed space at destination volume:");
    EXPECT_EQ(w.L_CINeededBytes->text(), config::FormatSizeShort(2000));
    EXPECT_EQ(colorOf(w.L_CINeededBytes), 0x800080u);
    EXPECT_FALSE(w.timFlash->isActive());
    EXPECT_TRUE(w.fbOk->Enabled());
    EXPECT_EQ(w.fbOk->Caption(), "Start");
    EXPECT_FALSE(w.P_ACInfo->isVisible());
    tandex::testing::GrabToPng(&w, "AdvCopy.SetUpView");

    // Replacing more than is copied frees space.
    showSetup(1000, 5000, 1 << 30);
    EXPECT_EQ(w.L_CINeededBytesTxt->text(), "Released space at destination volume:");
    EXPECT_EQ(w.L_CINeededBytes->text(), config::FormatSizeShort(4000));
    EXPECT_EQ(colorOf(w.L_CINeededBytes), 0x808000u);
    EXPECT_EQ(colorOf(w.L_CINeededBytesTxt), 0x808000u);

    // No destination text: the side's folders.
    showSetup(10, 0, 100, "");
    EXPECT_EQ(w.L_CIDestPath->text(), "[Left side folders]");

    // The track bar names its buffer size.
    for (const auto& [index, name] : {std::pair{0, "32KiB"}, std::pair{7, "4MiB"}, std::pair{2, "128KiB"}}) {
        w.TB_MaxBuf->setValue(index);
        EXPECT_EQ(w.L_CurBufSize->text(), name);
        EXPECT_EQ(config::AppSettings().CSBufSize, index);
    }
}

TEST_F(AdvCopyTest, ShortSpaceFlashesAndNoSpaceDisablesStart) {
    TAdvCopy& w = *window;
    showSetup(5000, 0, 4000);
    ASSERT_TRUE(w.timFlash->isActive());
    EXPECT_TRUE(w.fbOk->Enabled()) << "short space is only shown";
    w.timFlash->setInterval(150);
    w.timFlashTimer();
    EXPECT_EQ(colorOf(w.L_CIFreeBytes), 255u);
    EXPECT_EQ(colorOf(w.L_CINeededBytes), 0u);
    EXPECT_EQ(w.timFlash->interval(), 250);
    w.timFlashTimer();
    EXPECT_EQ(colorOf(w.L_CIFreeBytes), 0u);
    EXPECT_EQ(colorOf(w.L_CINeededBytesTxt), 255u);

    showSetup(5000, 0, 0);
    EXPECT_FALSE(w.fbOk->Enabled());
}

TEST_F(AdvCopyTest, AttributeOnlyShowsNoBytesAndDisablesItsControls) {
    TAdvCopy& w = *window;
    showSetup(5000, 0, 1 << 30);
    w.CB_AttrOnly->click();
    EXPECT_EQ(w.L_CINumBytes->text(), "0 Byte");
    EXPECT_EQ(w.L_CIAFSize->text(), "0 Byte");
    EXPECT_EQ(w.L_CINeededBytes->text(), "0 Byte");
    for (QWidget* c : std::initializer_list<QWidget*>{w.CB_OverWrite, w.CB_CpyEmptyFile, w.CB_DisRdCache,
                                                      w.CB_DisWrCache, w.TB_MaxBuf})
        EXPECT_FALSE(c->isEnabled()) << qPrintable(c->objectName());
    EXPECT_TRUE(w.CB_AttrOnly->font().bold());
    w.CB_AttrOnly->click();
    EXPECT_EQ(w.L_CINumBytes->text(), config::FormatSizeShort(5000));
    EXPECT_TRUE(w.TB_MaxBuf->isEnabled());

    w.CB_CopyAttr->setChecked(false);
    w.CB_CopyAttrClick();
    EXPECT_EQ(w.CB_AttrOnly->text(), "Copy only source-file timestamps (no content!)");
}

TEST_F(AdvCopyTest, AnFtpDestinationHasUnknownFreeSpaceAndMayStart) {
    TAdvCopy& w = *window;
    w.Prepare(1);
    w.AddJob(src(), "a", 10, 0, "a", "ftp://user@host/dir/");
    w.TotalBytes() = 10;
    QString free;
    bool startEnabled = false;
    w.OnWait = [&] {
        free = w.L_CIFreeBytes->text();
        startEnabled = w.fbOk->Enabled();
        w.fbCancelClick();
    };
    w.Execute(1, "ftp://user@host/");
    EXPECT_EQ(free, "unknown");
    EXPECT_TRUE(startEnabled);
    EXPECT_FALSE(w.isVisible()) << "Cancel in the set-up view ends without a run";
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Tandex");
}

// A run of two files, the second of which cannot be read: the display at
// mid-run and the finished window with its error count.
TEST_F(AdvCopyTest, ARunShowsItsProgressAndAReadError) {
    TAdvCopy& w = *window;
    put("big.bin", 32768 * 6);
    put("bad.bin", 32768 * 2);
    w.Prepare(1);
    w.AddJob(src(), "big.bin", 32768 * 6, 0, "big.bin", dst());
    w.AddJob(src(), "bad.bin", 32768 * 2, 1, "bad.bin", dst());
    w.TotalBytes() = 32768 * 8;

    QStringList titles;
    QString midCaption, errorText, remaining, elapsed, prio;
    bool grabbed = false;
    int stage = 0;
    w.OnWait = [&] {
        if (stage == 0) {
            ++stage;
            tandex::testing::PressFlatButton(&w, "fbOk");
            return;
        }
        // The finished window.
        errorText = w.L_ErrCntLF->text();
        titles << QGuiApplication::applicationDisplayName();
        tandex::testing::GrabToPng(&w, "AdvCopy.RunWithReadError");
        tandex::testing::PressFlatButton(&w, "fbOk");
    };
    // Once the writer wrote its first bytes, the display ticks through two
    // seconds and the running view is grabbed.
    window->onDisplay = [&] {
        if (grabbed || w.Engine().TotalBytesWritten.load() == 0) return;
        grabbed = true;
        for (int i = 0; i < 20; ++i) {
            clock += 100;
            w.timDispUpdTimer();
        }
        midCaption = w.windowTitle();
        remaining = w.L_RemainingTime->text();
        elapsed = w.L_ElapsedTime->text();
        prio = w.L_Prio->text();
        tandex::testing::GrabToPng(&w, "AdvCopy.Running");
    };
    // Six full reads and the empty one end the big file; the first read of
    // the second fails, and without retries it is given up.
    acc::FZInjectFault(0, acc::foRead, 8, 23);
    w.Execute(1, dst());

    EXPECT_TRUE(grabbed);
    EXPECT_TRUE(midCaption.startsWith(" Copy ")) << qPrintable(midCaption);
    EXPECT_EQ(elapsed, config::SecondsToHMS(2));
    EXPECT_FALSE(remaining.isEmpty());
    EXPECT_FALSE(prio.isEmpty());
    EXPECT_EQ(errorText, "1 Read\nerror");
    EXPECT_EQ(titles, QStringList{"TDX (copy completed)"});
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Tandex");
    EXPECT_FALSE(w.isVisible());
    QFile copied(dst() + "big.bin");
    EXPECT_EQ(copied.size(), 32768 * 6);
    EXPECT_FALSE(QFile::exists(dst() + "bad.bin"));
    EXPECT_EQ(w.Engine().ErrorCount, 1);
}

}  // namespace
