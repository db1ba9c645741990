#include "ui/main/flat_button.h"

#include <QDialog>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QToolTip>
#include <memory>

#include "config/sys_helpers.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::ui;
namespace config = tandex::config;

namespace {

// Sets the screen scale for one test and restores 96 dpi afterwards.
struct ScopedDpi {
    explicit ScopedDpi(int dpi) { config::InitDpiScale(dpi); }
    ~ScopedDpi() { config::InitDpiScale(96); }
};

struct ScopedButtonHints {
    explicit ScopedButtonHints(bool on) : saved(config::ShowButtonHints()) {
        config::ShowButtonHints() = on;
    }
    ~ScopedButtonHints() { config::ShowButtonHints() = saved; }
    bool saved;
};

TColor PixelAt(const QImage& face, int x, int y) {
    const QRgb c = face.pixel(x, y);
    return TColor(qRed(c)) | (TColor(qGreen(c)) << 8) | (TColor(qBlue(c)) << 16);
}

// The bounding box of dark (text) pixels inside rows y1..y2, from x0 up to
// but excluding x1 (default: the face's right border).
QRect InkRect(const QImage& face, int y1, int y2, int x0 = 1, int x1 = -1) {
    if (x1 < 0) x1 = face.width() - 1;
    QRect ink;
    for (int y = y1; y <= y2; ++y)
        for (int x = x0; x < x1; ++x)
            if (qGray(face.pixel(x, y)) < 96) ink |= QRect(x, y, 1, 1);
    return ink;
}

bool HasColour(const QImage& face, TColor colour) {
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x)
            if (PixelAt(face, x, y) == colour) return true;
    return false;
}

// A 16x16 red square whose corners are green, the colour left out.
bool LoadTestBitmap(int listID, int imageID, QImage& bitmap) {
    if (listID != 1 || imageID > 2) return false;
    bitmap = QImage(16, 16, QImage::Format_RGB32);
    bitmap.fill(imageID == 0 ? Qt::red : imageID == 1 ? Qt::blue : Qt::yellow);
    for (int i = 0; i < 4; ++i) {
        bitmap.setPixelColor(i, 15, Qt::green);
        bitmap.setPixelColor(15 - i, 0, Qt::green);
    }
    return true;
}

class FlatButtonTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        form = std::make_unique<QDialog>();
        form->resize(300, 120);
        button = new TFlatButton2(form.get());
        button->move(10, 10);
        button->SetFlat(true);
        button->SetWidth(120);
        button->SetHeight(40);
        Watch(form.get());
    }

    void Enter() {
        QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(15, 15));
        QApplication::sendEvent(button, &e);
    }
    void Leave() {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(button, &e);
    }
    void ShowActive() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    std::unique_ptr<QDialog> form;
    TFlatButton2* button = nullptr;  // owned by form
};

TEST(FlatButtonColours, DarkenAndShiftSaturatePerByte) {
    struct Case {
        TColor colour, delta, darkened, shifted;
    } cases[] = {
        {0xFFFFFF, 0x202020, 0xDFDFDF, 0xDFDFDF},  // light: shifting darkens
        {0x101010, 0x202020, 0x000000, 0x303030},  // dark: shifting lightens
        {0xF0F000, 0x202020, 0xD0D000, 0xD0D000},  // sum 480 >= 384, darkens
        {0x7F7F7F, 0x101010, 0x6F6F6F, 0x8F8F8F},  // sum 381 < 384, lightens
        {0x0000FF, 0x404040, 0x0000BF, 0x4040FF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DarkenColor(c.colour, c.delta), c.darkened) << std::hex << c.colour;
        EXPECT_EQ(ShiftColorContrast(c.colour, c.delta), c.shifted) << std::hex << c.colour;
    }
}

