// The image view of the main window: pictures load into the two picture
// controls, zoom and pan, and the image comparison window shows their
// difference. A pane's picture lives in the engine's per-pane image state,
// so releasing a side frees it.

#include <QApplication>
#include <QLineEdit>
#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "access/access_slots.h"
#include "access/file_ops.h"
#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "flat_button.h"
#include "image_compare_wnd.h"
#include "image_loader.h"
#include "image_pane.h"
#include "main_window.h"
#include "main_window_seams.h"

namespace tandex::ui {

namespace {

TImagePane* pictureOf(TF_Main& w, int pane) { return pane == 1 ? w.imgFile1 : w.imgFile2; }

QImage loadByExtension(const QString& path, bool reload, qint32& frame) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("ico")) {
        // A reload shows the frame that was shown: the high word of the
        // kept state, not the packed state itself.
        qint32 asked = reload ? (frame >> 16) : config::AppSettings().ICLastFrame ? -1 : -2;
        QImage picture = LoadIconImage(path, asked);
        if (!picture.isNull()) frame = asked;
        return picture;
    }
    if (ext == QLatin1String("wmf") || ext == QLatin1String("emf")) return LoadMetafileImage(path);
    if (ext == QLatin1String("tif") || ext == QLatin1String("tiff")) return LoadTiffImage(path);
    try {
        return LoadImageByMagic(path);
    } catch (const std::exception& e) {
        access::FZLog(QStringLiteral("FM1: ") + QString::fromUtf8(e.what()));
        return QImage();
    }
}

}  // namespace

void TF_Main::createImageControls() {
    for (int pane = 1; pane <= 2; ++pane) {
        TImagePane* picture = pictureOf(*this, pane);
        picture->OnMouseDown = [this, pane](QMouseEvent* e) {
            imgFileMouseDown(pane, e->buttons(), e->pos(), e->globalPosition().toPoint());
        };
        picture->OnMouseMove = [this, pane](QMouseEvent* e) { imgFileMouseMove(pane, e->buttons(), e->pos()); };
        picture->OnMouseUp = [this, pane](QMouseEvent*) { imgFileMouseUp(pane); };
        picture->OnDblClick = [this, pane](QMouseEvent*) { imgDblClick(pane); };
    }
    connect(TB_1to1, &QAction::triggered, this, [this] { TB_1to1Click(TB_1to1); });
}

TfImgCompare* TF_Main::ImgCompareWindow() {
    if (!imgCompare_) {
        imgCompare_ = new TfImgCompare(this);
        imgCompare_->MoveRightImage = [this](int dx, int dy) {
            if (TPaneImage* right = paneImage(2)) {
                right->panX += dx;
                right->panY += dy;
            }
            applyZoom(false, true);
        };
        imgCompare_->ResetZoom = [this] { TB_1to1Click(TB_1to1); };
        imgCompare_->MainMouseWheel = [this](Qt::KeyboardModifiers shift, int delta) {
            return FormMouseWheel(shift, delta);
        };
        imgCompare_->PrintImage = [this](QObject* sender) { pmPrintImageClick(sender); };
        imgCompare_->DefaultPlace = [this] {
            const QPoint pos = defaultFormPos(imgCompare_);
            return QPoint(pos.x(), pos.y() + P_MID->height() + eFN1->height());
        };
    }
    return imgCompare_;
}

void TF_Main::showImageCompare(bool show) {
    if (!show && !imgCompare_) return;
    ImgCompareWindow()->ShowWindow(show);
}

// ---- loading ------------------------------------------------------------------

bool TF_Main::isImageFile(const QString& path) const {
    const auto& s = config::AppSettings();
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("bmp")) return s.ICShowBMP;
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) return s.ICShowJPG;
    if (ext == QLatin1String("gif")) return s.ICShowGIF;
    if (ext == QLatin1String("tif") || ext == QLatin1String("tiff")) return s.ICShowTIF;
    if (ext == QLatin1String("png")) return s.ICShowPNG;
    if (ext == QLatin1String("wmf") || ext == QLatin1String("emf")) return s.ICShowWMF;
    if (ext == QLatin1String("ico")) return s.ICShowICO;
    return false;
}

