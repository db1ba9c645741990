// The print preview without its window: paper, recording, pages and the
// page file.

#include "ui/print/preview_document.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <unistd.h>

#include "access/local_files.h"
#include "page_file_fixture.h"
#include "page_file_fuzz_check.h"
#include "ui/print/picture_routines.h"

using namespace tandex::print;
using namespace page_file;

namespace {

// The hooks a window would fill, counted.
class CountingPreview : public PreviewDocument {
public:
    int layouts = 0, shown = 0, hidden = 0, repaints = 0, rebuilds = 0;

protected:
    void LayoutPaper() override { ++layouts; }
    void ShowPaper(bool on) override { ++(on ? shown : hidden); }
    void RepaintPaper() override { ++repaints; }
    void RebuildThumbnailViews() override { ++rebuilds; }
};

void record(PreviewDocument& preview, int pages, const QString& text = QStringLiteral("Page")) {
    preview.BeginDoc();
    for (int i = 1; i <= pages; ++i) {
        if (i > 1) preview.NewPage();
        preview.Canvas()->drawText(QPointF(2000, 3000), text + QStringLiteral(" %1").arg(i));
    }
    preview.EndDoc();
}

QByteArray saved(PreviewDocument& preview) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    preview.SaveToStream(buffer);
    return out;
}

void load(PreviewDocument& preview, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    preview.LoadFromStream(buffer);
}

// ---- paper --------------------------------------------------------------

TEST(PreviewDocument, StartsOnA4InHundredthsOfAMillimetre) {
    PreviewDocument preview;
    EXPECT_EQ(preview.PaperType(), pA4);
    EXPECT_EQ(preview.Units(), mmHiMetric);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(21000, 29700));
    EXPECT_EQ(preview.PageExtent(), QSize(794, 1123));
    EXPECT_EQ(preview.PageScreenSize(), QSize(794, 1123));
    EXPECT_EQ(preview.State(), psReady);
    EXPECT_EQ(preview.CurrentPage(), 0);
    EXPECT_EQ(preview.CacheSize(), 10);
}

TEST(PreviewDocument, PaperSizesFindTheirType) {
    struct Case {
        TUnits units;
        int width, height;
        TPrinterOrientation orientation;
        TPaperType type;
    };
    const Case cases[] = {
        {mmHiMetric, 21000, 29700, poPortrait, pA4},
        {mmLoMetric, 2100, 2970, poPortrait, pA4},
        {mmHiEnglish, 8268, 11693, poPortrait, pA4},
        {mmLoEnglish, 827, 1169, poPortrait, pA4},
        {mmTWIPS, 11906, 16838, poPortrait, pA4},
        {mmPoints, 595, 842, poPortrait, pA4},
        {mmPixel, 794, 1123, poPortrait, pA4},
        {mmLoMetric, 2970, 2100, poLandscape, pA4},
        {mmHiEnglish, 8500, 11000, poPortrait, pLetter},
        {mmLoEnglish, 1100, 850, poLandscape, pLetter},
        {mmHiMetric, 21000, 29800, poPortrait, pCustom},
        {mmLoMetric, 2970, 2100, poPortrait, pCustom},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.units << " " << c.width << "x" << c.height);
        PreviewDocument preview;
        preview.SetUnits(c.units);
        preview.SetOrientation(c.orientation);
        preview.SetPaperSize(c.width, c.height);
        EXPECT_EQ(preview.PaperType(), c.type);
    }
}

