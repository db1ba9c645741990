#include "config/ini_file_access.h"

#include <atomic>

namespace tandex::config {

namespace {

class NoFileAccess : public TIniFileAccess {
public:
    // 1: the function is not available.
    int Open(const QString&, bool, int& slot) override {
        slot = 4;
        return 1;
    }
    int DetectFileKind(int, int& kind) override {
        kind = 0;
        return 1;
    }
    int SetFileKind(int, int) override { return 1; }
    int ReadLine(int, QString& text, bool& hasLine) override {
        text.clear();
        hasLine = false;
        return 1;
    }
    int WriteText(int, const QString&) override { return 1; }
    int Close(int) override { return 1; }
    void SetTabSize(int, int) override {}
    int MakeFolderPath(const QString&) override { return 1; }
    void SetTempFolder(const QString&) override {}
    void Log(const QString&) override {}
};

std::atomic<TIniFileAccess*>& installed() {
    static std::atomic<TIniFileAccess*> access{nullptr};
    return access;
}

}  // namespace

TIniFileAccess& IniFileAccess() {
    static NoFileAccess none;
    TIniFileAccess* access = installed().load();
    return access ? *access : none;
}

void SetIniFileAccess(TIniFileAccess* access) {
    installed().store(access);
}

}  // namespace tandex::config
