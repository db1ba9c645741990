// The window's pictures: the image lists, the two arrow bitmaps and the
// program cursors read from the resource archive, the toolbar images built
// from the 24-pixel list, and the pictures of the buttons. Whatever the
// archive lacks stays empty, and a button without its picture shows its
// caption instead.

#include <QAction>
#include <QIcon>
#include <QToolBar>
#include <QToolButton>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/resource_archive.h"
#include "config/sys_helpers.h"
#include "flat_button.h"
#include "main_window.h"
#include "resource_images.h"

namespace tandex::ui {

namespace {

constexpr int kImageListSizes[] = {10, 16, 17, 24, 32, 48, 72, 74, 128, 129, 256};
constexpr int kCommListSize = 129;

int imageListIndex(int size) {
    for (int i = 0; i < 11; ++i)
        if (kImageListSizes[i] == size) return i;
    return -1;
}

QString listMemberName(int size, bool flat) {
    if (size == kCommListSize) return QStringLiteral("TDXIL128comm.bin");
    return QStringLiteral("TDXIL") + QString::number(size) +
           (flat ? QStringLiteral("Flat.bin") : QStringLiteral("Classic.bin"));
}

// The image of ImageList24 each toolbar button shows until the rules of
// the views choose another.
struct TToolImage {
    QAction* TF_Main::*button;
    int image;
};
constexpr TToolImage kToolImages[] = {
    {&TF_Main::TB_SETINGS, 0},   {&TF_Main::TB_OPENFOLDER, 1}, {&TF_Main::TB_VIEWMODE, 2},
    {&TF_Main::TB_FILTER, 16},   {&TF_Main::TB_HEX, 3},        {&TF_Main::TB_COLLAPSE, 22},
    {&TF_Main::TB_DIFNEXT, 4},   {&TF_Main::TB_DIFPREV, 5},    {&TF_Main::TB_COPYTO, 6},
    {&TF_Main::TB_RELOAD, 10},   {&TF_Main::TB_DELETE, 8},     {&TF_Main::TB_NEXTFILE, 11},
    {&TF_Main::TB_PREVFILE, 12}, {&TF_Main::TB_UNDOL, 23},     {&TF_Main::TB_UNDOR, 24},
    {&TF_Main::TB_1to1, 25}};

// A colour of the set, with system-colour references resolved.
TColor resolvedColor(quint32 color) {
    if ((color & 0xFF000000u) == config::kSysColorRefBase) return config::SystemColor(int(color & 0xFF));
    return color & 0xFFFFFFu;
}

// The rendered face with the colour of its top-left pixel see-through.
QImage withFaceTransparent(const QImage& face) {
    QImage image = face.convertToFormat(QImage::Format_ARGB32);
    image.setDevicePixelRatio(1);
    if (image.isNull()) return image;
    const QRgb key = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key) line[x] = 0;
    }
    return image;
}

}  // namespace

QList<QImage>* TF_Main::ImageList(int size) {
    const int i = imageListIndex(size);
    return i < 0 ? nullptr : &imageLists_[size_t(i)];
}

bool TF_Main::loadBMPFunc(int size, int index, QImage& bitmap) const {
    bitmap = QImage();
    const int i = imageListIndex(size);
    if (i < 0) return false;
    const QList<QImage>& list = imageLists_[size_t(i)];
    if (index < 0 || index >= list.size()) return false;
    bitmap = list[index];
    return !bitmap.isNull();
}

bool TF_Main::loadResourceImages(bool atStartUp) {
    for (int size : kImageListSizes)
        if (size != kCommListSize || atStartUp) ImageList(size)->clear();
    smallArrowDown_ = QImage();
    smallArrowUp_ = QImage();
    if (atStartUp) screenCursors_.clear();

    int slot = -1;
    if (config::OpenResourceArchive(slot) != 0) return false;
    const bool flat = config::FlatLook() != 0;
    for (int size : kImageListSizes) {
        if (size == kCommListSize && !atStartUp) continue;
        if (const auto strip = config::OpenResourceFile(slot, listMemberName(size, flat)))
            *ImageList(size) = SplitImageStrip(*strip);
    }
    if (const auto data = config::OpenResourceFile(slot, QStringLiteral("SmallArrowDown.bmp")))
        smallArrowDown_ = ReadBitmap(*data);
    if (const auto data = config::OpenResourceFile(slot, QStringLiteral("SmallArrowUp.bmp")))
        smallArrowUp_ = ReadBitmap(*data);
    if (atStartUp) {
        for (int n = 10; n <= 16; ++n) {
            const QString stem = QStringLiteral("TDXCU") + QString::number(n);
            const auto mask = config::OpenResourceFile(slot, stem + QStringLiteral("M.bmp"));
            const auto colour = config::OpenResourceFile(slot, stem + QStringLiteral("I.bmp"));
            if (!mask || !colour) continue;
            if (auto cursor = BuildResourceCursor(*mask, *colour)) screenCursors_.emplace(n, cursor->cursor);
        }
    }
    config::CloseResourceArchive(slot);
    return true;
}

