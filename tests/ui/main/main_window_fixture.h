#pragma once
// The main window tests' fixture: a program folder of its own in a
// temporary writable root, and the access layer and settings put back
// as the window's start-up found them.

#include <QTemporaryDir>

#include "access/cloud_files.h"
#include "access/file_times.h"
#include "access/program_log.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "tests/ui/widget_harness.h"

namespace tandex::testing {

class MainWindowFixture : public WidgetTest {
protected:
    void SetUp() override {
        config::TPrgDirSources sources;
        sources.executablePath = tmp_.filePath("bin/tandex");
        sources.configHome = tmp_.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
    }
    void TearDown() override {
        WidgetTest::TearDown();
        access::FZSetLogFile(QString());
        access::FZSetTabSize(4, 8192);
        access::FZSetDateFormat(0);
        access::FZSetTimeTolerance(2, 1);
        access::FZSetCloudGranted(false);
        config::SetPrgDir(nullptr);
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    }
    QTemporaryDir tmp_;
};

}  // namespace tandex::testing
