// Pages 8 to 12: folder, text, binary and image comparison, copying files;
// and their handlers.

#include "settings_dialog.h"
#include "settings_page_kit.h"

namespace tandex::settings {

using namespace kit;

namespace {

// Two columns of check boxes inside a group.
std::pair<QVBoxLayout*, QVBoxLayout*> TwoColumns(QBoxLayout* into) {
    QHBoxLayout* row = Row(into);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    // Equal halves: a long caption on one side must not squeeze the other.
    for (QVBoxLayout* c : {left, right}) {
        c->setSpacing(config::ScaleDpi(2));
        row->addLayout(c, 1);
    }
    return {left, right};
}

}  // namespace

void TF_SettingsNew::createPagesCompare() {
    // ---- 8 Folder Compare ----------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(8, "P_FolderCompare"));
        QVBoxLayout* view = GroupColumn(Group(page, "GB_FCView", QStringLiteral(" Folder view: ")));
        auto pair = [&](const char* a, const char* captionA, const char* b, const char* captionB) {
            auto [left, right] = TwoColumns(view);
            QCheckBox* first = Check(left, a, QLatin1String(captionA));
            if (b) Check(right, b, QLatin1String(captionB));
            return first;
        };
        pair("CB_DifFileOnly", "Show only differences (as default)", "CB_FCHoverText", "Enable hover text");
        Check(view, "cbFCSelFirstDif", QStringLiteral("Select the first difference after new compare"));
        CB_FCAutoExpAll = Check(view, "CB_FCAutoExpAll", QStringLiteral("Expand all folders after new compare "));
        CB_FCAutoExpand =
            Check(Row(view, 18), "CB_FCAutoExpand", QStringLiteral("Expand all diff folders after new compare "));
        pair("CB_FCHLFldDif", "Highlight different folder data", "CB_FCFldFirst", "Show folders first");
        pair("CB_FCHScroll", "Show horizontal scrollbar", "CB_FCShowSession", "Show Session name in Tab-Title");
        control<QCheckBox>("CB_FCFldFirst")->setToolTip(
            QStringLiteral(" If checked, folders are shown first followed by files\r If not checked, files and "
                           "folders are mixed in alphabetical order "));
        control<QCheckBox>("CB_FCShowSession")->setToolTip(
            QStringLiteral(" If check, the Session name is dislayed in the Tab Title of a \r Folder Compare view. "
                           "Otherwise the folder names are displayed. "));
        QHBoxLayout* columns = Row(view);
        Label(columns, "L_FCColumns", QStringLiteral("Columns:"));
        Check(columns, "CB_ShowFileSize", QStringLiteral("Size"));
        Check(columns, "CB_ShowFileTime", QStringLiteral("Timestamp"));
        Check(columns, "CB_ShowFileAttr", QStringLiteral("Attributes"));
        columns->addStretch();
        connect(CB_FCAutoExpAll, &QCheckBox::toggled, this, [this] { CB_FCAutoExpAllClick(); });

        QVBoxLayout* times = GroupColumn(Group(page, "GB_FCTimes", QStringLiteral(" Timestamps: ")));
        QHBoxLayout* dif = Row(times);
        Label(dif, "L_TimeDif", QStringLiteral("Ignore Timestamp difference up to:"))->setFixedWidth(config::ScaleDpi(220));
        Edit(dif, "E_TimeDif", 70)->setMaxLength(8);
        Label(dif, "L_TimeDifUnit", QStringLiteral("sec"));
        dif->addStretch();
        QHBoxLayout* dst = Row(times);
        Label(dst, "L_DSTDiff", QStringLiteral("Ignore DST / Time Zone difference of:"),
              QStringLiteral(" Ignore the choosen DST (Daylight Saving Time) or Time Zone difference \r 0 = disable"))
            ->setFixedWidth(config::ScaleDpi(220));
        Edit(dst, "E_FCIgnDST", 70)->setMaxLength(2);
        Label(dst, "L_DSTDiffUnit", QStringLiteral("hour(s)"));
        dst->addStretch();

        QVBoxLayout* run = GroupColumn(Group(page, "GB_FCRun", QStringLiteral(" Compare run: ")));
        Check(run, "CB_CompAutoClose",
              QStringLiteral("Close the \"Folder Compare\" dialog after successful completion"));
        Check(run, "CB_FlashBG", QStringLiteral("Show flashing background during pre-scanning folders"));
        {
            auto [left, right] = TwoColumns(run);
            Check(left, "CB_GenCompLog", QStringLiteral("Generate a Compare Logfile"));
            Check(right, "CB_CompPerfGraph", QStringLiteral("Show Compare-Rate Graph"));
        }
        QHBoxLayout* options = Row(page);
        Button(options, "fbQFCOpts", QStringLiteral("Quick Compare Options"), 170)->OnClick = [this](QObject*) {
            fbQFCOptsClick();
        };
        options->addStretch();
        page->addStretch();
    }

