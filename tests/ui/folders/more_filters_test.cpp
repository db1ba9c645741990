#include "ui/folders/more_filters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <ctime>
#include <limits>
#include <memory>

#include "config/app_settings.h"
#include "config/services.h"
#include "tests/ui/widget_harness.h"
#include "ui/folders/folder_compare.h"
#include "ui/main/qt_services.h"

using namespace tandex::folders;
namespace config = tandex::config;
namespace ui = tandex::ui;

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();

// ---- the filter value -------------------------------------------------------------

TEST(MoreFilterValue, WarningsTextsAndActiveFilters) {
    struct Case {
        const char* what;
        TMoreFilterValue value;
        bool sizeWarning, dateWarning, active;
        const char* smallerText;
    };
    auto v = [](auto change) {
        TMoreFilterValue value;
        change(value);
        return value;
    };
    const Case cases[] = {
        {"defaults", {}, false, false, false, "(< 0 Bytes)"},
        {"smaller 1 KiB, larger 1023 Bytes", v([](auto& x) {
             x.ExclSmaller = x.ExclLarger = true;
             x.Smaller = 1, x.SmallerUnit = 1, x.Larger = 1023;
         }),
         true, false, true, "(< 1.024 Bytes)"},
        {"equal sizes", v([](auto& x) {
             x.ExclSmaller = x.ExclLarger = true;
             x.Smaller = 1, x.SmallerUnit = 1, x.Larger = 1024;
         }),
         false, false, true, "(< 1.024 Bytes)"},
        {"contradiction with one size filter off", v([](auto& x) {
             x.ExclSmaller = true;
             x.Smaller = 5, x.Larger = 1;
         }),
         false, false, true, "(< 5 Bytes)"},
        {"older 10, newer 20 days", v([](auto& x) {
             x.ExclOlder = x.ExclNewer = x.UseDaysAgo = true;
             x.OlderDays = 10, x.NewerDays = 20;
         }),
         false, true, true, "(< 0 Bytes)"},
        {"older 20, newer 10 days", v([](auto& x) {
             x.ExclOlder = x.ExclNewer = x.UseDaysAgo = true;
             x.OlderDays = 20, x.NewerDays = 10;
         }),
         false, false, true, "(< 0 Bytes)"},
        {"newer date before older date", v([](auto& x) {
             x.ExclOlder = x.ExclNewer = true;
             x.OlderTS = 200, x.NewerTS = 100;
         }),
         false, true, true, "(< 0 Bytes)"},
        {"excluded folders only", v([](auto& x) { x.ExcludedFolders = "tmp"; }), false, false, true, "(< 0 Bytes)"},
        {"9,000,000 TiB saturates", v([](auto& x) {
             x.ExclSmaller = x.ExclLarger = true;
             x.Smaller = 9'000'000, x.SmallerUnit = 4, x.Larger = 1, x.LargerUnit = 4;
         }),
         true, false, true, "(< 9.223.372.036.854.775.807 Bytes)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.value.SizeWarning(), c.sizeWarning);
        EXPECT_EQ(c.value.DateWarning(), c.dateWarning);
        EXPECT_EQ(c.value.HasActiveFilter(), c.active);
        EXPECT_EQ(c.value.SmallerText(), c.smallerText);
    }
    for (int group = 0; group < 7; ++group)
        for (int choice : {1, 2}) {
            TMoreFilterValue value;
            value.Attributes[group] = choice;
            EXPECT_TRUE(value.HasActiveFilter()) << group << " " << choice;
        }
}

TEST(MoreFilterValue, SizeLimitsSaturateInsteadOfWrapping) {
    EXPECT_EQ(FilterSizeBytes(1023, 0), 1023);
    EXPECT_EQ(FilterSizeBytes(3, 4), qint64(3) << 40);
    EXPECT_EQ(FilterSizeBytes(8'388'607, 4), qint64(8'388'607) << 40);
    EXPECT_EQ(FilterSizeBytes(8'388'608, 4), kMax);
    EXPECT_EQ(FilterSizeBytes(9'000'000, 4), kMax);
    EXPECT_EQ(FilterSizeBytes(std::numeric_limits<int>::max(), 9), kMax);

    // The pre-scan's limits use the same product.
    QTemporaryDir dir;
    auto& s = config::AppSettings();
    s.SetDefaults(dir.path() + "/");
    s.FCExclLarger = true;
    s.FCLarger = 9'000'000;
    s.FCLargerUnit = 4;
    const auto filter = MakeFolderFilter("*", "", "");
    EXPECT_EQ(filter->LargerThan, kMax);
    EXPECT_TRUE(filter->SizeAndTimePass(qint64(1) << 60, tandex::access::FileTime(0)));
    s.SetDefaults(dir.path() + "/");
}

// ---- the panel's controls ---------------------------------------------------------

qint64 fileTimeOfUtc(const QDateTime& utc) { return utc.toMSecsSinceEpoch() * 10'000 + 116'444'736'000'000'000; }

void useZone(const char* zone) {
    if (zone)
        qputenv("TZ", zone);
    else
        qunsetenv("TZ");
    ::tzset();
}

class MoreFiltersPanelTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        config::AppSettings().SetDefaults(dir_.path() + "/");
        config::setEventPump(&pump_);
        owner_ = std::make_unique<QWidget>();
        owner_->setGeometry(100, 100, 580, 460);
        combo_ = new QComboBox(owner_.get());
        combo_->setEditable(true);
        panel_ = new TF_CmpSettingsExt(owner_.get(), combo_);
        panel_->OnFiltersChanged = [this](const QString&) { ++changes_; };
        Watch(panel_);
    }
    void TearDown() override {
        WidgetTest::TearDown();
        owner_.reset();
        config::setEventPump(nullptr);
        config::AppSettings().SetDefaults(dir_.path() + "/");
    }
    static QToolButton* arrow(QWidget* upDown, const char* name) {
        return upDown->findChild<QToolButton*>(QLatin1String(name));
    }

    QTemporaryDir dir_;
    ui::QtEventPump pump_;
    std::unique_ptr<QWidget> owner_;
    QComboBox* combo_ = nullptr;
    TF_CmpSettingsExt* panel_ = nullptr;
    int changes_ = 0;
};

