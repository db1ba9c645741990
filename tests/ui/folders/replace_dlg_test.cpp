#include "ui/folders/replace_dlg.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>

#include "access/file_times.h"
#include "access/local_files.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::folders;
using namespace tandex::ui;
using tandex::access::FZFileTimeOf;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

constexpr time_t kExistingTime = 1700000000;  // 14.11.2023

QColor TextColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

class ReplaceDlgTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath("dest"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("src"));
        destFolder = dir.filePath("dest");
        srcFolder = dir.filePath("src");
        tandex::access::FZSetTimeTolerance(2, 1);
        Watch(&dlg);
    }
    void TearDown() override {
        WidgetTest::TearDown();
        tandex::access::FZSetTimeTolerance(2, 1);
    }

    void WriteFile(const QString& folder, qint64 size, time_t mtime) {
        QFile f(folder + "/a.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_TRUE(f.resize(size));
        f.close();
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(f.fileName()).constData(), times, 0), 0);
    }

    QTemporaryDir dir;
    QString destFolder, srcFolder;
    TF_FileReplaceDlg dlg;
};

TEST_F(ReplaceDlgTest, ReplacingFileTimeDecidesWarningColourAndFlashing) {
    struct Case {
        time_t offset;  // replacing minus existing, seconds
        int hourOffset;  // FCIgnDST as handed to the tolerance at start
        const char* text;
        bool red;
    } cases[] = {
        {-86400, 1, "with this OLDER file:", true}, {86400, 1, "with this newer file:", false},
        {1, 1, "with this file:", false},           {-3600, 1, "with this file:", false},
        {3600, 1, "with this file:", false},        {-3600, 0, "with this OLDER file:", true},
    };
    const QColor red = ToQColor(0x0000FF), black = ToQColor(0);
    for (const Case& c : cases) {
        tandex::access::FZSetTimeTolerance(2, c.hourOffset);
        WriteFile(destFolder, 10, kExistingTime);
        WriteFile(srcFolder, 20, kExistingTime + c.offset);
        QString text;
        bool flashing = false, allColoured = false;
        OnNextModal([&](QWidget* form) {
            text = dlg.L_File2AttrTxt->text();
            flashing = dlg.timWarning->isActive();
            const QColor want = c.red ? red : black;
            allColoured = TextColor(dlg.L_File2AttrTxt) == want && TextColor(dlg.L_File2Size) == want &&
                          TextColor(dlg.L_File2Date) == want;
            PressFlatButton(form, "fbYes");
        });
        dlg.Ask(destFolder, srcFolder, rcExisting, "a.txt");
        EXPECT_EQ(text, c.text) << c.offset << " s, hour offset " << c.hourOffset;
        EXPECT_EQ(flashing, c.red) << c.offset;
        EXPECT_TRUE(allColoured) << c.offset;
        EXPECT_FALSE(dlg.timWarning->isActive());
    }
}