void TF_Main::loadPaneImage(int pane, int earlierError) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    if (viewType_ != vtImage) switchView(vtImage, engine::fccTabs().FindTabByViewType(vtImage) < 0, false);
    const QString path = stores.SideFileName(pane);
    const int slot = stores.SideSlots[p];
    stores.SideAccessKinds[p] = quint8(access::FZSlotAccessKind(slot));
    int code = earlierError;
    QString local = path, temporary;
    if (!code) {
        if (stores.SideAccessKinds[p] > access::akLocal) {
            code = access::FZSaveToTempFile(slot, false, QString(), temporary);
            local = temporary;
        }
        stores.CloseSideSlot(pane);
    }
    stores.ImageLoaded[p] = 1;
    imageFlag_ = true;
    if (!reloadImage_) imageFrames_[p] = 0;

    QImage picture;
    if (!code) {
        try {
            picture = loadByExtension(local, reloadImage_, imageFrames_[p]);
        } catch (const std::exception& e) {
            access::FZLog(QStringLiteral("FM1: ") + QString::fromUtf8(e.what()));
        }
        if (picture.isNull()) code = 11;
    }
    if (!temporary.isEmpty()) access::FZDeletePath(temporary, false);

    if (!code) {
        auto state = std::make_unique<TPaneImage>();
        state->bitsPerPixel = bitsPerPixelOf(picture);
        state->picture = picture.convertToFormat(QImage::Format_ARGB32);
        state->width = state->shownWidth = picture.width();
        state->height = state->shownHeight = picture.height();
        TPaneImage* kept = paneImage(pane);
        if (kept && reloadImage_) {
            state->panX = kept->panX;
            state->panY = kept->panY;
        }
        QWidget* panel = pane == 1 ? P_LImage : P_RImage;
        state->left = panel->width() / 2 - state->width / 2;
        state->top = panel->height() / 2 - state->height / 2;
        pictureOf(*this, pane)->setPicture(state->picture);
        stores.ImageStates[p] = std::move(state);
        (pane == 1 ? M_LOpenErr : M_ROpenErr)->hide();
        failedPaths_[p].clear();
        if (!reloadImage_) {
            if (config::AppSettings().ICDoScale) {
                fitImageZoom();
            } else {
                const QSignalBlocker quiet(hScrollBar);
                hScrollBar->setValue(100);
            }
        }
    } else {
        stores.ImageLoaded[p] = 0;
        stores.ImageStates[p].reset();
        pictureOf(*this, pane)->clear();
        showOpenError(pane, path, code);
        stores.LineCount[p] = 0;
        showImageCompare(false);
    }
    stores.BinaryMode = 0;
}

void TF_Main::fitImageZoom() {
    const auto& stores = engine::paneStores();
    const auto& s = config::AppSettings();
    int zoom = 1000;
    const TPaneImage* left = paneImage(1);
    if (left && left->width > 0 && stores.ImageLoaded[1])
        zoom = fitZoom(P_LImage->width(), P_LImage->height(), left->width, left->height);
    const TPaneImage* right = paneImage(2);
    if (right && right->width > 0 && !stores.SinglePaneView)
        zoom = std::min(zoom, stores.ImageLoaded[2]
                                  ? fitZoom(P_RImage->width(), P_RImage->height(), right->width, right->height)
                                  : 1000);
    if (s.ICDownScale) zoom = std::min(zoom, 100);
    const QSignalBlocker quiet(hScrollBar);
    hScrollBar->setValue(zoom);
}

int TF_Main::imageDifferenceCount() {
    const auto& stores = engine::paneStores();
    const TPaneImage* left = paneImage(1);
    const TPaneImage* right = paneImage(2);
    if (!stores.ImageLoaded[1] || !stores.ImageLoaded[2] || !left || !right) return 1;
    if (left->picture.size() != right->picture.size()) return 1;
    // The Pixels counts are what the batch run reports, so they are taken
    // even when the window shows another mode; the user's mode stays.
    auto& s = config::AppSettings();
    const int mode = s.ICID;
    ImgCompare compare;
    compare.SetLeftPicture(left->picture);
    compare.SetRightPicture(right->picture);
    const bool computed = compare.Compute(0).has_value();
    s.ICID = mode;
    qint32 same = 0, tolerated = 0, different = 0;
    GetImageCompareCounts(same, tolerated, different);
    return computed && different == 0 ? 0 : 1;
}