    // ---- 9 Text Compare ----------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(9, "P_TextCompare"));
        page->setSpacing(config::ScaleDpi(3));
        QVBoxLayout* view = GroupColumn(Group(page, "GB_TCView", QStringLiteral(" Text view: ")));
        {
            auto [left, right] = TwoColumns(view);
            Check(left, "CB_TCDifLineOnly", QStringLiteral("Show only differences (as default)"));
            Check(right, "CB_TCHoverText", QStringLiteral("Enable hover text"));
        }
        {
            auto [left, right] = TwoColumns(view);
            Check(left, "CB_TCShowRuler", QStringLiteral("Show horizontal ruler"));
            Check(right, "cbTCSelFirstDif", QStringLiteral("Select the first difference after new compare"));
        }
        Label(view, "L_TCDiffDetect", QStringLiteral("Detect differences:"));
        QHBoxLayout* detect = Row(view, 18);
        Radio(detect, "RB_TCLinesOnly", QStringLiteral("Lines only"));
        Radio(detect, "RB_TCLinesAndWords", QStringLiteral("Lines and words"));
        Radio(detect, "RB_TCLinesAndChars", QStringLiteral("Lines and characters"));
        detect->addStretch();

        QVBoxLayout* ignore = GroupColumn(Group(page, "GB_TCIgnore", QStringLiteral(" Ignore: ")));
        auto [blanks, other] = TwoColumns(ignore);
        CB_IgnAllBl = Check(blanks, "CB_IgnAllBl", QStringLiteral("Ignore all white spaces in lines"));
        CB_IgnLeadBl = Check(Row(blanks, 18), "CB_IgnLeadBl", QStringLiteral("Ignore all leading white spaces in lines"));
        CB_IgnTrailBl =
            Check(Row(blanks, 18), "CB_IgnTrailBl", QStringLiteral("Ignore all trailing white spaces in lines"));
        Check(other, "CB_IgnoreCase", QStringLiteral("Ignore character case"));
        Check(other, "CB_TCIgnEmptyLn", QStringLiteral("Ignore all empty lines"));
        other->addStretch();
        connect(CB_IgnAllBl, &QCheckBox::toggled, this, [this] { CB_IgnAllBlClick(); });
        const struct {
            const char *before, *field, *after;
        } pairs[] = {
            {"Ignore the first", "E_TCIgnLnStart", "line pairs at the beginning of the file"},
            {"Ignore the last", "E_TCIgnLnEnd", "line pairs at the end of the file"},
        };
        int n = 0;
        for (const auto& p : pairs) {
            QHBoxLayout* row = Row(ignore);
            const QByteArray tag = QByteArray::number(++n);
            Label(row, ("L_TCIgnLnA" + tag).constData(), QLatin1String(p.before))->setFixedWidth(config::ScaleDpi(90));
            Edit(row, p.field, 56)->setMaxLength(6);
            Label(row, ("L_TCIgnLnB" + tag).constData(), QLatin1String(p.after));
            row->addStretch();
        }
        QHBoxLayout* columns = Row(ignore);
        Check(columns, "CB_TCIgnColumns", QStringLiteral("Ignore column ranges:"))->setFixedWidth(config::ScaleDpi(170));
        Edit(columns, "E_TCIgnColumns", 0,
             QStringLiteral(" Enter a semicolon-separated list of ranges \r Examples: 5;10;15-24;40-55 "));
        QHBoxLayout* comments = Row(ignore);
        Check(comments, "CB_TCIgnLineCom", QStringLiteral("Ignore inline comments:"))->setFixedWidth(config::ScaleDpi(170));
        Edit(comments, "E_TCIgnLnComPat", 0,
             QStringLiteral(" Enter a SPACE-separated list of inline comments \r Examples: // :: REM "));

