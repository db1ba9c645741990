#include "ui/main/converters.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <memory>

#include "access/access_slots.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/list_fields.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/qt_services.h"

using namespace tandex;
using namespace tandex::ui;

namespace {

// The converters the tests run; each is a /bin/sh script in the program
// folder's "Plugins", which is also the folder they run in.
const struct {
    const char* name;
    const char* body;
} kScripts[] = {
    {"upper.sh", "if [ -n \"$2\" ]; then tr a-z A-Z < \"$1\" > \"$2\"; else tr a-z A-Z < \"$1\"; fi\n"},
    {"exitwith.sh", "echo converted\nexit \"$2\"\n"},
    {"selfkill.sh", "echo converted\nkill -TERM $$\n"},
    {"silent.sh", "exit 0\n"},
    // Its own id and a child's, so the test can see that both are gone.
    {"sleeper.sh", "echo $$ > pids\nsleep 30 &\necho $! >> pids\nwait\n"},
    {"args.sh", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > args.txt\necho converted > \"$3\"\n"},
};

// Gone, or a zombie that only waits for its new parent to reap it.
bool processEnded(int pid) {
    if (::kill(pid_t(pid), 0) == -1 && errno == ESRCH) return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.mid(close + 2, 1) == "Z";
}

class Converters : public ::testing::Test {
protected:
    void SetUp() override {
        tandex::testing::TestApp();
        ASSERT_TRUE(tmp_.isValid());
        root_ = tmp_.path() + QStringLiteral("/");
        QDir().mkpath(root_ + QStringLiteral("appdir/Plugins"));
        QDir().mkpath(root_ + QStringLiteral("src"));
        config::TPrgDirSources sources;
        sources.executablePath = root_ + QStringLiteral("appdir/tandex");
        sources.arguments = {sources.executablePath};
        sources.configHome = root_ + QStringLiteral("config");
        sources.home = root_;
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        for (const auto& s : kScripts) {
            QFile f(plugins() + QLatin1String(s.name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("#!/bin/sh\n") + s.body);
            f.close();
            f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        }
        access::FZSetTempFolder(root_ + QStringLiteral("temp"), previousTemp_);
        config::setEventPump(&pump_);

        savedEntries_ = config::AppSettings().PIConfig;
        for (auto& e : config::AppSettings().PIConfig) e.clear();
        config::AppSettings().PIDisableAll = false;
        access::FZResetAbort();
    }

    void TearDown() override {
        access::FZResetAbort();
        config::AppSettings().PIConfig = savedEntries_;
        config::AppSettings().PIDisableAll = false;
        config::setEventPump(nullptr);
        QString ignored;
        access::FZSetTempFolder(previousTemp_, ignored);
        config::SetPrgDir(nullptr);
        auto& stores = engine::paneStores();
        stores.ResetSide(1, true);
        stores.FileKinds[1] = 0;
        stores.PlugInIndex[1] = -1;
        stores.SideAccessKinds[1] = 0;
    }

    QString plugins() const { return root_ + QStringLiteral("appdir/Plugins/"); }

    // One converter entry in place 0.
    void setEntry(const QString& entry) { config::AppSettings().PIConfig[0] = entry; }

    // A local source file in pane 1, matched against the entries.
    QString putSource(const QString& name, const QByteArray& content = "Hello world\n") {
        const QString path = root_ + QStringLiteral("src/") + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        auto& stores = engine::paneStores();
        stores.FilePaths[1] = root_ + QStringLiteral("src/");
        stores.FileNames[1] = name;
        stores.SideAccessKinds[1] = access::akLocal;
        stores.FileKinds[1] = access::fkPlugin;
        EXPECT_TRUE(plugIns().matchPlugIn(1, path)) << qPrintable(path);
        return path;
    }

    // Runs the pane's converter; lines gets the text read from its output.
    int convert(QStringList& lines) {
        int kind = 0, result = -1;
        const int slot = plugIns().runPlugIn(1, kind, result);
        if (result != prSuccess) {
            EXPECT_EQ(slot, access::FZNoSlot);
            return result;
        }
        EXPECT_GE(kind, int(access::fkAnsi));
        access::FZSetFileKind(slot, kind);
        QString line;
        int r = 0;
        while ((r = access::FZReadLine(slot, line)) == 0) lines << line;
        if (r == 38 && !access::FZReadLineAtEnd(slot)) lines << line;
        EXPECT_EQ(r, 38);
        EXPECT_EQ(access::FZClose(slot), 0);
        return result;
    }

    QString errorTextOf(int result) const {
        return plugIns().errorText(plugIns().openErrorCode(result), 1);
    }

    QTemporaryDir tmp_;
    QString root_;
    QString previousTemp_;
    QtEventPump pump_;
    std::array<QString, config::kListSize> savedEntries_;
};

}  // namespace

TEST_F(Converters, EntriesMatchByMasksOnlyWhenEnabled) {
    auto& entries = config::AppSettings().PIConfig;
    entries[0] = QStringLiteral("Off;*.dll;$srcfile;upper.sh;0;0;0;0;");
    entries[2] = QStringLiteral("PE;*.exe,*.dll;$srcfile;upper.sh;0;0;0;1;");
    entries[3] = QStringLiteral("Text;*.txt;$srcfile;upper.sh;0;0;0;1;");
    struct Case {
        const char* path;
        int index;  // -1: no entry
    };
    const Case cases[] = {
        {"/w/LIB.DLL", 2}, {"/w/prog.exe", 2}, {"/w/notes.TXT", 3},
        {"/w/lib.dl", -1}, {"/w/dll", -1},     {"/w.dll/readme", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plugIns().matchPlugIn(1, QString::fromUtf8(c.path)), c.index >= 0) << c.path;
        EXPECT_EQ(engine::paneStores().PlugInIndex[1], c.index) << c.path;
    }

    config::AppSettings().PIDisableAll = true;
    EXPECT_FALSE(plugIns().matchPlugIn(1, QStringLiteral("/w/LIB.DLL")));
    EXPECT_EQ(engine::paneStores().PlugInIndex[1], -1);

    // The entries a new settings file gets are all switched off.
    config::AppSettings().PIDisableAll = false;
    for (int i = 0; i < config::kBuiltInConverters; ++i) entries[size_t(i)] = config::BuiltInConverters()[size_t(i)];
    for (const char* name : {"/w/a.pdf", "/w/a.doc", "/w/a.exe", "/w/a.xml", "/w/a.htm"})
        EXPECT_FALSE(plugIns().matchPlugIn(1, QString::fromUtf8(name))) << name;
}

TEST(ConverterCommand, PlaceholdersBecomeSingleQuotedPaths) {
    const QString out = QStringLiteral("/t/PIOUT.txt");
    const QString app = QStringLiteral("/opt/tandex/");
    struct Case {
        const char* templ;
        const char* source;
        const char* parameters;
    };
    const Case cases[] = {
        {"$srcfile", "/d/a b.doc", "'/d/a b.doc' > '/t/PIOUT.txt'"},
        {"-layout $SRCFILE $DstFile", "/d/x.pdf", "-layout '/d/x.pdf' '/t/PIOUT.txt'"},
        {"-i $srcfile", "/d/it's.htm", "-i '/d/it'\\''s.htm' > '/t/PIOUT.txt'"},
        {"$srcfile $dstfile", "/d/a $(touch x)`id`.txt", "'/d/a $(touch x)`id`.txt' '/t/PIOUT.txt'"},
        // A name that looks like a placeholder is no placeholder.
        {"$srcfile", "/d/$dstfile.txt", "'/d/$dstfile.txt' > '/t/PIOUT.txt'"},
        {"--conf=$appdir\\conv.cfg $srcfile", "/d/a", "--conf='/opt/tandex/'conv.cfg '/d/a' > '/t/PIOUT.txt'"},
        {"-d $APPDIR $srcfile", "/d/a", "-d '/opt/tandex' '/d/a' > '/t/PIOUT.txt'"},
        {"$home $srcfile", "/d/a", "$home '/d/a' > '/t/PIOUT.txt'"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildPlugInParameters(QString::fromUtf8(c.templ), QString::fromUtf8(c.source), out, app),
                  QString::fromUtf8(c.parameters))
            << c.templ;
}

TEST_F(Converters, ConverterOutputBecomesThePaneText) {
    for (const char* templ : {"$srcfile", "$SRCFILE $DSTFILE"}) {
        setEntry(QStringLiteral("Upper;*.txt;%1;$appdir/Plugins/upper.sh;0;1;0;1;").arg(QLatin1String(templ)));
        putSource(QStringLiteral("doc.txt"), "Hello world\nsecond line\n");
        QStringList lines;
        ASSERT_EQ(convert(lines), prSuccess) << templ;
        EXPECT_EQ(lines, (QStringList{QStringLiteral("HELLO WORLD"), QStringLiteral("SECOND LINE")})) << templ;
    }
    // The older "$appdir\" spelling and a program found on PATH.
    EXPECT_EQ(ResolvePlugInProgram(QStringLiteral("$appdir\\Plugins/upper.sh")), plugins() + "upper.sh");
    EXPECT_TRUE(ResolvePlugInProgram(QStringLiteral("sh")).endsWith(QStringLiteral("/sh")));
}

TEST_F(Converters, ExitCodesDecideByTheEntry) {
    struct Case {
        const char* fields;  // use exit code; success code; enabled; second success code
        const char* script;
        int code;
        int result;
    };
    const Case cases[] = {
        {"1;0;1;1;", "exitwith.sh", 0, prSuccess},    {"1;0;1;1;", "exitwith.sh", 1, prSuccess},
        {"1;0;1;1;", "exitwith.sh", 2, prBadExitCode}, {"1;0;1;;", "exitwith.sh", 1, prBadExitCode},
        {"1;3;1;", "exitwith.sh", 3, prSuccess},       {"0;0;1;", "exitwith.sh", 3, prSuccess},
        {"1; 2 ;1;", "exitwith.sh", 2, prSuccess},     {"1;0;1;", "selfkill.sh", 128 + SIGTERM, prBadExitCode},
    };
    for (const Case& c : cases) {
        const QString label = QStringLiteral("%1 %2 exit %3").arg(QLatin1String(c.fields), QLatin1String(c.script)).arg(c.code);
        setEntry(QStringLiteral("Exit;*.txt;$srcfile %1;$appdir/Plugins/%2;0;%3")
                     .arg(c.code)
                     .arg(QLatin1String(c.script), QLatin1String(c.fields)));
        putSource(QStringLiteral("doc.txt"));
        QStringList lines;
        EXPECT_EQ(convert(lines), c.result) << qPrintable(label);
        EXPECT_EQ(plugIns().exitCode(), c.code) << qPrintable(label);
        if (c.result == prBadExitCode)
            EXPECT_EQ(errorTextOf(c.result), QStringLiteral("Plug-In returned error code: %1").arg(c.code));
        else
            EXPECT_EQ(lines, QStringList{QStringLiteral("converted")}) << qPrintable(label);
    }
}

TEST_F(Converters, MissingProgramsAndEmptyOutputAreReported) {
    // An empty output fails even after a success code, and an earlier run's
    // output never stands in for it.
    setEntry(QStringLiteral("Upper;*.txt;$srcfile;$appdir/Plugins/upper.sh;0;1;0;1;"));
    putSource(QStringLiteral("doc.txt"));
    QStringList lines;
    ASSERT_EQ(convert(lines), prSuccess);
    setEntry(QStringLiteral("Silent;*.txt;$srcfile;$appdir/Plugins/silent.sh;0;1;0;1;"));
    putSource(QStringLiteral("doc.txt"));
    EXPECT_EQ(convert(lines), prNoOutput);
    EXPECT_EQ(plugIns().openErrorCode(prNoOutput), kPlugInEmptyError);
    EXPECT_EQ(errorTextOf(prNoOutput), QStringLiteral("Plug-In output is empty!"));

    for (const char* program : {"$appdir/Plugins/gone.sh", "tandex-no-such-converter", "/no/such/dir/conv"}) {
        setEntry(QStringLiteral("My Converter;*.txt;$srcfile;%1;0;1;0;1;").arg(QLatin1String(program)));
        putSource(QStringLiteral("doc.txt"));
        EXPECT_EQ(convert(lines), prNotFound) << program;
        EXPECT_EQ(errorTextOf(prNotFound), QStringLiteral("Plug-In not found: My Converter")) << program;
    }
}

TEST_F(Converters, FileNamesReachTheConverterWhole) {
    setEntry(QStringLiteral("Args;*.txt;-x $srcfile $dstfile;$appdir/Plugins/args.sh;0;1;0;1;"));
    for (const char* name : {"a $(touch x).txt", "it's `touch x`; b.txt", "$dstfile.txt"}) {
        const QString path = putSource(QString::fromUtf8(name));
        QStringList lines;
        ASSERT_EQ(convert(lines), prSuccess) << name;
        QFile args(plugins() + QStringLiteral("args.txt"));
        ASSERT_TRUE(args.open(QIODevice::ReadOnly)) << name;
        const QString output = access::FZTempFolder() + QStringLiteral("PIOUT.txt");
        EXPECT_EQ(QString::fromUtf8(args.readAll()),
                  QStringLiteral("-x\n") + path + QStringLiteral("\n") + output + QStringLiteral("\n"))
            << name;
        for (const QString& folder : {plugins(), root_ + QStringLiteral("src/"), QDir::currentPath() + "/"})
            EXPECT_FALSE(QFile::exists(folder + QStringLiteral("x"))) << name << " in " << qPrintable(folder);
    }
}

TEST_F(Converters, CancelStopsTheConverterAndItsChildren) {
    setEntry(QStringLiteral("Sleep;*.txt;$srcfile;$appdir/Plugins/sleeper.sh;0;1;0;1;"));
    putSource(QStringLiteral("doc.txt"));
    bool busyWhileRunning = false;
    QTimer::singleShot(400, [&] {
        busyWhileRunning = plugIns().running();
        access::FZAbortAll();
    });
    QStringList lines;
    EXPECT_EQ(convert(lines), prCancelled);
    EXPECT_TRUE(busyWhileRunning);
    EXPECT_FALSE(plugIns().running());
    EXPECT_EQ(plugIns().openErrorCode(prCancelled), 0);

    QFile pids(plugins() + QStringLiteral("pids"));
    ASSERT_TRUE(pids.open(QIODevice::ReadOnly));
    const QList<QByteArray> ids = pids.readAll().trimmed().split('\n');
    ASSERT_EQ(ids.size(), 2);
    for (const QByteArray& id : ids) EXPECT_TRUE(processEnded(id.toInt())) << id.constData();
}

TEST_F(Converters, NonNumericSuccessCodeIsTheEntrysError) {
    const QString entry = QStringLiteral("Args;*.txt;$srcfile;$appdir/Plugins/args.sh;0;1;x;1;");
    setEntry(entry);
    putSource(QStringLiteral("doc.txt"));
    QStringList lines;
    EXPECT_EQ(convert(lines), prBadEntry);
    EXPECT_EQ(plugIns().openErrorCode(prBadEntry), kPlugInEntryError);
    EXPECT_EQ(errorTextOf(prBadEntry),
              QStringLiteral("Plug-In \"Args\": the success codes \"x\" and \"\" must be whole numbers"));
    EXPECT_FALSE(QFile::exists(plugins() + QStringLiteral("args.txt")));
    EXPECT_EQ(config::AppSettings().PIConfig[0], entry);
}

TEST_F(Converters, RemoteSourceThatCannotBeCopiedIsAnOpenError) {
    setEntry(QStringLiteral("Args;*.txt;$srcfile;$appdir/Plugins/args.sh;0;1;0;1;"));
    putSource(QStringLiteral("doc.txt"));
    auto& stores = engine::paneStores();
    stores.SideAccessKinds[1] = access::akFtp;
    stores.SideSlots[1] = access::FZNoSlot;
    QStringList lines;
    EXPECT_EQ(convert(lines), prAccessFailed);
    EXPECT_EQ(plugIns().openErrorCode(prAccessFailed), access::FZCheckSlot(access::FZNoSlot));
    EXPECT_NE(plugIns().openErrorCode(prAccessFailed), 0);
    EXPECT_FALSE(QFile::exists(plugins() + QStringLiteral("args.txt")));
}

TEST_F(Converters, PdfToTextFillsThePaneAndSavingOffersANewName) {
    const QString pdf = root_ + QStringLiteral("src/report.pdf");
    {
        QPdfWriter writer(pdf);
        QPainter painter(&writer);
        QFont font = painter.font();
        font.setPointSize(24);
        painter.setFont(font);
        painter.drawText(QPointF(200, 800), QStringLiteral("Converted pane text"));
    }
    QString entry = config::BuiltInConverters()[0];
    ASSERT_TRUE(config::SetListField(entry, 7, QStringLiteral("1")));
    setEntry(entry);
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    putSource(QStringLiteral("report.pdf"), f.readAll());

    QStringList lines;
    ASSERT_EQ(convert(lines), prSuccess) << qPrintable(plugIns().lastCommand());
    EXPECT_TRUE(lines.join(QLatin1Char('\n')).contains(QStringLiteral("Converted pane text"))) << qPrintable(lines.join('|'));

    EXPECT_TRUE(SaveInPlaceNeedsSaveAs(1));
    EXPECT_EQ(SaveDefaultName(1), QStringLiteral("report.pdf.PDF_to_Text"));
}

TEST_F(Converters, OnlyUnnamedNewAndConvertedPanesSaveAsANewFile) {
    setEntry(QStringLiteral("PDF to Text;*.pdf;$srcfile;pdftotext;0;1;0;1;"));
    auto& stores = engine::paneStores();
    stores.PlugInIndex[1] = 0;
    struct Case {
        const char* name;
        int kind;
        bool saveAs;
        const char* defaultName;
    };
    const Case cases[] = {
        {"a.txt", access::fkUtf8, false, "a.txt"},  {"a.pdf", access::fkPlugin, true, "a.pdf.PDF_to_Text"},
        {"", access::fkAnsi, true, ""},             {"NewL.txt", access::fkAnsi, true, ""},
        {"NewR.txt", access::fkAnsi, false, "NewR.txt"},
    };
    for (const Case& c : cases) {
        stores.FileNames[1] = QString::fromUtf8(c.name);
        stores.FileKinds[1] = quint8(c.kind);
        EXPECT_EQ(SaveInPlaceNeedsSaveAs(1), c.saveAs) << c.name;
        EXPECT_EQ(SaveDefaultName(1), QString::fromUtf8(c.defaultName)) << c.name;
    }
}