TEST(PreviewDocument, PaperSettersKeepTheirRules) {
    PreviewDocument preview;
    int changes = 0;
    preview.OnPaperChange = [&] { ++changes; };
    preview.SetUnits(mmLoMetric);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(2100, 2970));
    preview.SetPaperWidth(0);
    EXPECT_EQ(preview.PaperWidth(), 1);
    EXPECT_EQ(preview.PaperType(), pCustom);
    preview.SetPaperType(pLetter);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(2159, 2794));
    preview.SetOrientation(poLandscape);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(2794, 2159));
    EXPECT_EQ(preview.PaperType(), pLetter);
    EXPECT_TRUE(preview.IsLandscape());
    EXPECT_EQ(changes, 3);
    // A custom size follows a change of units by conversion.
    preview.SetPaperSizeOrientation(1000, 500, poPortrait);
    EXPECT_EQ(preview.PaperType(), pCustom);
    preview.SetUnits(mmHiMetric);
    EXPECT_EQ(QSize(preview.PaperWidth(), preview.PaperHeight()), QSize(10000, 5000));
    EXPECT_EQ(preview.ConvertToUnitsX(mmLoMetric, 3), 30);
    EXPECT_EQ(preview.ScreenToUnits(96, 48), QPoint(2540, 1270));
}

TEST(PreviewDocument, DrawGraphicFitPlacesPicturesInUnits) {
    PreviewDocument preview;
    preview.SetUnits(mmPixel);
    TGraphic picture = TGraphic::FromBitmap(QImage(40, 20, QImage::Format_RGB32));
    struct Case {
        bool proportional, shrinkOnly, center;
        QRect expected;
    };
    const QRect r(10, 10, 100, 100);
    const Case cases[] = {
        {false, false, false, r},
        {true, false, false, QRect(10, 10, 100, 50)},
        {true, false, true, QRect(10, 35, 100, 50)},
        {true, true, true, QRect(40, 50, 40, 20)},
        {false, true, false, QRect(10, 10, 40, 20)},
    };
    for (const Case& c : cases) EXPECT_EQ(preview.DrawGraphicFit(r, &picture, c.proportional, c.shrinkOnly, c.center),
                                          c.expected);
    EXPECT_FALSE(preview.DrawGraphicFit(r, nullptr, true, true, true).has_value());
}

// ---- recording and pages ------------------------------------------------

TEST(PreviewDocument, RecordingFiresChangeOnlyEveryThirtySecondPage) {
    PreviewDocument preview;
    std::vector<int> changedAt;
    preview.OnChange = [&] { changedAt.push_back(preview.TotalPages()); };
    int newPages = 0, endPages = 0, states = 0;
    preview.OnNewPage = [&] { ++newPages; };
    preview.OnEndPage = [&] { ++endPages; };
    preview.OnStateChange = [&] { ++states; };
    preview.BeginDoc();
    EXPECT_EQ(preview.State(), psCreating);
    for (int i = 1; i < 32; ++i) preview.NewPage();
    EXPECT_EQ(preview.TotalPages(), 31);
    EXPECT_TRUE(changedAt.empty());
    preview.EndDoc();
    EXPECT_EQ(preview.TotalPages(), 32);
    EXPECT_EQ(changedAt, std::vector<int>{32});
    EXPECT_EQ(newPages, 32);
    EXPECT_EQ(endPages, 32);
    EXPECT_EQ(states, 2);
    EXPECT_EQ(preview.Canvas(), nullptr);
    EXPECT_EQ(preview.CurrentPage(), 1);
    // Recording again empties the store first, which reports it.
    preview.BeginDoc();
    EXPECT_EQ(changedAt, (std::vector<int>{32, 0}));
    preview.EndDoc();
}

TEST(PreviewDocument, RecordedPagesCarryTheirDescriptionAndPassEmf2svg) {
    PreviewDocument preview;
    preview.PrintJobTitle = QStringLiteral("Report of a comparison");
    preview.SetUnits(mmLoMetric);
    record(preview, 2, QStringLiteral("Grüße ⇒ page"));
    ASSERT_EQ(preview.TotalPages(), 2);
    const QByteArray page = preview.Pages(2);
    const EmfPlayer player(page);
    EXPECT_EQ(player.creator(), PreviewDocument::CreatorText());
    EXPECT_TRUE(player.creator().startsWith(QStringLiteral("TPrintPreview - ")));
    EXPECT_EQ(player.title(), preview.PrintJobTitle);
    EXPECT_EQ(player.naturalSize(96, 96), QSize(794, 1123));
    QString error;
    const QByteArray svg = emf_test::emfToSvg(page, &error);
    ASSERT_FALSE(svg.isEmpty()) << qPrintable(error);
    EXPECT_TRUE(QString::fromUtf8(svg).contains(QStringLiteral(" page 2"))) << svg.left(2000).constData();
    EXPECT_TRUE(preview.Pages(3).isEmpty());
    EXPECT_TRUE(preview.Pages(0).isEmpty());
}