TEST_F(FlatButtonTest, TwoLineCaptionReadsBackJoinedAndRewritingItChangesNothing) {
    button->SetCaption(QStringLiteral("Wide\rWi"));
    EXPECT_EQ(button->Caption(), QStringLiteral("WideWi"));
    const QImage face = button->Face();
    const QRect top = InkRect(face, 2, 19);
    const QRect bottom = InkRect(face, 20, 37);
    ASSERT_FALSE(top.isEmpty());
    ASSERT_FALSE(bottom.isEmpty());
    EXPECT_EQ(top.left(), bottom.left());
    EXPECT_GT(top.width(), bottom.width());

    const qint64 key = button->Face().cacheKey();
    button->SetCaption(QStringLiteral("WideWi"));
    EXPECT_EQ(button->Face().cacheKey(), key);

    button->SetCaption(QStringLiteral("Wide Wi"));
    EXPECT_EQ(button->Caption(), QStringLiteral("Wide Wi"));
    const QRect one = InkRect(button->Face(), 2, 37);
    EXPECT_LT(one.height(), top.height() + bottom.height());
    EXPECT_GT(one.width(), top.width());
}

TEST_F(FlatButtonTest, CaptionCentresOverWholeWidthWithoutImageAndRightOfImageWithOne) {
    button->SetCaption(QStringLiteral("OK"));
    const QRect plain = InkRect(button->Face(), 2, 37);
    EXPECT_NEAR(plain.center().x(), 60, 2);
    EXPECT_NEAR(button->TextWidth(), plain.width(), 3);

    button->LoadBMPFunc = LoadTestBitmap;
    button->SetListID(1);
    button->SetImageID(0);
    const QImage face = button->Face();
    // The image sits at the margin, vertically centred; its green corner
    // pixels are left out.
    EXPECT_EQ(PixelAt(face, 2 + 8, 20), 0x0000FFu);
    EXPECT_EQ(PixelAt(face, 2, 12 + 15), 0xFFFFFFu);
    // The caption is centred in the room right of the image (16 + 3).
    const QRect withImage = InkRect(face, 2, 37, 2 + 16);
    EXPECT_NEAR(withImage.left(), (120 - 19) / 2 - button->TextWidth() / 2 + 19, 2);
}

QRect ColourRect(const QImage& face, TColor colour) {
    QRect found;
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x)
            if (PixelAt(face, x, y) == colour) found |= QRect(x, y, 1, 1);
    return found;
}

TEST_F(FlatButtonTest, ImagePlacementFollowsPositionStyleAndStretch) {
    button->LoadBMPFunc = LoadTestBitmap;
    button->SetListID(1);
    struct Case {
        TFBImgPos pos;
        TFBStyle style;
        bool stretch;
        QRect drawn;
    } cases[] = {
        {IP_LEFT, BS_PUSH, false, QRect(2, 12, 16, 16)},
        {IP_CENTER, BS_PUSH, false, QRect(60 - 8, 12, 16, 16)},
        {IP_CENTER, BS_SPLIT, false, QRect(78 / 2 - 8, 12, 16, 16)},  // left of the separator
        {IP_LEFT, BS_PUSH, true, QRect(2, 2, 36, 36)},                // 2.25 times, inside margins
    };
    for (const Case& c : cases) {
        button->SetImgePos(c.pos);
        button->SetStretch(c.stretch);
        button->SetStyle(c.style);
        button->SetImageID(-1);
        button->SetImageID(1);
        EXPECT_EQ(ColourRect(button->Face(), 0xFF0000), c.drawn) << c.pos << c.style << c.stretch;
    }
}

TEST_F(FlatButtonTest, SplitButtonCaptionStaysLeftOfTheSeparator) {
    button->SetStyle(BS_SPLIT);
    button->SetCaption(QStringLiteral("Compare"));
    const int split = button->SplitPos();
    const int width = button->TextWidth();
    ASSERT_LT(width + 8, split);
    QRect ink = InkRect(button->Face(), 2, 37, 1, split - 1);
    EXPECT_NEAR(ink.center().x(), split / 2, 2);
    EXPECT_LT(ink.right(), split - 2);

    button->SetCAlign(CA_RIGHT);
    button->SetCaption(QStringLiteral("Go"));
    ink = InkRect(button->Face(), 2, 37, 1, split - 1);
    EXPECT_NEAR(ink.right(), split - 4, 2);
}

