// The plug-in page: new, saved, overwritten and deleted converter entries,
// their check marks, the full list, the location check, the parameter
// menu, the questions about unsaved changes, the refused ";", and an entry
// made here converting a file in the main window.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTimer>

#include "access/access_slots.h"
#include "config/app_settings.h"
#include "engine/pane_stores.h"
#include "tests/ui/settings/answering_sink.h"
#include "tests/ui/settings/settings_dialog_fixture.h"
#include "ui/main/flat_button.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
namespace settings = tandex::settings;
using settings::TF_SettingsNew;

namespace {

class PlugInPageTest : public tandex::testing::SettingsDialogFixture {
protected:
    void SetUp() override {
        SettingsDialogFixture::SetUp();
        config::setMessageSink(&answers_);
        for (auto& e : config::AppSettings().PIConfig) e.clear();
        config::AppSettings().PIConfigIdx = 0;
    }

    static void entries(const QStringList& records) {
        auto& s = config::AppSettings();
        for (int i = 0; i < records.size(); ++i) s.PIConfig[size_t(i)] = records[i];
    }
    static QString entry(const char* name, const char* enabled = "1") {
        return QStringLiteral("%1;*.%1;$srcfile;/bin/%1;0;0;0;%2;;").arg(QLatin1String(name), QLatin1String(enabled));
    }
    TF_SettingsNew& page() {
        TF_SettingsNew& d = dialog();
        d.SelectPage(19, 0);
        return d;
    }
    static void fill(TF_SettingsNew& d, const QString& name, const QString& filter, const QString& parameters,
                     const QString& location) {
        d.E_PIName->setText(name);
        d.E_PIFileFilter->setText(filter);
        d.E_PIParameters->setText(parameters);
        d.E_PILocation->setText(location);
    }
    static QStringList items(const TF_SettingsNew& d) {
        QStringList out;
        for (int i = 0; i < d.LB_PIList->count(); ++i)
            out << d.LB_PIList->item(i)->text() + (d.LB_PIList->item(i)->checkState() == Qt::Checked ? "+" : "-");
        return out;
    }
    QString executable(const QString& name, const QByteArray& body) {
        const QString path = tmp_.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(body);
        f.close();
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        return path;
    }