void TF_Main::compareLoadedImages() {
    auto& stores = engine::paneStores();
    TfImgCompare* compare = ImgCompareWindow();
    compare->ResetScroll();
    LastDiffCount = imageDifferenceCount();
    // The image view skips the text steps of the load, so the tab takes
    // its count here.
    engine::fccTabs().SetTabDiffCount(LastDiffCount);
    compare->SetLeftPicture(imgFile1->picture());
    compare->SetRightPicture(imgFile2->picture());
    hScrollBarScroll(nullptr, hScrollBar->value());
    if (stores.ImageLoaded[1] && stores.ImageLoaded[2]) compare->ShowWindow(true);
}

// ---- zoom and placement ---------------------------------------------------------

void TF_Main::applyZoom(bool updateCompare, bool rightOnly) {
    const auto& stores = engine::paneStores();
    TPaneImage* left = paneImage(1);
    TPaneImage* right = stores.ImageLoaded[2] ? paneImage(2) : nullptr;
    int zoom = std::clamp(hScrollBar->value(), 1, 1000);
    bool limited = false;
    // Neither picture may grow beyond 8,000 pixels a side.
    if (left && !rightOnly) zoom = limitZoom(left->width, left->height, zoom, limited);
    if (right) zoom = limitZoom(right->width, right->height, zoom, limited);
    zoomLimitReached_ = limited;
    zoomPercent_ = zoom;
    if (limited) {
        const QSignalBlocker quiet(hScrollBar);
        hScrollBar->setValue(zoom);
    }
    auto place = [zoom](TPaneImage* state, QWidget* panel, TImagePane* picture) {
        state->shownWidth = int(std::lround(double(state->width) * zoom / 100));
        state->shownHeight = int(std::lround(double(state->height) * zoom / 100));
        state->left = panel->width() / 2 - state->shownWidth / 2;
        state->top = 0;
        picture->setGeometry(state->left + state->panX, state->top + state->panY, state->shownWidth,
                             state->shownHeight);
        picture->show();
    };
    if (right) {
        place(right, P_RImage, imgFile2);
        if (updateCompare && imgCompare_) {
            imgCompare_->SetZoom(zoom);
            imgCompare_->Compute(config::AppSettings().ICID);
        }
        P_RImage->update();
    }
    if (!rightOnly && left) {
        place(left, P_LImage, imgFile1);
        if (updateCompare && imgCompare_) imgCompare_->SetImageSize(left->shownWidth, left->shownHeight);
    }
    if (!rightOnly) {
        P_LImage->show();
        P_RImage->setVisible(!stores.SinglePaneView);
    }
}

void TF_Main::releaseImages(bool) {
    auto& stores = engine::paneStores();
    if (stores.ImageStates[1] || stores.ImageStates[2] || stores.ImageLoaded[1] || stores.ImageLoaded[2]) {
        stores.ReleaseSideImage(1, false);
        stores.ReleaseSideImage(2, false);
    }
    zoomLimitReached_ = false;
}

void TF_Main::TB_1to1Click(QObject* sender) {
    for (int pane = 1; pane <= 2; ++pane)
        if (TPaneImage* state = paneImage(pane)) state->panX = state->panY = 0;
    int zoom = hScrollBar->value();
    if (sender == TB_1to1) zoom = 100;
    hScrollBarScroll(nullptr, zoom);
}

bool TF_Main::imageZoomKey(int key, Qt::KeyboardModifiers shift) {
    if (viewType_ != vtImage || (key != Qt::Key_Left && key != Qt::Key_Right)) return false;
    const int step = (shift & Qt::ControlModifier) ? 10 : 1;
    hScrollBarScroll(nullptr, hScrollBar->value() + (key == Qt::Key_Left ? -step : step));
    return true;
}

// ---- frames, swap and menu items ------------------------------------------------

void TF_Main::stepImageFrame(int pane, int step) {
    const auto p = size_t(pane);
    const int extra = imageFrames_[p] & 0xFFFF;
    int shown = imageFrames_[p] >> 16;
    shown += step;
    if (shown > extra) shown = 0;
    if (shown < 0) shown = extra;
    imageFrames_[p] = (shown << 16) | extra;
    reloadImage_ = true;
    loadAndCompare(pane, QString(), QString());
    reloadImage_ = false;
}

bool TF_Main::selectButtonStepsFrame(TFlatButton2* button) {
    if (viewType_ != vtImage) return false;
    const int pane = button == fbLSelAll ? 1 : button == fbRSelAll ? 2 : 0;
    if (!pane) return false;
    stepImageFrame(pane, button->LeftClick() ? -1 : 1);
    return true;
}

