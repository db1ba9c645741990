// The image view in the offscreen window: pictures load into the panes,
// zoom, pan, swap and save, and the comparison window adjusts the right
// picture's offset.

#include "ui/main/main_window.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>
#include <QLabel>
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <tuple>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/image_compare_wnd.h"
#include "ui/main/image_pane.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

TEST(ImageZoom, LimitAndFit) {
    bool limited = false;
    EXPECT_EQ(ui::limitZoom(5000, 300, 200, limited), 160);
    EXPECT_TRUE(limited);
    limited = false;
    EXPECT_EQ(ui::limitZoom(5000, 300, 160, limited), 160);
    EXPECT_FALSE(limited);
    struct Fit {
        int panelW, panelH, w, h, zoom;
    };
    for (const Fit& f : {Fit{400, 300, 800, 300, 50}, Fit{400, 300, 400, 900, 33}, Fit{400, 300, 100, 100, 300},
                         Fit{400, 300, 3, 3, 10000},
                         // More than 200 times its panel: 1, not 0.
                         Fit{100, 100, 30000, 50, 1}})
        EXPECT_EQ(ui::fitZoom(f.panelW, f.panelH, f.w, f.h), f.zoom) << f.w << "x" << f.h;
}

class ImageWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        config::setMessageSink(&sink_);
        resetEngine();
        auto& s = config::AppSettings();
        s.ICDoScale = false;
        s.ICSyncMove = false;
        s.ICID = 0;
        window_ = std::make_unique<ui::TF_Main>();
        Watch(window_.get());
        window_->resize(900, 520);
        window_->show();
        window_->firePendingJobs();
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        window_.reset();
        resetEngine();
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().ReleaseSideImage(1, true);
        engine::paneStores().ReleaseSideImage(2, true);
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
    }
    QString picture(const QString& name, int w, int h, QRgb color, QPoint odd = {-1, -1}) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(color);
        if (odd.x() >= 0) image.setPixel(odd, qRgb(1, 2, 3));
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // An icon file whose entries are PNG pictures of the given sizes.
    QString icon(const QString& name, const std::vector<int>& sizes) {
        std::vector<QByteArray> pngs;
        for (int n : sizes) {
            QImage image(n, n, QImage::Format_ARGB32);
            image.fill(0xFF102030u);
            QByteArray data;
            QBuffer buffer(&data);
            buffer.open(QIODevice::WriteOnly);
            EXPECT_TRUE(image.save(&buffer, "png"));
            pngs.push_back(data);
        }
        QByteArray out;
        auto u8 = [&](int v) { out.append(char(v)); };
        auto u16 = [&](int v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); };
        auto u32 = [&](quint32 v) { u16(int(v & 0xFFFF)); u16(int(v >> 16)); };
        u16(0);
        u16(1);
        u16(int(sizes.size()));
        quint32 offset = 6 + 16 * quint32(sizes.size());
        for (size_t i = 0; i < sizes.size(); ++i) {
            u8(sizes[i]);
            u8(sizes[i]);
            u8(0);
            u8(0);
            u16(1);
            u16(32);
            u32(quint32(pngs[i].size()));
            u32(offset);
            offset += quint32(pngs[i].size());
        }
        for (const QByteArray& png : pngs) out.append(png);
        return file(name, out);
    }
    void load(const QString& left, const QString& right) { window_->loadAndCompare(3, left, right); }
    QString status() const { return window_->P_StatusBar->text(); }

    config::RecordingMessageSink sink_;
    QTemporaryDir dir_;
    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(ImageWindowTest, PicturesLoadIntoTheImageViewAndCountByPixels) {
    load(picture("a.png", 20, 10, qRgb(0, 0, 255)), picture("b.png", 20, 10, qRgb(0, 0, 255)));
    auto& w = *window_;
    EXPECT_EQ(w.ViewType(), ui::vtImage);
    ASSERT_NE(ui::paneImage(1), nullptr);
    EXPECT_EQ(ui::paneImage(1)->width, 20);
    EXPECT_EQ(w.LastDiffCount, 0);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 0);
    EXPECT_TRUE(w.ImgCompareWindow()->isVisible());

    // One differing pixel of one file size still differs.
    load(picture("c.bmp", 20, 10, qRgb(9, 9, 9)), picture("d.bmp", 20, 10, qRgb(9, 9, 9), {4, 4}));
    EXPECT_EQ(QFileInfo(dir_.filePath("c.bmp")).size(), QFileInfo(dir_.filePath("d.bmp")).size());
    EXPECT_EQ(w.LastDiffCount, 1);
    // Different sizes differ.
    load(picture("e.png", 20, 10, qRgb(9, 9, 9)), picture("f.png", 21, 10, qRgb(9, 9, 9)));
    EXPECT_EQ(w.LastDiffCount, 1);
}