    tandex::testing::AnsweringSink answers_;
};

TEST_F(PlugInPageTest, ANewEntryIsStoredWithCommasInItsFilterAndShownWithSemicolons) {
    TF_SettingsNew& d = page();
    d.FB_PINewClick();
    EXPECT_EQ(d.E_PIParameters->text(), QStringLiteral("$srcfile"));
    EXPECT_EQ(d.ePiSuccess->text(), QStringLiteral("0"));
    EXPECT_FALSE(d.FB_PISave->Enabled());
    fill(d, "PDF", "*.pdf;*.PDF", "$srcfile", "$appdir/pdftotext");
    ASSERT_TRUE(d.FB_PISave->Enabled());
    d.FB_PISaveClick(d.FB_PISave);

    const auto& s = config::AppSettings();
    EXPECT_EQ(s.PIConfig[0], QStringLiteral("PDF;*.pdf,*.PDF;$srcfile;$appdir/pdftotext;0;0;0;1;;"));
    EXPECT_TRUE(s.PIConfig[1].isEmpty());
    EXPECT_EQ(d.plugInFlags, QStringLiteral("1;"));
    EXPECT_EQ(items(d), QStringList{QStringLiteral(" 1: PDF+")});
    EXPECT_EQ(d.LB_PIList->currentRow(), 0);
    EXPECT_FALSE(d.FB_PISave->Enabled());
    EXPECT_FALSE(d.plugInModified());
    EXPECT_TRUE(d.FB_PIDelete->Enabled());

    d.E_PIFileFilter->clear();
    d.LB_PIListClick(nullptr);
    EXPECT_EQ(d.E_PIFileFilter->text(), QStringLiteral("*.pdf;*.PDF"));
    EXPECT_TRUE(answers_.asked.empty());
}

// A ";" in any field but the filter would shift the fields behind it.
TEST_F(PlugInPageTest, SaveRefusesASemicolonOutsideTheFilterAndStoresNothing) {
    entries({entry("a")});
    TF_SettingsNew& d = page();
    const struct {
        const char* field;
        const char* text;
    } cases[] = {{"E_PIName", "x;y"},        {"E_PIParameters", "$srcfile;rm"}, {"E_PILocation", "/bin/a;b"},
                 {"ePiSuccess", "0;1"},      {"eORPiSuccess", "1;"}};
    for (const auto& c : cases) {
        d.LB_PIListClick(nullptr);
        answers_.asked.clear();
        d.control<QLineEdit>(c.field)->setText(QLatin1String(c.text));
        d.FB_PISaveClick(d.FB_PISave);
        ASSERT_EQ(answers_.asked.size(), 1u) << c.field;
        EXPECT_EQ(answers_.asked[0].caption, QStringLiteral(" Save plug-in configuration "));
        EXPECT_EQ(answers_.asked[0].text,
                  QStringLiteral("The character \";\" is not allowed in the name, parameters, location or success "
                                 "codes!"));
        EXPECT_EQ(config::AppSettings().PIConfig[0], entry("a")) << c.field;
        EXPECT_TRUE(config::AppSettings().PIConfig[1].isEmpty()) << c.field;
        EXPECT_TRUE(d.plugInModified()) << c.field;
    }
}

TEST_F(PlugInPageTest, ASameNameSaveAsksAndOverwritesOnlyTheOtherEntry) {
    entries({entry("a", "0"), entry("b")});
    TF_SettingsNew& d = page();
    d.LB_PIList->setCurrentRow(1);
    d.E_PIName->setText(QStringLiteral("a"));
    d.E_PIParameters->setText(QStringLiteral("-x $srcfile"));

    answers_.answers = {config::mrNo};
    d.FB_PISaveClick(d.FB_PISave);
    ASSERT_EQ(answers_.asked.size(), 1u);
    EXPECT_EQ(answers_.asked[0].text, QStringLiteral("A plug-in configuration with the same name already exist!\r\r"
                                                     "Overwrite this existing plug-in configuration?"));
    EXPECT_EQ(answers_.asked[0].defaultResult, config::mrNo);
    EXPECT_EQ(config::AppSettings().PIConfig[0], entry("a", "0"));
    EXPECT_EQ(config::AppSettings().PIConfig[1], entry("b"));

    answers_.answers = {config::mrYes};
    d.FB_PISaveClick(d.FB_PISave);
    // The other entry takes the fields and keeps its own check mark.
    EXPECT_EQ(config::AppSettings().PIConfig[0], QStringLiteral("a;*.b;-x $srcfile;/bin/b;0;0;0;0;;"));
    EXPECT_EQ(config::AppSettings().PIConfig[1], entry("b"));
    EXPECT_EQ(config::AppSettings().PIConfigIdx, 0);
    EXPECT_EQ(d.LB_PIList->currentRow(), 0);
    EXPECT_EQ(items(d), (QStringList{" 1: a-", " 2: b+"}));
}

TEST_F(PlugInPageTest, CheckMarksWaitInTheFlagsAndFollowTheirEntriesOnDelete) {
    entries({entry("a"), entry("b", "0"), entry("c")});
    TF_SettingsNew& d = page();
    EXPECT_EQ(d.plugInFlags, QStringLiteral("1;0;1;"));
    d.LB_PIList->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(d.plugInFlags, QStringLiteral("1;0;0;"));
    EXPECT_EQ(config::AppSettings().PIConfig[2], entry("c"));  // until "Ok" or "Apply"
    d.LB_PIList->item(2)->setCheckState(Qt::Checked);

    config::AppSettings().CFDelConfig = true;
    d.LB_PIList->setCurrentRow(0);
    answers_.answers = {config::mrNo};
    d.FB_PIDeleteClick();
    ASSERT_EQ(answers_.asked.size(), 1u);
    EXPECT_EQ(answers_.asked[0].caption, QStringLiteral(" Delete plug-in configuration "));
    EXPECT_EQ(answers_.asked[0].text, QStringLiteral("Delete this plug-in configuration?"));
    EXPECT_EQ(d.LB_PIList->count(), 3);

    answers_.answers = {config::mrYes};
    d.FB_PIDeleteClick();
    const auto& s = config::AppSettings();
    EXPECT_EQ(s.PIConfig[0], entry("b", "0"));
    EXPECT_EQ(s.PIConfig[1], entry("c"));
    EXPECT_TRUE(s.PIConfig[2].isEmpty());
    EXPECT_EQ(d.plugInFlags, QStringLiteral("0;1;"));
    EXPECT_EQ(items(d), (QStringList{" 1: b-", " 2: c+"}));
    EXPECT_EQ(d.E_PIName->text(), QStringLiteral("b"));
    EXPECT_TRUE(d.FB_PIDelete->Enabled());

    // The last entry: the one before it is shown next.
    d.LB_PIList->setCurrentRow(1);
    config::AppSettings().CFDelConfig = false;
    d.FB_PIDeleteClick();
    EXPECT_EQ(items(d), (QStringList{" 1: b-"}));
    EXPECT_EQ(d.E_PIName->text(), QStringLiteral("b"));
}

TEST_F(PlugInPageTest, TwentyEntriesFillTwoColumnsAndDisableNew) {
    QStringList twenty;
    for (int i = 0; i < 20; ++i) twenty << entry(qPrintable(QStringLiteral("p%1").arg(i)));
    entries(twenty.mid(0, 10));
    TF_SettingsNew& d = page();
    const int listWidth = d.LB_PIList->width();
    EXPECT_GT(d.LB_PIList->gridSize().width(), listWidth / 2);
    EXPECT_FALSE(d.L_PIMaxConfig->isVisible());
    EXPECT_TRUE(d.FB_PINew->Enabled());

    entries(twenty);
    d.fillPlugInList(true);
    EXPECT_LE(d.LB_PIList->gridSize().width(), listWidth / 2);
    EXPECT_TRUE(d.L_PIMaxConfig->isVisible());
    EXPECT_EQ(d.L_PIMaxConfig->text(), QStringLiteral("No furter configuration possible!"));
    EXPECT_FALSE(d.FB_PINew->Enabled());
    // The last of a second column is on the page, beside the first.
    const QRect first = d.LB_PIList->visualItemRect(d.LB_PIList->item(0));
    const QRect last = d.LB_PIList->visualItemRect(d.LB_PIList->item(19));
    EXPECT_GT(last.left(), first.right());
    EXPECT_TRUE(d.LB_PIList->viewport()->rect().contains(last)) << last.x() << "," << last.y();
    EXPECT_FALSE(tandex::testing::GrabToPng(&d, QStringLiteral("PlugInPage.TwentyEntries")).isEmpty());
}

TEST_F(PlugInPageTest, TheLocationIsLookedUpAsTheConverterRunDoes) {
    executable("bin/onpath-tool", "#!/bin/sh\n");
    executable("bin/here-tool", "#!/bin/sh\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", tmp_.filePath("bin").toLocal8Bit() + ":" + path);
    TF_SettingsNew& d = page();
    d.FB_PINewClick();
    const struct {
        const char* location;
        bool shown;
    } cases[] = {
        {"/nonexistent/tool", true}, {"onpath-tool", false},      {"missing-tool", true},
        {"$appdir/here-tool", false}, {"$appdir\\here-tool", false}, {"$appdir/gone-tool", true},
    };
    for (const auto& c : cases) {
        fill(d, "T", "*.t", "$srcfile", QLatin1String(c.location));
        EXPECT_TRUE(d.FB_PISave->Enabled()) << c.location;
        EXPECT_EQ(d.lPINotFound->isVisible(), c.shown) << c.location;
    }
    EXPECT_EQ(d.lPINotFound->text(), QStringLiteral(" ERROR: Plug-in not found! "));
    qputenv("PATH", path);
}

TEST_F(PlugInPageTest, TheParameterMenuAppendsItsPlaceholder) {
    TF_SettingsNew& d = page();
    d.FB_PINewClick();
    d.fbPIParamsClick();
    ASSERT_TRUE(d.pmPIParams->isVisible());
    QStringList captions;
    for (QAction* a : d.pmPIParams->actions()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{"Input file name ($srcfile)", "Output file name ($dstfile)",
                                     "Tandex directory ($appdir)"}));
    d.pmOutputFileName->trigger();
    d.pmPIParams->hide();
    EXPECT_EQ(d.E_PIParameters->text(), QStringLiteral("$srcfile $dstfile"));
    d.pmAppDir->trigger();
    EXPECT_EQ(d.E_PIParameters->text(), QStringLiteral("$srcfile $dstfile $appdir"));
}