void TF_Main::swapImages() {
    auto& stores = engine::paneStores();
    fbSWAP->SetEnabled(false);
    std::swap(stores.ImageStates[1], stores.ImageStates[2]);
    std::swap(stores.ImageLoaded[1], stores.ImageLoaded[2]);
    std::swap(imageFrames_[1], imageFrames_[2]);
    std::swap(unresized_[1], unresized_[2]);
    const QImage leftPicture = imgFile1->picture();
    imgFile1->setPicture(imgFile2->picture());
    imgFile2->setPicture(leftPicture);
    engine::folderRows().SwapFileSides(false);
    const QString text = M_LOpenErr->toPlainText();
    const bool shown = !M_LOpenErr->isHidden();
    M_LOpenErr->setPlainText(M_ROpenErr->toPlainText());
    M_LOpenErr->setVisible(!M_ROpenErr->isHidden());
    M_ROpenErr->setPlainText(text);
    M_ROpenErr->setVisible(shown);
    std::swap(failedPaths_[1], failedPaths_[2]);
    TfImgCompare* compare = ImgCompareWindow();
    compare->SetLeftPicture(imgFile1->picture());
    compare->SetRightPicture(imgFile2->picture());
    applyZoom(true, false);
    if (!commandLine().BatchMode() && stores.ImageLoaded[1] && stores.ImageLoaded[2]) compare->ShowWindow(true);
    fbSWAP->SetEnabled(true);
}

QString TF_Main::resultPictureName() const {
    const auto& stores = engine::paneStores();
    const QString name = stores.FileNames[1];
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return stores.FilePaths[1] + (dot < 0 ? name + QLatin1Char('.') : name.left(dot + 1)) + QStringLiteral("jpg");
}

bool TF_Main::saveResultPicture(const QString& path, int format) {
    if (!imgCompare_ || imgCompare_->Result().isNull()) return false;
    const QImage shown = OpaqueForDisplay(imgCompare_->Result());
    return shown.save(path, format == 1 ? "BMP" : "JPG");
}

void TF_Main::saveResultPictureAs(int target) {
    if (!imgCompare_) return;
    // The result picture has no file of its own to save in place.
    if (target == -1) {
        showSaveAsMenu(1);
        return;
    }
    // Other locations than the file system (0) take the result picture once
    // their browsers can write.
    if (target != 0) return;
    const QString defaultPath = resultPictureName();
    TSaveDialogChoice choice;
    choice.title = QStringLiteral(" Save left file ");
    choice.folder = engine::paneStores().FilePaths[1];
    choice.defaultName = QFileInfo(defaultPath).fileName();
    if (SaveDialogHook) {
        if (!SaveDialogHook(choice)) return;
    } else {
        QString filter = QStringLiteral("Jpeg file (*.jpg)");
        choice.path = QFileDialog::getSaveFileName(this, choice.title, defaultPath,
                                                   QStringLiteral("Jpeg file (*.jpg);;Bitmap file (*.bmp)"), &filter);
        if (choice.path.isEmpty()) return;
        if (filter.startsWith(QLatin1String("Bitmap")) && QFileInfo(choice.path).suffix().isEmpty())
            choice.path += QStringLiteral(".bmp");
    }
    const bool bitmap = QFileInfo(choice.path).suffix().compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0;
    if (!saveResultPicture(choice.path, bitmap ? 1 : 0))
        config::showMessage(QStringLiteral("Tandex"), QStringLiteral("Unable to write the file:\r") + choice.path,
                            config::MsgKind::Error);
}

void TF_Main::pmImageOp(int op, int pane) {
    TPaneImage* state = paneImage(pane);
    if (!state) return;
    const auto p = size_t(pane);
    if (op == 7) {
        if (unresized_[p].isNull()) return;
        state->picture = unresized_[p];
        unresized_[p] = QImage();
    } else {
        if (op >= 4 && op <= 6 && unresized_[p].isNull()) unresized_[p] = state->picture;
        ImgCompare& core = ImgCompareWindow()->Core();
        core.SetLeftPicture(imgFile1->picture());
        core.SetRightPicture(imgFile2->picture());
        QImage& target = const_cast<QImage&>(pane == 1 ? core.LeftPicture() : core.RightPicture());
        core.TransformImage(target, op);
        state->picture = target.convertToFormat(QImage::Format_ARGB32);
    }
    state->width = state->picture.width();
    state->height = state->picture.height();
    pictureOf(*this, pane)->setPicture(state->picture);
    TfImgCompare* compare = ImgCompareWindow();
    compare->SetLeftPicture(imgFile1->picture());
    compare->SetRightPicture(imgFile2->picture());
    applyZoom(true, false);
    compare->Compute(config::AppSettings().ICID);
}