TEST_F(ReplaceDlgTest, OlderReplacingFileFlashesVisibleLongAndHiddenShort) {
    WriteFile(destFolder, 1048576, kExistingTime);
    WriteFile(srcFolder, 1000, kExistingTime - 86400);
    struct Step {
        bool hidden;
        int interval;
    };
    std::vector<Step> steps;
    QString seen;
    // The program's icon, as the window would show it.
    QApplication::setWindowIcon(dlg.style()->standardIcon(QStyle::SP_ComputerIcon));
    OnNextModal([&](QWidget* form) {
        tandex::testing::GrabToPng(form, "FileReplaceDlg-write-protected-older");
        seen = dlg.windowTitle() + "|" + dlg.L_FolderTxt->text() + "|" + dlg.L_Txt1->text() + dlg.L_Txt2->text() +
               dlg.L_Txt3->text() + "|" + dlg.L_Filename->text() + "|" + dlg.L_ReplaceTxt->text() + "|" +
               dlg.L_File1Size->text() + "|" + dlg.L_File1Date->text() + "|" + dlg.L_File2Size->text() + "|" +
               dlg.L_File2Date->text();
        // The category follows its lead-in without gap or overlap.
        EXPECT_EQ(dlg.L_Txt2->x(), dlg.L_Txt1->geometry().right() + 1);
        EXPECT_EQ(dlg.L_Txt3->x(), dlg.L_Txt2->geometry().right() + 1);
        EXPECT_TRUE(dlg.L_Txt2->font().bold() && dlg.L_Txt2->font().underline());
        EXPECT_EQ(TextColor(dlg.L_Txt2), ToQColor(0x0000FF));
        EXPECT_TRUE(dlg.L_Folder->text().endsWith("dest"));
        for (int i = 0; i < 3; ++i) {
            dlg.timWarning->stop();
            dlg.timWarningTimer();
            steps.push_back({dlg.L_File2AttrTxt->isHidden(), dlg.timWarning->interval()});
        }
        PressFlatButton(form, "fbNo");
    });
    dlg.Ask(destFolder, srcFolder, rcWriteProtected, "a.txt");
    QApplication::setWindowIcon(QIcon());
    using tandex::access::FZFileTimeText;
    EXPECT_EQ(seen, " Replace file? |The folder:|already contains a write protected file:|a.txt|"
                    "Replace the existing file:|1.048.576 Byte|last modified:  " +
                        FZFileTimeText(FZFileTimeOf(kExistingTime, 0)) + "|1.000 Byte|last modified:  " +
                        FZFileTimeText(FZFileTimeOf(kExistingTime - 86400, 0)));
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_TRUE(steps[0].hidden);
    EXPECT_EQ(steps[0].interval, 100);
    EXPECT_FALSE(steps[1].hidden);
    EXPECT_EQ(steps[1].interval, 500);
    EXPECT_TRUE(steps[2].hidden);
    EXPECT_FALSE(dlg.timWarning->isActive());
    EXPECT_EQ(dlg.Answers().Answer(rcWriteProtected), eaNo);
}

TEST_F(ReplaceDlgTest, PlainCategoryAndMissingExistingFileShowAnEmptyDate) {
    WriteFile(srcFolder, 5, kExistingTime);
    QString line, date, size;
    bool plain = false;
    OnNextModal([&](QWidget* form) {
        line = dlg.L_Txt1->text() + dlg.L_Txt2->text() + dlg.L_Txt3->text();
        plain = !dlg.L_Txt2->font().bold() && !dlg.L_Txt2->font().underline() &&
                TextColor(dlg.L_Txt2) == ToQColor(0);
        date = dlg.L_File1Date->text();
        size = dlg.L_File1Size->text();
        PressFlatButton(form, "fbYes");
    });
    dlg.Ask(destFolder, srcFolder, rcExisting, "a.txt");
    EXPECT_EQ(line, "already contains a file:");
    EXPECT_TRUE(plain);
    EXPECT_EQ(date, "last modified:  ");
    EXPECT_EQ(size, "0 Byte");
}

TEST_F(ReplaceDlgTest, ButtonsStoreTheirAnswerAndClosingTheWindowCancelsAll) {
    WriteFile(destFolder, 1, kExistingTime);
    WriteFile(srcFolder, 1, kExistingTime);
    struct Case {
        const char* button;  // nullptr: the window is closed
        int category;
        int expected[4];
    } cases[] = {
        {"fbYes", rcExisting, {eaYes, eaNo, eaNo, eaNo}},
        {"fbYesAll", rcHidden, {eaNo, eaNo, eaYesAll, eaNo}},
        {"fbNo", rcSystem, {eaNo, eaNo, eaNo, eaNo}},
        {"fbNoAll", rcExisting, {eaNoAll, eaNo, eaNo, eaNo}},
        {"fbCancel", rcWriteProtected, {eaCancelAll, eaCancelAll, eaCancelAll, eaCancelAll}},
        {nullptr, rcHidden, {eaCancelAll, eaCancelAll, eaCancelAll, eaCancelAll}},
    };
    for (const Case& c : cases) {
        dlg.ResetAnswers();
        OnNextModal([&c](QWidget* form) {
            if (c.button)
                PressFlatButton(form, c.button);
            else
                form->close();
        });
        dlg.Ask(destFolder, srcFolder, c.category, "a.txt");
        for (int k = 0; k < kReplaceCategories; ++k)
            EXPECT_EQ(dlg.Answers().Answer(k), c.expected[k]) << (c.button ? c.button : "close") << " " << k;
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_FALSE(dlg.FirstShow);
    }
}

}  // namespace
