// The folder picker, driven from a queued step inside its own modal run.

#include "ui/settings/folder_picker.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::settings;
using tandex::testing::OnNextModal;

namespace {

class FolderPickerTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        pickerPlace() = {};
        QDir(dir_.path()).mkpath(QStringLiteral("start"));
        QDir(dir_.path()).mkpath(QStringLiteral("other"));
    }
    void TearDown() override {
        WidgetTest::TearDown();
        pickerPlace() = {};
    }
    QString folder(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    static QLineEdit* pathField(QWidget* form) { return form->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    QTemporaryDir dir_;
};

TEST_F(FolderPickerTest, StartFolderIsSelectedAndAnotherCanBeChosen) {
    struct Seen {
        QStringList selected;
        QString title, field;
        bool modal = false, pathShown = false, newFolderShown = false;
        QPoint pos;
    } seen;
    OnNextModal([&](QWidget* form) {
        auto* dialog = qobject_cast<QFileDialog*>(form);
        ASSERT_NE(dialog, nullptr);
        seen.selected = dialog->selectedFiles();
        seen.title = dialog->windowTitle();
        seen.modal = dialog->windowModality() == Qt::ApplicationModal;
        seen.field = pathField(form)->text();
        seen.pathShown = pathField(form)->isVisible();
        auto* newFolder = form->findChild<QToolButton*>(QStringLiteral("newFolderButton"));
        seen.newFolderShown = newFolder && newFolder->isVisible();
        seen.pos = form->pos();
        tandex::testing::GrabToPng(form, QStringLiteral("FolderPicker"));
        form->move(60, 70);
        // A folder marked in the list outweighs a typed path; the user's
        // typing has unmarked it.
        if (auto* list = form->findChild<QAbstractItemView*>(QStringLiteral("listView"))) list->clearSelection();
        pathField(form)->setText(folder("other"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QString chosen = folder("start");
    EXPECT_TRUE(SelectFolderDialog(QStringLiteral("Select a temp folder"), QString(), chosen, true, false, true));
    EXPECT_EQ(seen.selected, QStringList{folder("start")});
    EXPECT_EQ(seen.field, QStringLiteral("start"));
    EXPECT_EQ(seen.title, QStringLiteral("Select a temp folder"));
    EXPECT_TRUE(seen.modal);
    EXPECT_TRUE(seen.pathShown);
    EXPECT_TRUE(seen.newFolderShown);
    EXPECT_EQ(chosen, folder("other"));
    // Never placed (-1, -1): the system's place was used, and the place
    // the user left it at is kept for the next time.
    EXPECT_EQ(pickerPlace().PickerLeft, 60);
    EXPECT_EQ(pickerPlace().PickerTop, 70);

    OnNextModal([&](QWidget* form) {
        seen.pos = form->pos();
        qobject_cast<QDialog*>(form)->reject();
    });
    EXPECT_FALSE(SelectFolderDialog(QStringLiteral("Select a backup folder"), QString(), chosen, true, false, true));
    EXPECT_EQ(seen.pos, QPoint(60, 70));
    EXPECT_EQ(chosen, folder("other"));
}

TEST_F(FolderPickerTest, MissingStartFolderPreselectsNothingAndANegativePlaceIsNotUsed) {
    pickerPlace() = {-300, 100};
    QString field = QStringLiteral("-"), directory;
    QPoint pos;
    OnNextModal([&](QWidget* form) {
        field = pathField(form)->text();
        directory = qobject_cast<QFileDialog*>(form)->directory().absolutePath();
        pos = form->pos();
        qobject_cast<QDialog*>(form)->reject();
    });
    QString chosen = folder("gone");
    EXPECT_FALSE(SelectFolderDialog(QStringLiteral("Select a backup folder"), QString(), chosen, true, false, true));
    EXPECT_EQ(field, QString());
    EXPECT_EQ(directory, QDir::homePath());
    EXPECT_NE(pos, QPoint(-300, 100));
    EXPECT_EQ(pickerPlace().PickerLeft, pos.x());
    EXPECT_EQ(pickerPlace().PickerTop, pos.y());
    EXPECT_EQ(chosen, folder("gone"));
}

}  // namespace