TEST(PreviewDocument, DeleteAndMoveFollowTheCurrentPage) {
    struct Case {
        const char* what;
        int current;
        std::function<bool(PreviewDocument&)> act;
        int total, expected;
    };
    const Case cases[] = {
        {"delete before the current", 3, [](PreviewDocument& p) { return p.Delete(1); }, 4, 2},
        {"delete after the current", 3, [](PreviewDocument& p) { return p.Delete(5); }, 4, 3},
        {"delete the current last page", 5, [](PreviewDocument& p) { return p.Delete(5); }, 4, 4},
        {"delete the current inner page", 3, [](PreviewDocument& p) { return p.Delete(3); }, 4, 3},
        {"move the current page", 2, [](PreviewDocument& p) { return p.Move(2, 5); }, 5, 5},
        {"move onto the current page", 5, [](PreviewDocument& p) { return p.Move(1, 5); }, 5, 5},
        {"move another page", 1, [](PreviewDocument& p) { return p.Move(2, 4); }, 5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PreviewDocument preview;
        record(preview, 5);
        preview.SetCurrentPage(c.current);
        EXPECT_TRUE(c.act(preview));
        EXPECT_EQ(preview.TotalPages(), c.total);
        EXPECT_EQ(preview.CurrentPage(), c.expected);
    }
    // The page moves with its content.
    PreviewDocument preview;
    record(preview, 3);
    const QByteArray first = preview.Pages(1);
    EXPECT_TRUE(preview.Move(1, 3));
    EXPECT_EQ(preview.Pages(3), first);
    EXPECT_FALSE(preview.Move(1, 1));
    EXPECT_FALSE(preview.Move(0, 2));
    EXPECT_FALSE(preview.Delete(4));
}

TEST(PreviewDocument, DeletingTheOnlyPageEmptiesTheStoreAndHidesThePaper) {
    CountingPreview preview;
    record(preview, 1);
    EXPECT_EQ(preview.shown, 1);
    EXPECT_EQ(preview.rebuilds, 1);
    EXPECT_TRUE(preview.Delete(1));
    EXPECT_EQ(preview.TotalPages(), 0);
    EXPECT_EQ(preview.CurrentPage(), 0);
    EXPECT_EQ(preview.hidden, 1);
}

// ---- the page file ------------------------------------------------------

TEST(PreviewDocument, PageFileBytes) {
    PreviewDocument empty;
    EXPECT_EQ(saved(empty), setupHeader() + QByteArray("TXPLP\x05\0\0\0\0\0\0\0\0", 14));
    EXPECT_EQ(saved(empty).size(), 36);

    PreviewDocument a4;
    a4.SetUnits(mmLoMetric);
    const QByteArray head = QByteArray::fromHex("5458504950050000000008000000085200000474000000");
    EXPECT_EQ(saved(a4).left(22), head.left(22));
    EXPECT_EQ(saved(a4).mid(22, 6), QByteArray("TXPLP\x05", 6));

    // Landscape paper is stored wider than high.
    a4.SetOrientation(poLandscape);
    EXPECT_EQ(saved(a4).mid(6, 16), QByteArray::fromHex("01000000080000000474000008520000"));
}

TEST(PreviewDocument, LoadsWhatItSavedAndLoadingAnEmptyFileChangesNothingElse) {
    PreviewDocument source;
    source.SetUnits(mmLoMetric);
    source.SetPaperType(pLetter);
    source.SetOrientation(poLandscape);
    record(source, 3);
    PreviewDocument copy;
    int changes = 0;
    copy.OnChange = [&] { ++changes; };
    load(copy, saved(source));
    EXPECT_EQ(copy.TotalPages(), 3);
    EXPECT_EQ(copy.CurrentPage(), 1);
    EXPECT_EQ(copy.PaperType(), pLetter);
    EXPECT_TRUE(copy.IsLandscape());
    EXPECT_EQ(QSize(copy.PaperWidth(), copy.PaperHeight()), QSize(27940, 21590));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(copy.Pages(i), source.Pages(i)) << i;

    PreviewDocument empty;
    load(copy, saved(empty));
    EXPECT_EQ(copy.TotalPages(), 0);
    PreviewDocument fresh;
    int ranges = 0;
    fresh.Store().OnRangeChanged = [&](int, int) { ++ranges; };
    load(fresh, saved(empty));
    EXPECT_EQ(ranges, 0);
}

TEST(PreviewDocument, AStreamWithoutTheTagRaisesTheLoadErrorAndEndsReady) {
    PreviewDocument preview;
    record(preview, 2);
    std::vector<TPreviewState> states;
    preview.OnStateChange = [&] { states.push_back(preview.State()); };
    try {
        load(preview, QByteArray("not a page file at all, really not"));
        ADD_FAILURE() << "no exception";
    } catch (const EPreviewLoadError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("The content cannot be loaded"));
    }
    EXPECT_EQ(preview.State(), psReady);
    EXPECT_EQ(states, (std::vector<TPreviewState>{psLoading, psReady}));
    EXPECT_EQ(preview.TotalPages(), 2);
}