TEST_F(ImageWindowTest, BadPictureShowsErrorElevenAndClearsTheName) {
    QByteArray noise(300, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = char(i * 37 + 11);
    load(file("x.png", noise), picture("ok.png", 10, 10, qRgb(1, 1, 1)));
    auto& w = *window_;
    EXPECT_FALSE(w.M_LOpenErr->isHidden());
    EXPECT_TRUE(w.M_LOpenErr->toPlainText().contains(w.openErrorText(1, 11)));
    EXPECT_TRUE(engine::paneStores().FileNames[1].isEmpty());
    EXPECT_TRUE(engine::paneStores().FilePaths[1].isEmpty());
    EXPECT_EQ(engine::paneStores().ImageLoaded[1], 0);
}

TEST_F(ImageWindowTest, ZoomIsClampedAndLimitedToEightThousandPixels) {
    load(picture("wide.png", 5000, 20, qRgb(5, 5, 5)), picture("small.png", 20, 20, qRgb(5, 5, 5)));
    auto& w = *window_;
    w.hScrollBarScroll(nullptr, 200);
    EXPECT_EQ(w.ZoomPercent(), 160);
    EXPECT_TRUE(w.ZoomLimitReached());
    EXPECT_TRUE(status().contains(QStringLiteral(" | Zoom: 160%  => MaxZoom is reached!"))) << status().toStdString();
    EXPECT_EQ(w.imgFile1->width(), 8000);

    w.hScrollBarScroll(nullptr, 0);
    EXPECT_EQ(w.ZoomPercent(), 1);
    EXPECT_FALSE(w.ZoomLimitReached());
    w.hScrollBarScroll(nullptr, 1500);
    EXPECT_EQ(w.hScrollBar->value(), 160);  // the wide picture cuts 1000 down

    w.hScrollBarScroll(nullptr, 100);
    EXPECT_TRUE(w.imageZoomKey(Qt::Key_Right, Qt::ControlModifier));
    EXPECT_EQ(w.ZoomPercent(), 110);
    EXPECT_TRUE(w.imageZoomKey(Qt::Key_Left, Qt::NoModifier));
    EXPECT_EQ(w.ZoomPercent(), 109);
    // The same through the window's key table.
    int key = Qt::Key_Left;
    w.FormKeyDown(&w, key, Qt::ControlModifier);
    EXPECT_EQ(w.ZoomPercent(), 99);
    key = Qt::Key_Right;
    w.FormKeyDown(&w, key, Qt::NoModifier);
    EXPECT_EQ(w.ZoomPercent(), 100);
    // The wheel: a tenth of the step scaled by the zoom, at least one.
    w.hScrollBarScroll(nullptr, 100);
    EXPECT_TRUE(w.FormMouseWheel(Qt::NoModifier, 120));
    EXPECT_EQ(w.ZoomPercent(), 112);
    w.hScrollBarScroll(nullptr, 5);
    EXPECT_TRUE(w.FormMouseWheel(Qt::NoModifier, -120));
    EXPECT_EQ(w.ZoomPercent(), 4);
    w.TB_1to1Click(w.TB_1to1);
    EXPECT_EQ(w.ZoomPercent(), 100);
}

TEST_F(ImageWindowTest, FittedZoomOnFirstLoad) {
    auto& s = config::AppSettings();
    s.ICDoScale = true;
    s.ICDownScale = true;
    load(picture("big.png", 4000, 40, qRgb(5, 5, 5)), picture("tiny.png", 4, 4, qRgb(5, 5, 5)));
    auto& w = *window_;
    const int expected = ui::fitZoom(w.P_LImage->width(), w.P_LImage->height(), 4000, 40);
    EXPECT_EQ(w.ZoomPercent(), expected);
    // Small pictures stay at 100 with ICDownScale.
    load(picture("t1.png", 4, 4, qRgb(5, 5, 5)), picture("t2.png", 4, 4, qRgb(5, 5, 5)));
    EXPECT_EQ(w.ZoomPercent(), 100);
}

TEST_F(ImageWindowTest, DraggingPansOneOrBothPictures) {
    load(picture("a.png", 40, 40, qRgb(5, 5, 5)), picture("b.png", 40, 40, qRgb(6, 5, 5)));
    auto& w = *window_;
    for (bool sync : {false, true}) {
        config::AppSettings().ICSyncMove = sync;
        w.TB_1to1Click(w.TB_1to1);
        const QPoint left = w.imgFile1->pos(), right = w.imgFile2->pos();
        w.imgFileMouseDown(1, Qt::LeftButton, {5, 5}, {});
        w.imgFileMouseMove(1, Qt::LeftButton, {12, 8});
        w.imgFileMouseUp(1);
        EXPECT_EQ(w.imgFile1->pos(), left + QPoint(7, 3));
        EXPECT_EQ(w.imgFile2->pos(), sync ? right + QPoint(7, 3) : right) << sync;
    }
}

TEST_F(ImageWindowTest, ComparisonWindowMovesTheRightPicture) {
    load(picture("a.png", 40, 30, qRgb(5, 5, 5)), picture("b.png", 40, 30, qRgb(9, 5, 5)));
    auto& w = *window_;
    ui::TfImgCompare* c = w.ImgCompareWindow();
    w.hScrollBarScroll(nullptr, 200);
    EXPECT_EQ(c->Zoom(), 200);
    EXPECT_TRUE(c->Edit1KeyDown(Qt::Key_Right, Qt::ControlModifier));
    EXPECT_EQ(c->lOffset->text(), QStringLiteral("xofs: 10\nyofs: 0"));
    EXPECT_EQ(ui::paneImage(2)->panX, 20);  // the main window's right picture, in screen pixels

    // A drag on the right picture moves the offset by the distance over the zoom.
    c->imgResultMouseDown(Qt::LeftButton, Qt::NoModifier, {30, 10});
    c->imgResultMouseMove(Qt::LeftButton, {38, 14});
    c->imgResultMouseUp();
    EXPECT_DOUBLE_EQ(c->Core().OffsetX(), 14);
    EXPECT_DOUBLE_EQ(c->Core().OffsetY(), 2);

    c->lOffsetDblClick();
    EXPECT_EQ(c->lOffset->text(), QStringLiteral("xofs: 0\nyofs: 0"));
    EXPECT_EQ(w.ZoomPercent(), 100);

    c->fbButtonClick(1);
    EXPECT_EQ(c->lOverlay->text(), QStringLiteral("Amplify 2x"));
    EXPECT_EQ(c->lTinted->text(), QStringLiteral("Amplify 4x"));
    c->fbButtonClick(0);
    EXPECT_EQ(c->lOverlay->text(), QStringLiteral("Overlaid"));
}

TEST_F(ImageWindowTest, ReadOutsShowThePixelAndColourOfTheResultUnderThePointer) {
    load(picture("a.png", 40, 30, qRgb(5, 5, 5)), picture("b.png", 40, 30, qRgb(9, 5, 5), {16, 5}));
    auto& w = *window_;
    ui::TfImgCompare* c = w.ImgCompareWindow();
    w.hScrollBarScroll(nullptr, 200);
    c->fbButtonClick(2);
    c->tbSlider->setValue(100);  // the right picture alone
    c->imgResultMouseMove(Qt::NoButton, {30, 10});
    EXPECT_EQ(c->lCurPos->text(), QStringLiteral("X:15 Y:5"));
    EXPECT_EQ(c->lRGB->text(), QStringLiteral("RGB:\n9,5,5"));

    // The magnifier blows up the pixels round the pointer's: 80 x 40 shows
    // 8 x 4 pixels at 10x, 4 x 2 at 20x; the odd pixel lies right of the centre.
    ASSERT_TRUE(c->cbMagnifier->isChecked());
    ASSERT_EQ(c->imgZoom->picture().size(), QSize(80, 40));
    EXPECT_EQ(c->imgZoom->picture().pixel(55, 25), qRgb(1, 2, 3));
    EXPECT_EQ(c->imgZoom->picture().pixel(45, 25), qRgb(9, 5, 5));
    c->tbICZPF->setValue(20);
    EXPECT_EQ(c->lMagnify->text(), QStringLiteral("Magnify 20x"));
    EXPECT_EQ(config::AppSettings().ICMagnify, 20);
    EXPECT_EQ(c->imgZoom->picture().pixel(65, 25), qRgb(1, 2, 3));
    EXPECT_EQ(c->imgZoom->picture().pixel(55, 25), qRgb(9, 5, 5));
    c->cbMagnifier->click();
    EXPECT_FALSE(config::AppSettings().ICMagnifier);
    EXPECT_FALSE(c->imgZoom->isVisible());
    EXPECT_FALSE(c->tbICZPF->isEnabled());

    c->tbSlider->setValue(0);
    c->imgResultMouseMove(Qt::NoButton, {31, 11});
    EXPECT_EQ(c->lRGB->text(), QStringLiteral("RGB:\n5,5,5"));
    c->imgResultMouseMove(Qt::NoButton, {200, 10});  // past the picture's edge
    EXPECT_EQ(c->lRGB->text(), QString());
}

TEST_F(ImageWindowTest, ResultLargerThanTheWindowScrollsAndPans) {
    load(picture("a.png", 80, 60, qRgb(5, 5, 5)), picture("b.png", 80, 60, qRgb(9, 5, 5)));
    auto& w = *window_;
    ui::TfImgCompare* c = w.ImgCompareWindow();
    ASSERT_TRUE(c->isVisible());
    EXPECT_EQ(c->sbH->maximum(), 0);
    EXPECT_TRUE(c->AdjustOffset());
    EXPECT_TRUE(c->lStatus->text().startsWith(QStringLiteral("[Adjust offset]  - ")));

    w.hScrollBarScroll(nullptr, 1000);  // 800 x 600, larger than the window
    ASSERT_GT(c->sbH->maximum(), 0);
    ASSERT_GT(c->sbV->maximum(), 0);
    EXPECT_FALSE(c->AdjustOffset());
    EXPECT_TRUE(c->lStatus->text().startsWith(QStringLiteral("[Move image]  - ")));

    // A plain drag pans and leaves the offset alone; the bars stop at 0.
    c->imgResultMouseDown(Qt::LeftButton, Qt::NoModifier, {300, 300});
    c->imgResultMouseMove(Qt::LeftButton, {260, 270});
    c->imgResultMouseUp();
    EXPECT_EQ(c->sbH->value(), 40);
    EXPECT_EQ(c->sbV->value(), 30);
    EXPECT_EQ(c->lOffset->text(), QStringLiteral("xofs: 0\nyofs: 0"));
    c->imgResultMouseDown(Qt::LeftButton, Qt::NoModifier, {300, 300});
    c->imgResultMouseMove(Qt::LeftButton, {400, 300});
    c->imgResultMouseUp();
    EXPECT_EQ(c->sbH->value(), 0);

    // Shift + drag moves the right picture instead: 40 screen pixels are four image pixels.
    c->imgResultMouseDown(Qt::LeftButton, Qt::ShiftModifier, {300, 300});
    c->imgResultMouseMove(Qt::LeftButton, {340, 300});
    c->imgResultMouseUp();
    EXPECT_DOUBLE_EQ(c->Core().OffsetX(), 4);

    // A double click switches the plain drag to moving the picture.
    c->imgResultDblClick();
    EXPECT_TRUE(c->AdjustOffset());
    EXPECT_TRUE(c->lStatus->text().startsWith(QStringLiteral("[Adjust offset]  - ")));

    c->sbV->setValue(50);
    c->ResetScroll();
    EXPECT_EQ(c->sbV->value(), 0);
}

TEST_F(ImageWindowTest, ComparisonWindowFirstShowsOverThePanesAndKeepsItsPlace) {
    auto& s = config::AppSettings();
    auto& w = *window_;
    ASSERT_EQ(s.ICT, -1);
    load(picture("a.png", 40, 30, qRgb(5, 5, 5)), picture("b.png", 40, 30, qRgb(9, 5, 5)));
    ui::TfImgCompare* c = w.ImgCompareWindow();
    ASSERT_TRUE(c->isVisible());
    EXPECT_GE(s.ICT, 0);
    // Once more from scratch, now that the image view's layout stands.
    c->hide();
    c->move(0, -1);
    s.ICT = -1;
    const QPoint spot = c->DefaultPlace();
    c->ShowWindow(true);
    EXPECT_EQ(s.ICL, spot.x());
    EXPECT_EQ(s.ICT, std::max(spot.y() - s.ICH, 0));
    EXPECT_EQ(c->geometry().topLeft(), QPoint(s.ICL, s.ICT));

    // Hiding stores the bounds; the next show puts the window back there.
    c->setGeometry(40, 50, 700, 320);
    c->ShowWindow(false);
    EXPECT_EQ(std::tuple(s.ICL, s.ICT, s.ICW, s.ICH), std::tuple(40, 50, 700, 320));
    c->ShowWindow(true);
    EXPECT_EQ(c->geometry(), QRect(40, 50, 700, 320));
}

TEST_F(ImageWindowTest, ResultSavesAsJpegAndBitmapAndSwapTwiceRestores) {
    const QString a = picture("left.png", 16, 12, qRgb(200, 0, 0));
    const QString b = picture("right.png", 10, 12, qRgb(0, 200, 0));
    load(a, b);
    auto& w = *window_;
    EXPECT_EQ(w.resultPictureName(), dir_.filePath(QStringLiteral("left.jpg")));
    ASSERT_TRUE(w.saveResultPicture(w.resultPictureName(), 0));
    // The save command asks for the file next to the left picture.
    QString offered;
    w.SaveDialogHook = [&](ui::TSaveDialogChoice& choice) {
        offered = choice.folder + choice.defaultName;
        choice.path = dir_.filePath(QStringLiteral("left.bmp"));
        return true;
    };
    QObject button;
    button.setProperty("Tag", 0);
    w.N1SaveFileClick(&button);
    EXPECT_EQ(offered, w.resultPictureName());
    EXPECT_EQ(QImage(dir_.filePath(QStringLiteral("left.jpg"))).size(), QSize(16, 12));
    EXPECT_EQ(QImage(dir_.filePath(QStringLiteral("left.bmp"))).pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu & qRgb(255, 0, 0))
        << "the Pixels result paints different pixels in red";

    w.mmSwapFiles1Click(nullptr);
    EXPECT_EQ(ui::paneImage(1)->width, 10);
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("right.png"));
    EXPECT_EQ(w.imgFile1->picture().width(), 10);
    w.mmSwapFiles1Click(nullptr);
    EXPECT_EQ(ui::paneImage(1)->width, 16);
    EXPECT_EQ(ui::paneImage(2)->width, 10);
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("right.png"));
    EXPECT_EQ(w.imgFile2->picture().pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu & qRgb(0, 200, 0));
}