// Leaving an edited entry asks first: a whole one may be saved, an
// incomplete one only dropped; Cancel stays on it.
TEST_F(PlugInPageTest, UnsavedChangesAreAskedAboutBeforeAnotherEntryIsShown) {
    const struct {
        bool complete;
        int answer;
        QString question;
        int buttons;
        int row;  // where the selection ends
        QString first;  // entry 0 afterwards
    } cases[] = {
        {true, config::mrCancel, "Save the configuration now?", config::mbYes | config::mbNo | config::mbCancel, 0,
         entry("a")},
        {true, config::mrNo, "Save the configuration now?", config::mbYes | config::mbNo | config::mbCancel, 1,
         entry("a")},
        {true, config::mrYes, "Save the configuration now?", config::mbYes | config::mbNo | config::mbCancel, 1,
         "a;*.a;-v $srcfile;/bin/a;0;0;0;1;;"},
        {false, config::mrCancel, "The configuration is incomplete!\rDiscard all changes?",
         config::mbOK | config::mbCancel, 0, entry("a")},
        {false, config::mrOk, "The configuration is incomplete!\rDiscard all changes?",
         config::mbOK | config::mbCancel, 1, entry("a")},
    };
    for (const auto& c : cases) {
        entries({entry("a"), entry("b")});
        TF_SettingsNew& d = page();
        d.LB_PIList->setCurrentRow(0);
        d.E_PIParameters->setText(c.complete ? QStringLiteral("-v $srcfile") : QString());
        answers_.asked.clear();
        answers_.answers = {c.answer};
        d.LB_PIList->setCurrentRow(1);
        ASSERT_EQ(answers_.asked.size(), 1u) << c.answer;
        EXPECT_EQ(answers_.asked[0].caption, QStringLiteral("Plug-in configuration not saved!"));
        EXPECT_EQ(answers_.asked[0].text, c.question);
        EXPECT_EQ(answers_.asked[0].buttons, c.buttons);
        EXPECT_EQ(d.LB_PIList->currentRow(), c.row) << c.complete << c.answer;
        EXPECT_EQ(config::AppSettings().PIConfigIdx, c.row);
        EXPECT_EQ(config::AppSettings().PIConfig[0], c.first) << c.complete << c.answer;
        EXPECT_EQ(d.E_PIName->text(), c.row == 0 ? QStringLiteral("a") : QStringLiteral("b"));
        d.fbCancelClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // New asks the same way.
    entries({entry("a")});
    TF_SettingsNew& d = page();
    d.E_PIName->setText(QStringLiteral("changed"));
    answers_.asked.clear();
    answers_.answers = {config::mrCancel};
    d.FB_PINewClick();
    EXPECT_EQ(answers_.asked.size(), 1u);
    EXPECT_EQ(d.E_PIName->text(), QStringLiteral("changed"));
}

// "Disable all plug-ins" shows its state on its panel; the key waits for
// "Ok" or "Apply".
TEST_F(PlugInPageTest, DisableAllColoursItsPanel) {
    config::AppSettings().PIDisableAll = true;
    TF_SettingsNew& d = page();
    EXPECT_TRUE(d.cbPIDisableAll->isChecked());
    EXPECT_EQ(d.pPIDisableAll->palette().color(QPalette::Window), ui::ToQColor(0xA0A0FF));
    d.cbPIDisableAll->setChecked(false);
    EXPECT_EQ(d.pPIDisableAll->palette().color(QPalette::Window), ui::ToQColor(0xFFFFFF));
    EXPECT_TRUE(config::AppSettings().PIDisableAll);
}

// What the page saves is what the main window runs.
TEST_F(PlugInPageTest, AnEntrySavedOnThePageConvertsAMatchingFileInTheMainWindow) {
    const QString script = executable("upper.sh", "#!/bin/sh\ntr a-z A-Z < \"$1\"\n");
    ui::TF_Main& w = makeWindow();
    QDir().mkpath(tmp_.filePath("temp"));
    QString previousTemp;
    tandex::access::FZSetTempFolder(tmp_.filePath("temp/"), previousTemp);
    for (auto& e : config::AppSettings().PIConfig) e.clear();
    config::AppSettings().PIDisableAll = false;

    w.BB_SETINGSClick(nullptr);
    TF_SettingsNew* d = settings::F_SettingsNew();
    ASSERT_NE(d, nullptr);
    d->SelectPage(19, 0);
    d->FB_PINewClick();
    fill(*d, "Upper", "*.up;*.UP", "$srcfile", script);
    d->FB_PISaveClick(d->FB_PISave);
    d->fbCancelClick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const auto write = [this](const char* name, const QByteArray& text) {
        const QString path = tmp_.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    };
    w.loadAndCompare(3, write("a.UP", "alpha\nbeta\n"), write("b.txt", "ALPHA\nBETA\n"));
    const auto& stores = tandex::engine::paneStores();
    EXPECT_EQ(stores.TextLines[1][0]->Text, QStringLiteral("ALPHA"));
    EXPECT_EQ(w.LastDiffCount, 0);
    tandex::access::FZSetTempFolder(previousTemp, previousTemp);
}

}  // namespace