void TF_Main::pmCopyImageToClipBoardClick(int pane) {
    if (const TPaneImage* state = paneImage(pane)) CopyGraphicToClipboard(state->picture);
}

void TF_Main::showImageMenu(int pane, QPoint screenPos) {
    if (viewType_ != vtImage) return;
    if (!pmImage) {
        pmImage = new QMenu(this);
        pmImage->setObjectName(QStringLiteral("pmImage"));
    }
    pmImage->clear();
    addImageMenuItems(pmImage, pane);
    menuPopupPos = screenPos;
    pmImage->popup(screenPos);
}

void TF_Main::addImageMenuItems(QMenu* menu, int pane) {
    auto item = [&](const char* name, const QString& caption, std::function<void()> run) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, std::move(run));
        return a;
    };
    item("pmRotateClockwise", QStringLiteral("Rotate clockwise"), [this, pane] { pmImageOp(0, pane); });
    item("pmRotateCounterClockwise", QStringLiteral("Rotate counter-clockwise"), [this, pane] { pmImageOp(1, pane); });
    item("pmFlipVertical", QStringLiteral("Flip vertically"), [this, pane] { pmImageOp(2, pane); });
    item("pmFlipHorizontal", QStringLiteral("Flip horizontally"), [this, pane] { pmImageOp(3, pane); });
    const bool resized = !unresized_[size_t(pane)].isNull();
    item("pmSameSize", resized ? QStringLiteral("Restore original image size") : QStringLiteral("Same size as other image"),
         [this, pane, resized] { pmImageOp(resized ? 7 : 4, pane); });
    item("pmSameHeight", QStringLiteral("Same height as other image"), [this, pane] { pmImageOp(5, pane); });
    item("pmSameWidth", QStringLiteral("Same width as other image"), [this, pane] { pmImageOp(6, pane); });
    menu->addSeparator();
    item("pmCopyImageToClipBoard", QStringLiteral("Copy image to Clipboard"),
         [this, pane] { pmCopyImageToClipBoardClick(pane); });
    item("pmShowImageCompare", QStringLiteral("Show the image compare window"), [this] { showImageCompare(true); });
}

// ---- mouse ----------------------------------------------------------------------

void TF_Main::imgFileMouseDown(int pane, Qt::MouseButtons buttons, QPoint pos, QPoint globalPos) {
    if (buttons == Qt::LeftButton) {
        pictureOf(*this, pane)->setCursor(screenCursor(12, Qt::OpenHandCursor));
        grabPoints_[size_t(pane)] = pos;
    } else if (buttons == Qt::RightButton) {
        setActivePane(vtImage, pane);
        showImageMenu(pane, globalPos);
    }
}

void TF_Main::imgFileMouseMove(int pane, Qt::MouseButtons buttons, QPoint pos) {
    if (imageViewBusy_) return;
    imageViewBusy_ = true;
    if (buttons == Qt::LeftButton) {
        const QPoint delta = pos - grabPoints_[size_t(pane)];
        for (int side = 1; side <= 2; ++side) {
            if (side != pane && !config::AppSettings().ICSyncMove) continue;
            if (TPaneImage* state = paneImage(side)) {
                state->panX += delta.x();
                state->panY += delta.y();
            }
        }
        applyZoom(true, false);
    }
    imageViewBusy_ = false;
}

void TF_Main::imgFileMouseUp(int pane) { pictureOf(*this, pane)->unsetCursor(); }

void TF_Main::imgDblClick(int) {
    if (viewType_ == vtImage && !singlePaneView_) showImageCompare(true);
}

// ---- engine services ------------------------------------------------------------

void TF_Main::clearPanePicture(int pane) {
    if (TImagePane* picture = pictureOf(*this, pane)) picture->clear();
    engine::paneStores().ImageLoaded[size_t(pane)] = 0;
}

bool TF_Main::openErrorShown(int pane) const {
    const QPlainTextEdit* memo = pane == 1 ? M_LOpenErr : M_ROpenErr;
    return memo && !memo->isHidden();
}

void TF_Main::hideImagePanel(int pane) {
    if (QWidget* panel = pane == 1 ? P_LImage : P_RImage) panel->hide();
}

}  // namespace tandex::ui