bool TF_Main::hasScreenCursor(int n) const { return screenCursors_.count(n) != 0; }

QCursor TF_Main::screenCursor(int n, Qt::CursorShape standard) const {
    const auto it = screenCursors_.find(n);
    return it == screenCursors_.end() ? QCursor(standard) : it->second;
}

void TF_Main::buildToolbarImages() {
    imageList24E_.clear();
    imageList24D_.clear();
    const QList<QImage>& source = *ImageList(24);
    if (source.isEmpty()) {
        applyToolImages();
        return;
    }
    const auto& s = config::AppSettings();
    const auto& set = s.ColorSets[size_t(qBound(0, s.COSetIdx, int(s.ColorSets.size()) - 1))];
    TFlatButton2 scratch;
    scratch.SetFlat(true);
    scratch.SetMargin(0);
    scratch.SetWidth(24);
    scratch.SetHeight(24);
    scratch.SetListID(24);
    scratch.SetBgColorFlat(resolvedColor(set[config::TBEndCol]));
    scratch.LoadBMPFunc = [this](int size, int index, QImage& bitmap) { return loadBMPFunc(size, index, bitmap); };
    for (int i = 0; i < source.size(); ++i) {
        if (source[i].isNull()) {
            imageList24E_.append(QImage());
            imageList24D_.append(QImage());
            continue;
        }
        scratch.SetEnabled(true);
        scratch.SetImageID(-1);
        scratch.SetImageID(i);
        imageList24E_.append(withFaceTransparent(scratch.Face()));
        scratch.SetEnabled(false);
        imageList24D_.append(withFaceTransparent(scratch.Face()));
    }
    applyToolImages();
}

void TF_Main::setToolImage(QAction* button, int index) {
    button->setProperty("ImageIndex", index);
    const bool has = index >= 0 && index < imageList24E_.size() && !imageList24E_[index].isNull();
    QIcon icon;
    if (has) {
        icon.addPixmap(QPixmap::fromImage(imageList24E_[index]), QIcon::Normal);
        // The classic look lets the toolbar grey the picture itself.
        if (config::FlatLook() && index < imageList24D_.size())
            icon.addPixmap(QPixmap::fromImage(imageList24D_[index]), QIcon::Disabled);
    }
    button->setIcon(icon);
    if (auto* tool = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(button)))
        tool->setToolButtonStyle(has ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly);
}

void TF_Main::applyToolImages() {
    ToolBar1->setIconSize(QSize(config::ScaleDpi(24), config::ScaleDpi(24)));
    for (const TToolImage& t : kToolImages) {
        QAction* button = this->*t.button;
        const QVariant chosen = button->property("ImageIndex");
        setToolImage(button, chosen.isValid() ? chosen.toInt() : t.image);
    }
}

void TF_Main::applyButtonImages() {
    fbOpenFolderL->SetImageID(0);
    fbOpenFolderR->SetImageID(0);
    fbSaveFileL->SetImageID(6);
    fbSaveFileR->SetImageID(6);
    fbSWAP->SetImageID(9);
    fbLoad->SetImageID(80);
    fbLoad->hide();
    // Until the views label them, the select buttons show the faces of
    // their tags: "all" and, outside the folder view, "diff".
    fbLSelAll->SetImageID(67);
    fbRSelAll->SetImageID(67);
    fbLSelNew->SetImageID(69);
    fbRSelNew->SetImageID(69);
    // Picture buttons drop their caption while their picture exists; the
    // select buttons show both.
    QImage picture;
    for (TFlatButton2* b : {fbOpenFolderL, fbOpenFolderR, fbSaveFileL, fbSaveFileR, fbSWAP, fbLoad}) {
        QVariant caption = b->property("TextCaption");
        if (!caption.isValid()) {
            caption = b->Caption();
            b->setProperty("TextCaption", caption);
        }
        b->SetCaption(loadBMPFunc(b->ListID(), b->ImageID(), picture) ? QString() : caption.toString());
    }
    for (TFlatButton2* b : {fbOpenFolderL, fbOpenFolderR, fbSaveFileL, fbSaveFileR, fbSWAP, fbLoad, fbLSelAll,
                            fbRSelAll, fbLSelNew, fbRSelNew}) {
        // The lists may have changed under the same indexes.
        const int id = b->ImageID();
        b->SetImageID(-1);
        b->SetImageID(id);
    }
}

}  // namespace tandex::ui