TEST_F(ImageWindowTest, IconFramesStepWrapAndSurviveAReload) {
    config::AppSettings().ICLastFrame = true;
    load(icon("a.ico", {16, 32, 48}), picture("b.png", 16, 16, qRgb(5, 5, 5)));
    auto& w = *window_;
    ASSERT_NE(ui::paneImage(1), nullptr);
    EXPECT_EQ(ui::paneImage(1)->width, 48);  // the last frame
    EXPECT_EQ(w.ImageFrame(1), (2 << 16) | 2);
    struct Step {
        int step, size;
    };
    for (const Step& s : {Step{1, 16}, Step{-1, 48}, Step{-1, 32}, Step{1, 48}, Step{1, 16}, Step{1, 32}}) {
        w.stepImageFrame(1, s.step);
        ASSERT_NE(ui::paneImage(1), nullptr);
        EXPECT_EQ(ui::paneImage(1)->width, s.size) << s.step;
    }
    // A reload shows the frame that was shown, not the packed state.
    w.hScrollBarScroll(nullptr, 150);
    w.TB_ReloadClick(w.TB_RELOAD);
    ASSERT_NE(ui::paneImage(1), nullptr);
    EXPECT_EQ(ui::paneImage(1)->width, 32);
    EXPECT_EQ(w.ImageFrame(1), (1 << 16) | 2);
    EXPECT_EQ(w.ZoomPercent(), 150);
    // The select button steps forward (its right part).
    w.SelectLeftAllClick(w.fbLSelAll);
    EXPECT_EQ(ui::paneImage(1)->width, 48);
}

