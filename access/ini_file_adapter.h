#pragma once
// The access layer's side of the INI engine's file interface: the settings
// file goes through the slots, the kind detection and the text reader and
// writer like any other text file. The program installs one at start.

#include "config/ini_file_access.h"

namespace tandex::access {

class TIniFileAdapter : public config::TIniFileAccess {
public:
    int Open(const QString& path, bool write, int& slot) override;
    int DetectFileKind(int slot, int& kind) override;
    int SetFileKind(int slot, int kind) override;
    int ReadLine(int slot, QString& text, bool& hasLine) override;
    int WriteText(int slot, const QString& text) override;
    int Close(int slot) override;
    void SetTabSize(int width, int maxLineLength) override;
    int MakeFolderPath(const QString& path) override;
    void SetTempFolder(const QString& folder) override;
    void Log(const QString& text) override;

    void ResetAbort() override;
    int OpenLocation(const QString& path, int& slot) override;
    int ReadWholeFile(int slot, const QString& path, QByteArray& content) override;
};

}  // namespace tandex::access