TEST(PreviewDocument, HostilePageFilesRaiseTheLoadError) {
    const std::vector<QByteArray> pages = smallPages(2);
    const QByteArray list = pageList(pages);
    const qint32 second = qint32(pages[0].size());
    const qint32 total = qint32(pages[0].size() + pages[1].size());
    QByteArray noHeader = pages[1];
    noHeader[0] = 2;
    struct Case {
        const char* what;
        QByteArray bytes;
        bool emptied;  // the page-list tag matched
    };
    const Case cases[] = {
        {"huge page count", setupHeader() + pageList(pages, {}, -1, 0x7FFFFFFF), true},
        {"negative page count", setupHeader() + pageList(pages, {}, -1, -1 - 0x7FFFFFFF), true},
        {"descending offsets", setupHeader() + pageList(pages, {second, 0}), true},
        {"first offset not 0", setupHeader() + pageList(pages, {4, second}), true},
        {"offset past the length", setupHeader() + pageList(pages, {0, total}), true},
        {"paper type 67", setupHeader(0, 67) + list, false},
        {"negative paper type", setupHeader(0, -1) + list, false},
        {"orientation 2", setupHeader(2) + list, false},
        {"orientation 0x100", setupHeader(0x100) + list, false},
        {"zero width", setupHeader(0, 8, 0) + list, false},
        {"negative height", setupHeader(0, 8, 21000, -5) + list, false},
        {"length past the end", setupHeader() + pageList(pages, {}, total + 1), true},
        {"huge length", setupHeader() + pageList(pages, {}, 0x7FFFFFFF), true},
        {"negative length", setupHeader() + pageList(pages, {}, -8), true},
        {"page without an EMF header", setupHeader() + pageList({pages[0], noHeader}), true},
        {"page longer than its header says", setupHeader() + pageList({pages[0] + QByteArray(4, 0)}), true},
        {"no pages but data", setupHeader() + pageList({}, {}, 8) + QByteArray(8, 0), true},
        {"truncated header", setupHeader().left(15), false},
        {"truncated list", (setupHeader() + list).left(40), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PreviewDocument preview;
        record(preview, 1);
        EXPECT_THROW(load(preview, c.bytes), EPreviewLoadError);
        EXPECT_EQ(preview.State(), psReady);
        EXPECT_EQ(preview.TotalPages(), c.emptied ? 0 : 1);
    }
}

// Every input that once broke the fuzz target loads or raises cleanly.
TEST(PreviewDocument, KeptFuzzInputsLoadOrRaiseCleanly) {
    EXPECT_TRUE(page_file_fuzz::loadsCleanly(pageFile(smallPages(4))));
    QDirIterator it(QStringLiteral(TANDEX_TEST_DATA), {QStringLiteral("ppv-*")}, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        SCOPED_TRACE(qPrintable(path));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(page_file_fuzz::loadsCleanly(f.readAll()));
    }
}

// ---- files --------------------------------------------------------------

TEST(PreviewDocument, SavedLoadedAndSavedAgainThroughTheTemporaryFileIsIdentical) {
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.ppv"));
    const QString second = dir.filePath(QStringLiteral("second.ppv"));
    PreviewDocument source;
    record(source, 11);
    source.SaveToFile(first);
    PreviewDocument copy;
    copy.LoadFromFile(first);
    EXPECT_EQ(copy.Store().CachedCount(), 0);
    EXPECT_GT(copy.Store().TempFileSize(), 0);
    copy.Pages(5);  // one page back in memory
    copy.SaveToFile(second);
    EXPECT_EQ(QProcess::execute(QStringLiteral("cmp"), {first, second}), 0);
}

TEST(PreviewDocument, ASaveTooLargeForTheFormatRaisesAndLeavesTheTargetAlone) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("kept.ppv"));
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the user's old file");
    }
    PreviewDocument preview;
    record(preview, 3);
    const qint64 limit = TMetafileList::MaxPageData;
    TMetafileList::MaxPageData = preview.Pages(1).size() * 2;
    EXPECT_THROW(preview.SaveToFile(target), EPrintPreviewError);
    TMetafileList::MaxPageData = limit;
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("the user's old file"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_EQ(preview.State(), psReady);
}