TEST_F(ImageWindowTest, ContextMenuTurnsAndResizesThePicture) {
    load(picture("a.png", 30, 10, qRgb(5, 5, 5)), picture("b.png", 20, 40, qRgb(5, 5, 5)));
    auto& w = *window_;
    w.imgFileMouseDown(1, Qt::RightButton, {}, {10, 10});
    ASSERT_NE(w.pmImage, nullptr);
    auto item = [&](const char* name) { return w.pmImage->findChild<QAction*>(QString::fromLatin1(name)); };
    ASSERT_NE(item("pmRotateClockwise"), nullptr);
    item("pmRotateClockwise")->trigger();
    EXPECT_EQ(ui::paneImage(1)->width, 10);
    EXPECT_EQ(ui::paneImage(1)->height, 30);
    w.pmImage->close();

    w.showImageMenu(1, {10, 10});
    item("pmSameSize")->trigger();
    EXPECT_EQ(w.imgFile1->picture().size(), QSize(20, 40));
    w.showImageMenu(1, {10, 10});
    EXPECT_EQ(item("pmSameSize")->text(), QStringLiteral("Restore original image size"));
    item("pmSameSize")->trigger();
    EXPECT_EQ(w.imgFile1->picture().size(), QSize(10, 30));
    EXPECT_EQ(ui::paneImage(1)->width, 10);
}