        gbFuzzy = Group(page, "gbFuzzy", QStringLiteral(" Fuzzy line matching: "));
        QVBoxLayout* fuzzy = GroupColumn(gbFuzzy);
        QHBoxLayout* limits = Row(fuzzy);
        Check(limits, "cbTCFPEnabled", QStringLiteral("Enabled"));
        limits->addSpacing(config::ScaleDpi(16));
        lTCFPTime = Label(limits, "lTCFPTime", QStringLiteral("Max. FP time:"));
        lTCFPTime->setCursor(Qt::WhatsThisCursor);
        lTCFPTime->installEventFilter(this);
        Edit(limits, "eTCFPTime", 32)->setMaxLength(2);
        Label(limits, "L_TCFPTimeUnit", QStringLiteral("sec"));
        limits->addSpacing(config::ScaleDpi(16));
        Label(limits, "lTCSimilarity", QStringLiteral("Line similarity:"));
        Edit(limits, "eTCSimilarity", 40)->setMaxLength(3);
        Label(limits, "L_TCSimilarityUnit", QStringLiteral("%"));
        limits->addStretch();
        Check(fuzzy, "cbTCFPIgnCase", QStringLiteral("Always ignore case for similarity calculation"));
        Check(fuzzy, "cbTCFPEnhance", QStringLiteral("Use similarity enhancements"));
        page->addStretch();
    }

    // ---- 10 Binary Compare -----------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(10, "P_BinaryCompare"));
        QVBoxLayout* view = GroupColumn(Group(page, "GB_BCView", QStringLiteral(" Binary view: ")));
        Check(view, "CB_BCDifLineOnly", QStringLiteral("Show only differences (as default)"));
        Check(view, "CB_DetailDifB", QStringLiteral("Show detaild differences (on char level)"));
        Check(view, "CB_BCSelFirstDif", QStringLiteral("Select the first difference after new compare"));
        Check(view, "CB_BCHoverText", QStringLiteral("Enable hover text"));
        Check(view, "CB_BCShowRuler", QStringLiteral("Show horizontal ruler"));
        QVBoxLayout* dump = GroupColumn(Group(page, "GB_BCDump", QStringLiteral(" Hexadecimal dump: ")));
        QHBoxLayout* hex = Row(dump);
        Label(hex, "L_HexTxt", QStringLiteral("Number of HEX-Values per line  (Range: 1 .. 256):"));
        Edit(hex, "E_HEX", 40)->setMaxLength(3);
        hex->addStretch();
        Radio(dump, "RB_BCLineNum", QStringLiteral("Display simple line numbers"));
        Radio(dump, "RB_BCOffsetAddr", QStringLiteral("Display hexadezimal offset addresses"));
        Check(dump, "CB_BCShowCtrl", QStringLiteral("Show control characters (1 .. 31)"));
        Check(dump, "CB_BCShowExt", QStringLiteral("Show extended characters (128 .. 255)"));
        page->addStretch();
    }

    // ---- 11 Image Compare ----------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(11, "P_ImageCompare"));
        QVBoxLayout* scale = GroupColumn(Group(page, "GB_ICScale", QStringLiteral(" Image size: ")));
        Radio(scale, "RB_ScaleToViewer", QStringLiteral("Scale images to fit into the comparison panes"));
        Check(Row(scale, 18), "CB_ICDownScale",
              QStringLiteral("Only scale down large images (do not scale up small images)"));
        Radio(scale, "RB_Scale100", QStringLiteral("Do not resize images (scale images to 100% after loading)"));
        Check(scale, "CB_ICSyncMove", QStringLiteral("Move images synchronously"));

        QVBoxLayout* formats = GroupColumn(Group(page, "GB_ICFormats", QStringLiteral(" Image formats: ")));
        QHBoxLayout* formatRow = Row(formats);
        const std::pair<const char*, const char*> kinds[] = {{"CB_ShowJPG", "JPG"}, {"CB_ShowTIF", "TIF"},
                                                             {"CB_ShowGIF", "GIF"}, {"CB_ShowBMP", "BMP"},
                                                             {"CB_ShowICO", "ICO"}, {"CB_ShowWMF", "WMF"},
                                                             {"CB_ShowPNG", "PNG"}};
        for (const auto& [name, caption] : kinds) Check(formatRow, name, QLatin1String(caption));
        formatRow->addStretch();
        CB_ShowICO = control<QCheckBox>("CB_ShowICO");
        CB_ICLastFrame = Check(Row(formats, 18), "CB_ICLastFrame",
                               QStringLiteral("Always show the last frame of multiframe icons (usually the largest icon)"));
        connect(CB_ShowICO, &QCheckBox::toggled, this, [this] { CB_ShowICOClick(); });

        QVBoxLayout* colors = GroupColumn(Group(page, "GB_ICColors", QStringLiteral(" Colors: ")));
        const std::pair<const char*, const char*> panels[] = {{"pICEqCol", "Same pixels:"},
                                                              {"pICTolCol", "Tolerated pixels:"},
                                                              {"pICDifCol", "Different pixels:"},
                                                              {"pICBgCol", "Background color:"}};
        int n = 0;
        for (const auto& [name, caption] : panels) {
            QHBoxLayout* row = Row(colors);
            Label(row, ("L_ICColor" + QByteArray::number(++n)).constData(), QLatin1String(caption))
                ->setFixedWidth(config::ScaleDpi(120));
            ColorPanel(row, name)->installEventFilter(this);
            row->addStretch();
        }
        page->addStretch();
    }

    // ---- 12 Copy files ---------------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(12, "P_Copy"));
        QVBoxLayout* copy = GroupColumn(Group(page, "GB_Copy", QStringLiteral(" Copy files: ")));
        Check(copy, "CB_CopyAutoClose",
              QStringLiteral("Close the \"Copy\" dialog when all files have been copied successfully"));
        Check(copy, "CB_GenCopyLog", QStringLiteral("Generate a Copy Logfile"));
        Check(copy, "CB_CopyPerfGraph", QStringLiteral("Show Transfer Rate Graph"));
        QHBoxLayout* buffers = Row(copy);
        Label(buffers, "L_NumOfDBTxt", QStringLiteral("Number of data buffers (Range: 100 .. 500):"));
        Edit(buffers, "E_NumOfDB", 46)->setMaxLength(3);
        buffers->addStretch();
        page->addStretch();
    }
}

void TF_SettingsNew::CB_FCAutoExpAllClick() {
    CB_FCAutoExpand->setEnabled(!CB_FCAutoExpAll->isChecked());
}

void TF_SettingsNew::CB_IgnAllBlClick() {
    const bool all = CB_IgnAllBl->isChecked();
    CB_IgnLeadBl->setEnabled(!all);
    CB_IgnTrailBl->setEnabled(!all);
}

void TF_SettingsNew::CB_ShowICOClick() {
    CB_ICLastFrame->setEnabled(CB_ShowICO->isChecked());
}

}  // namespace tandex::settings