TEST(PreviewDocument, MissingFilesRaiseWithTheirReason) {
    PreviewDocument preview;
    try {
        preview.LoadFromFile(QStringLiteral("/nonexistent/folder/pages.ppv"));
        ADD_FAILURE() << "no exception";
    } catch (const EPrintPreviewError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("not found"), Qt::CaseInsensitive)) << e.what();
    }
    EXPECT_THROW(preview.SaveToFile(QStringLiteral("/nonexistent/folder/pages.ppv")), EPrintPreviewError);
}

// The temporary file has no name anyone can find, and nothing stays in
// the temporary folder, not even after the process is killed. The child
// is this test program, holding eleven pages in a store.
TEST(PreviewDocument, TemporaryFileLeavesNothingBehindEvenWhenKilled) {
    const QString folder = tandex::access::FZSystemTempFolder();
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TANDEX_PAGE_STORE_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=PageStoreChild.HoldsPagesInATemporaryFile")});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray out;
    while (!out.contains("ready") && child.waitForReadyRead(30000)) out += child.readAllStandardOutput();
    ASSERT_TRUE(out.contains("ready")) << out.constData();

    // The child's open file lies in the temporary folder, without a name.
    int inFolder = 0;
    const QString fdFolder = QStringLiteral("/proc/%1/fd").arg(child.processId());
    for (const QString& fd : QDir(fdFolder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n = ::readlink((fdFolder + QLatin1Char('/') + fd).toLocal8Bit().constData(), target,
                                     sizeof target - 1);
        if (n <= 0) continue;
        const QString link = QString::fromLocal8Bit(target, n);
        if (!link.startsWith(folder)) continue;
        ++inFolder;
        EXPECT_TRUE(link.endsWith(QStringLiteral("(deleted)"))) << qPrintable(link);
    }
    EXPECT_EQ(inFolder, 1);
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);

    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

TEST(PageStoreChild, HoldsPagesInATemporaryFile) {
    if (qEnvironmentVariableIsEmpty("TANDEX_PAGE_STORE_CHILD")) GTEST_SKIP() << "run by the kill test";
    TMetafileList store;
    for (const QByteArray& p : smallPages(11)) store.Add(p);
    ASSERT_GT(store.TempFileSize(), 0);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) ::pause();
}

}  // namespace