TEST_F(FlatButtonTest, MissingImageDrawsTheFaceWithoutOne) {
    button->LoadBMPFunc = LoadTestBitmap;
    button->SetListID(2);  // the callback knows no list 2
    button->SetImageID(0);
    EXPECT_FALSE(HasColour(button->Face(), 0x0000FF));
    button->SetListID(-1);  // images only for lists above 0
    button->SetImageID(1);
    EXPECT_FALSE(HasColour(button->Face(), 0xFF0000));
}

TEST_F(FlatButtonTest, InlineBarRunsFromLeftToScaledFullScale) {
    button->SetBarColor(0x008000);
    EXPECT_FALSE(HasColour(button->Face(), 0x008000));
    button->SetPosition(100);
    QImage face = button->Face();
    EXPECT_EQ(PixelAt(face, 4, 3), 0x008000u);
    EXPECT_EQ(PixelAt(face, 120 - 5, 40 - 4), 0x008000u);
    EXPECT_NE(PixelAt(face, 120 - 4, 20), 0x008000u);
    EXPECT_NE(PixelAt(face, 3, 20), 0x008000u);

    button->SetPosition(50);  // Round(116 / 100 * 50) = 58
    face = button->Face();
    EXPECT_EQ(PixelAt(face, 57, 20), 0x008000u);
    EXPECT_NE(PixelAt(face, 58, 20), 0x008000u);
}

TEST_F(FlatButtonTest, FullScaleOfZeroOrLessDrawsNoBar) {
    for (int maxPos : {0, -5}) {
        button->SetMaxPos(maxPos);
        button->SetPosition(0);
        button->SetPosition(10);
        EXPECT_FALSE(HasColour(button->Face(), 0x008000)) << maxPos;
    }
}

TEST_F(FlatButtonTest, FaceColoursFollowLookPressedAndDown) {
    const int x = 60, upper = 10, lower = 30;
    EXPECT_EQ(PixelAt(button->Face(), x, upper), 0xFFFFFFu);
    button->SetDown(true);
    EXPECT_EQ(PixelAt(button->Face(), x, upper), 0xEFEFEFu);
    button->SetDown(false);

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(x, upper));
    EXPECT_TRUE(button->Pressed());
    EXPECT_EQ(PixelAt(button->Face(), x, upper), 0xDFDFDFu);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(x, upper));
    EXPECT_EQ(PixelAt(button->Face(), x, upper), 0xFFFFFFu);

    // Classic look: rounded two-tone face, the lower half slightly darker.
    button->SetFlat(false);
    EXPECT_EQ(PixelAt(button->Face(), x, upper), 0xE0E0E0u);
    EXPECT_EQ(PixelAt(button->Face(), x, lower), 0xD0D0D0u);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(x, upper));
    EXPECT_EQ(PixelAt(button->Face(), x, upper), 0xF2E4D7u);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(x, upper));
}

TEST_F(FlatButtonTest, HotAndDownImagesAndBorders) {
    button->SetFlatStyle(FS_SHOWBORDER);
    button->LoadBMPFunc = LoadTestBitmap;
    button->SetListID(1);
    button->SetImageID(0);
    button->SetHotImgID(1);
    EXPECT_EQ(button->BorderColor(), 0xDFDFDFu);

    Enter();
    EXPECT_EQ(button->CurrentImage(), 1);
    EXPECT_EQ(button->BorderColor(), 0xBFBFBFu);
    EXPECT_EQ(PixelAt(button->Face(), 0, 0), 0xBFBFBFu);
    // No down image: the hot image stays while pressed.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button->CurrentImage(), 1);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button->CurrentImage(), 0);

    button->SetDownImgID(2);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button->CurrentImage(), 2);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
    Leave();
    EXPECT_EQ(button->CurrentImage(), 0);
    EXPECT_EQ(button->BorderColor(), 0xDFDFDFu);
}