TEST_F(ImageWindowTest, TabsKeepTheirStateAcrossViews) {
    auto& w = *window_;
    w.loadAndCompare(3, file("t1.txt", "a\nb\n"), file("t2.txt", "a\nc\n"));
    ASSERT_EQ(w.ViewType(), ui::vtText);
    load(picture("a.png", 20, 10, qRgb(5, 5, 5)), picture("b.png", 20, 10, qRgb(5, 5, 5)));
    ASSERT_EQ(w.ViewType(), ui::vtImage);
    auto& tabs = engine::fccTabs();
    const int imageTab = tabs.CurrentTab;
    const int textTab = tabs.FindTabByViewType(ui::vtText);
    ASSERT_GE(textTab, 0);
    QObject tab;
    tab.setProperty("Tag", textTab);
    w.P_TAB0Click(&tab);
    EXPECT_EQ(w.ViewType(), ui::vtText);
    EXPECT_FALSE(w.ImgCompareWindow()->isVisible());
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("t1.txt"));
    tab.setProperty("Tag", imageTab);
    w.P_TAB0Click(&tab);
    EXPECT_EQ(w.ViewType(), ui::vtImage);
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("a.png"));
    ASSERT_NE(ui::paneImage(1), nullptr);
    EXPECT_FALSE(w.imgFile1->picture().isNull());
}

}  // namespace