TEST_F(MoreFiltersPanelTest, EditsTakeDigitsOnlyAndKeepTheirLimits) {
    auto& s = config::AppSettings();
    s.FCExclOlder = true;
    s.FCUseDaysAgo = true;
    s.FCExclSmaller = true;
    s.FCSmaller = 7;
    panel_->LoadControls();

    panel_->E_FCOlderDays->clear();
    QTest::keyClicks(panel_->E_FCOlderDays, "2x00000");
    EXPECT_EQ(panel_->E_FCOlderDays->text(), "150000");
    EXPECT_EQ(s.FCOlderDays, 150000);

    panel_->E_FCOlderDays->setText("0");
    QTest::mouseClick(arrow(panel_->UD_Older, "Down"), Qt::LeftButton);
    EXPECT_EQ(panel_->E_FCOlderDays->text(), "0");
    QTest::mouseClick(arrow(panel_->UD_Older, "Up"), Qt::LeftButton);
    EXPECT_EQ(panel_->E_FCOlderDays->text(), "1");
    EXPECT_EQ(s.FCOlderDays, 1);

    // An empty size edit is not a change; the next digit is.
    const int before = changes_;
    panel_->E_SmallerSize->clear();
    EXPECT_EQ(changes_, before);
    EXPECT_EQ(s.FCSmaller, 7);
    QTest::keyClicks(panel_->E_SmallerSize, "3");
    EXPECT_EQ(changes_, before + 1);
    EXPECT_EQ(s.FCSmaller, 3);

    // A number too large for the setting is not applied and not reported.
    panel_->E_SmallerSize->setText("99999999999");
    EXPECT_EQ(changes_, before + 1);
    EXPECT_EQ(s.FCSmaller, 3);
}