TEST_F(FlatButtonTest, ClickFiresOnClickOnceAndOnlyInside) {
    int clicks = 0;
    button->OnClick = [&](QObject* sender) {
        EXPECT_EQ(sender, button);
        ++clicks;
    };
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button->LeftClick());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(100, 20));
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button->LeftClick());
    QTest::mouseClick(button, Qt::RightButton, {}, QPoint(20, 20));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(130, 20));  // released outside
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button->Pressed());
}

TEST_F(FlatButtonTest, ModalResultReachesFormBeforeOnClick) {
    button->SetModalResult(1);
    int resultSeenByOnClick = -1;
    button->OnClick = [&](QObject*) { resultSeenByOnClick = form->result(); };
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(form->result(), 1);
    EXPECT_EQ(resultSeenByOnClick, 1);
}

TEST_F(FlatButtonTest, ModalResultEndsAModalRunAfterOnClickUnlessOnClickClearsIt) {
    button->SetModalResult(2);
    bool openInOnClick = false;
    bool keepOpen = true;
    button->OnClick = [&](QObject*) {
        QCoreApplication::processEvents();  // as a message box's own event loop would
        openInOnClick = form->isVisible();
        if (keepOpen) form->setResult(0);
    };
    auto click = [&] {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 20));
        QCoreApplication::processEvents();
    };
    form->open();
    click();
    EXPECT_TRUE(openInOnClick);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), 0);

    keepOpen = false;
    click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), 2);

    // A click from code ends the run when events are processed next.
    form->open();
    button->OnClick = nullptr;
    button->Click();
    EXPECT_TRUE(form->isVisible());
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->isVisible());

    // Without a modal run the result is set but the form stays.
    form->setWindowModality(Qt::NonModal);
    form->show();
    click();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), 2);
}

TEST_F(FlatButtonTest, SplitPartOpensPopupWithoutOnClickButStillSetsModalResult) {
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    button->SetStyle(BS_SPLIT);
    button->SetPopup(&menu);
    button->SetModalResult(2);
    int clicks = 0;
    button->OnClick = [&](QObject*) { ++clicks; };
    ShowActive();
    const int split = 120 - 120 / 3 - 2;
    EXPECT_EQ(button->SplitPos(), split);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(split + 2, 20));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(form->result(), 2);
    menu.hide();

    form->show();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(split - 2, 20));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(menu.isVisible());

    form->show();
    QTest::keyClick(button, Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}

TEST_F(FlatButtonTest, EnterAndSpaceClickUnlessFormTakesTheKeys) {
    int clicks = 0;
    button->OnClick = [&](QObject*) { ++clicks; };
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Space);
    QTest::keyClick(button, Qt::Key_A);
    EXPECT_EQ(clicks, 2);

    // The characters still reach OnKeyPress after the button acted on them.
    QString chars;
    button->OnKeyPress = [&](QObject*, QChar& c) { chars += c; };
    QTest::keyClick(button, Qt::Key_Space);
    QTest::keyClick(button, Qt::Key_A);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(chars, QStringLiteral(" a"));

    int seenKey = 0;
    button->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) { seenKey = key; };
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(seenKey, int(Qt::Key_Return));
}

TEST_F(FlatButtonTest, DisablingDropsFocusFrameAndTabStopAndIgnoresInput) {
    SetDisabledAlpha(128);
    button->SetCaption(QStringLiteral("Go"));
    ShowActive();
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->Focused());
    EXPECT_TRUE(HasColour(button->Face(), button->FocusColor()));

    button->SetEnabled(false);
    EXPECT_FALSE(button->Enabled());
    EXPECT_TRUE(button->isEnabled());  // the widget itself stays enabled
    EXPECT_FALSE(button->Focused());
    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(button->TabStop());
    // Faded: black text over white at alpha 128 becomes mid grey.
    const QRect ink = InkRect(button->Face(), 2, 37);
    EXPECT_TRUE(ink.isEmpty());
    EXPECT_FALSE(HasColour(button->Face(), button->FocusColor()));

    int clicks = 0;
    button->OnClick = [&](QObject*) { ++clicks; };
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::keyClick(button, Qt::Key_Return);
    EXPECT_EQ(clicks, 0);

    button->SetEnabled(true);
    EXPECT_EQ(button->focusPolicy(), Qt::TabFocus);
    EXPECT_FALSE(InkRect(button->Face(), 2, 37).isEmpty());

    button->SetTabStop(false);
    button->SetEnabled(false);
    button->SetEnabled(true);
    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    // Without a tab stop the button may take the focus but draws no frame.
    button->clearFocus();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(button->hasFocus());
    EXPECT_FALSE(button->Focused());
    SetDisabledAlpha(0);
}