TEST_F(ImageWindowTest, ComparisonWindowTakesTheColourSetWhenFirstShown) {
    auto& s = config::AppSettings();
    s.ICBgCol = 0x102030;  // stored as blue, green, red
    load(picture("a.png", 40, 30, qRgb(5, 5, 5)), picture("b.png", 40, 30, qRgb(9, 5, 5)));
    ui::TfImgCompare* c = window_->ImgCompareWindow();
    ASSERT_TRUE(c->isVisible());
    EXPECT_TRUE(c->Themed());
    auto colour = [](quint32 bgr) { return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); };
    EXPECT_EQ(c->palette().color(QPalette::Window), QColor(0x30, 0x20, 0x10));
    const auto& set = s.ColorSets[size_t(s.COSetIdx)];
    EXPECT_EQ(c->pImgCmpHead->palette().color(QPalette::Window), colour(set[config::TBEndCol]));
    EXPECT_EQ(c->lStatus->palette().color(QPalette::Window), colour(set[config::StatLnBgCol]));
    EXPECT_EQ(c->fbDiff->palette().color(QPalette::Button), colour(set[config::TBEndCol]));
    EXPECT_TRUE(c->fbHide->toolTip().contains(QStringLiteral("DoubleClick to show it again!")));

    // Another set takes effect on the next theming.
    s.ColorSets[size_t(s.COSetIdx)][config::TBEndCol] = 0x0000FF;
    c->ApplyTheme();
    EXPECT_EQ(c->pImgCmpHead->palette().color(QPalette::Window), QColor(Qt::red));
}