TEST_F(MoreFiltersPanelTest, ContradictorySizesShowTheWarningAndItsHint) {
    auto& s = config::AppSettings();
    s.FCExclSmaller = s.FCExclLarger = true;
    s.FCSmaller = 1;
    s.FCSmallerUnit = 1;
    s.FCLarger = 1023;
    panel_->LoadControls();
    panel_->show();
    EXPECT_FALSE(panel_->ShowFilterInfo());
    EXPECT_TRUE(panel_->I_SizeWarning->isVisible());
    EXPECT_EQ(panel_->GB_SizeFilter->toolTip(), kSizeWarningHint);
    EXPECT_EQ(panel_->L_SmalerSize->text(), "(< 1.024 Bytes)");
    EXPECT_EQ(panel_->L_LargerSize->text(), "(> 1.023 Bytes)");
    QTest::keyClick(panel_->E_LargerSize, Qt::Key_4);  // 10234 bytes
    EXPECT_FALSE(panel_->I_SizeWarning->isVisible());
    EXPECT_TRUE(panel_->GB_SizeFilter->toolTip().isEmpty());
    EXPECT_TRUE(panel_->HasActiveFilter());
}

TEST_F(MoreFiltersPanelTest, DatePickersTurnLocalTimeIntoUtcFileTimesAcrossDaylightSaving) {
    useZone("Europe/Berlin");
    auto& s = config::AppSettings();
    s.FCExclOlder = true;
    s.FCUseDaysAgo = false;
    s.FCOlderTS = 0;
    panel_->LoadControls();
    const QDateTime shown(panel_->dFCOlderTS->date(), panel_->tFCOlderTS->time());
    EXPECT_LE(qAbs(shown.secsTo(QDateTime::currentDateTime())), 5);
    ASSERT_TRUE(panel_->ApplyControls());
    EXPECT_LE(qAbs(s.FCOlderTS - fileTimeOfUtc(QDateTime::currentDateTimeUtc())), 50'000'000);

    // Berlin leaves winter time on 2026-03-29 at 02:00.
    const struct {
        QDate date;
        int utcHour;
    } days[] = {{QDate(2026, 3, 28), 11}, {QDate(2026, 3, 29), 10}};
    for (const auto& d : days) {
        panel_->dFCOlderTS->setDate(d.date);
        panel_->tFCOlderTS->setTime(QTime(12, 0, 0));
        ASSERT_TRUE(panel_->ApplyControls());
        EXPECT_EQ(s.FCOlderTS, fileTimeOfUtc(QDateTime(d.date, QTime(d.utcHour, 0), Qt::UTC)))
            << qPrintable(d.date.toString());
        panel_->LoadControls();
        EXPECT_EQ(panel_->tFCOlderTS->time(), QTime(12, 0, 0));
    }
    useZone(nullptr);
}

TEST_F(MoreFiltersPanelTest, AttributeRadiosWriteTheirChoicesInOrder) {
    panel_->LoadControls();
    panel_->AttrRadios[0][1]->setChecked(true);  // archive of files: exclude if set
    panel_->AttrRadios[6][2]->setChecked(true);  // system of folders: exclude if not set
    auto& s = config::AppSettings();
    EXPECT_EQ(s.FCExclArchive, 1);
    EXPECT_EQ(s.FCExclSystemD, 2);
    EXPECT_EQ(s.FCExclHiddenF, 0);
    EXPECT_EQ(changes_, 2);
    EXPECT_EQ(panel_->AttrRadios[6][2]->objectName(), "RB_NDS");
}

// ---- sliding ----------------------------------------------------------------------

TEST_F(MoreFiltersPanelTest, OpeningDuringASlideOutReversesItAfterTheDeferral) {
    owner_->show();
    panel_->SlideIn();
    EXPECT_TRUE(panel_->IsShown());
    EXPECT_EQ(panel_->x(), panel_->DockedLeft());

    // Asked to open while it slides out: the slide-out stops, the panel
    // stays, and the deferred opening docks it again.
    QTimer::singleShot(0, panel_, [this] { panel_->SlideIn(); });
    panel_->SlideOut(false);
    EXPECT_TRUE(panel_->isVisible());
    EXPECT_EQ(panel_->timCancelSlide->property("Tag").toInt(), 1);
    ASSERT_TRUE(panel_->timCancelSlide->isActive());
    panel_->timCancelSlide->stop();
    panel_->timCancelSlideTimer();
    EXPECT_TRUE(panel_->IsShown());
    EXPECT_TRUE(panel_->isVisible());
    EXPECT_EQ(panel_->x(), panel_->DockedLeft());

    panel_->SlideOut(true);
    EXPECT_FALSE(panel_->isVisible());
    EXPECT_FALSE(panel_->IsShown());
}

}  // namespace