// The faded face is blended over the flat face colour in the flat look and
// over the parent's colour in the classic look.
TEST_F(FlatButtonTest, DisabledLookBlendsOverFlatFaceOrParentColour) {
    QPalette grey = form->palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    form->setPalette(grey);
    button->SetPosition(100);  // a green bar to watch
    struct Case {
        bool flat;
        int alpha;
        int red, green;  // of a bar pixel: 0x008000 blended over the fill
    } cases[] = {
        {true, 128, 127, 191},  // over white
        {false, 80, 88, 128},   // over 0x808080
    };
    for (const Case& c : cases) {
        SetDisabledAlpha(c.alpha);
        button->SetFlat(c.flat);
        button->SetEnabled(false);
        const QColor bar = button->Face().pixelColor(10, 20);
        EXPECT_NEAR(bar.red(), c.red, 2) << c.flat;
        EXPECT_NEAR(bar.green(), c.green, 2) << c.flat;
        button->SetEnabled(true);
    }
    SetDisabledAlpha(0);
}

TEST_F(FlatButtonTest, PropertyChangeWhileDisabledKeepsTheFadedLook) {
    SetDisabledAlpha(80);
    button->SetEnabled(false);
    button->SetCaption(QStringLiteral("Go"));
    EXPECT_TRUE(InkRect(button->Face(), 2, 37).isEmpty());
    EXPECT_FALSE(button->Enabled());
    SetDisabledAlpha(0);
}

TEST_F(FlatButtonTest, DisabledButtonShowsHintOnlyWithButtonHints) {
    button->setToolTip(QStringLiteral("Does things"));
    ShowActive();
    auto requestHint = [&] {
        QToolTip::hideText();
        QHelpEvent e(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(button, &e);
        return QToolTip::isVisible() && QToolTip::text() == QStringLiteral("Does things");
    };
    {
        ScopedButtonHints hints(false);
        button->SetEnabled(false);
        EXPECT_FALSE(button->ShowHint());
        EXPECT_FALSE(requestHint());
        button->SetEnabled(true);
        EXPECT_TRUE(button->ShowHint());
        EXPECT_TRUE(requestHint());
    }
    {
        ScopedButtonHints hints(true);
        button->SetEnabled(false);
        EXPECT_TRUE(button->ShowHint());
        EXPECT_TRUE(requestHint());
    }
    QToolTip::hideText();
}

TEST_F(FlatButtonTest, SizesScaleAt120DpiAndHeightReadsBackUnscaled) {
    ScopedDpi dpi(120);
    TFlatButton2 b(form.get());
    b.SetWidth(100);  // 125.5 rounds to even
    EXPECT_EQ(b.Width(), 126);
    EXPECT_EQ(b.width(), 126);
    b.SetHeight(25);
    EXPECT_EQ(b.height(), 32);
    EXPECT_EQ(b.Height(), 26);
    EXPECT_EQ(b.Face().size(), QSize(126, 32));
    // A new value equal to the old scaled size is still a change.
    b.SetWidth(126);
    EXPECT_EQ(b.Width(), 158);
    b.SetHeight(32);
    EXPECT_EQ(b.height(), 40);
    EXPECT_EQ(b.Height(), 32);
    b.resize(10, 10);
    b.ResetSize();
    EXPECT_EQ(b.size(), QSize(158, 40));
}

}  // namespace