TEST_F(ImageWindowTest, WheelOverTheComparisonWindowZoomsTheMainWindow) {
    load(picture("a.png", 40, 30, qRgb(5, 5, 5)), picture("b.png", 40, 30, qRgb(9, 5, 5)));
    auto& w = *window_;
    ui::TfImgCompare* c = w.ImgCompareWindow();
    w.hScrollBarScroll(nullptr, 100);
    auto wheel = [c](int delta) {
        QWheelEvent event(QPointF(5, 5), c->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(c, &event);
    };
    wheel(120);
    EXPECT_EQ(w.ZoomPercent(), 112);
    EXPECT_EQ(c->Zoom(), 112);
    wheel(-120);
    EXPECT_LT(w.ZoomPercent(), 112);

    // With the slider focused the wheel stays with it.
    const int zoom = w.ZoomPercent();
    QApplication::setActiveWindow(c);
    c->tbSlider->setFocus();
    ASSERT_TRUE(c->tbSlider->hasFocus());
    EXPECT_FALSE(c->FormMouseWheel(Qt::NoModifier, 120));
    EXPECT_EQ(w.ZoomPercent(), zoom);
}

TEST_F(ImageWindowTest, ShiftHeldSwitchesTheStatusToMovingThePicture) {
    load(picture("a.png", 80, 60, qRgb(5, 5, 5)), picture("b.png", 80, 60, qRgb(9, 5, 5)));
    ui::TfImgCompare* c = window_->ImgCompareWindow();
    window_->hScrollBarScroll(nullptr, 1000);
    ASSERT_FALSE(c->AdjustOffset());
    const QString mode = c->lStatus->text().mid(QStringLiteral("[Move image]  - ").size());
    ASSERT_TRUE(c->lStatus->text().startsWith(QStringLiteral("[Move image]  - ")));

    EXPECT_TRUE(c->Edit1KeyDown(Qt::Key_Shift, Qt::ShiftModifier));
    EXPECT_EQ(c->lStatus->text(), QStringLiteral("[Adjust offset]  - ") + mode);
    EXPECT_FALSE(c->AdjustOffset());  // only while Shift is held
    // Releasing Shift, even where the release still reports it, goes back.
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
    QCoreApplication::sendEvent(c->Edit1, &release);
    EXPECT_EQ(c->lStatus->text(), QStringLiteral("[Move image]  - ") + mode);
}

TEST_F(ImageWindowTest, ComparisonWindowKeepsHideAtTheRightEdgeWhenResized) {
    load(picture("a.png", 40, 30, qRgb(5, 5, 5)), picture("b.png", 40, 30, qRgb(9, 5, 5)));
    ui::TfImgCompare* c = window_->ImgCompareWindow();
    for (int width : {1100, 1400}) {
        c->resize(width, 400);
        EXPECT_LT(c->width() - c->fbHide->geometry().right(), 30) << width;
        EXPECT_LT(c->lRGB->geometry().right(), c->fbHide->geometry().left()) << width;
    }
    // The small result stays centred and moves the picture, not the view.
    EXPECT_EQ(c->sbH->maximum(), 0);
    EXPECT_TRUE(c->AdjustOffset());
}
