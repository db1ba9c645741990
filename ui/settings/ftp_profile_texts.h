#pragma once
// What the FTP profile pages work out without a widget: the stored record
// of a profile, its line in the profile list, the look of each state of the
// connection test, and the lines of the server-capability view.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tandex::settings {

inline constexpr int kFtpProfileFields = 16;
// The list shows one column up to this many profiles, two above.
inline constexpr int kFtpListColumnRows = 10;
inline constexpr const char* kFtpCapabilitiesFile = "FTP-Capabilities.txt";

// The fields joined by ";", without one after the last field.
QString JoinFtpProfileRecord(const QStringList& fields);

// A ";" inside the name, host or user would shift every later field of
// the record, and the record has no escape for it.
bool FtpRecordTextsSeparable(const QString& name, const QString& host, const QString& user);

// The list's line of a used slot: " 1: Work: [bob@h]".
QString FtpProfileListItem(int slot);

// State 0 .. 7 of the connection test as its result label shows it; the
// texts keep "\r" for their line breaks. recolour is false where the label
// keeps the colour it had.
struct TFtpTestLook {
    QString text;
    bool recolour = true;
    quint32 colour = 0;  // 0x00BBGGRR
};
// errorText: the access layer's text of the failed connection (state 6).
TFtpTestLook FtpTestStateLook(int state, const QString& errorText = {});

// The view's lines for a server's reply lines: a reply line whose command
// word has a line in descriptions (word, tab, text) is shown as that line,
// any other as it came. With commandList the reply is the server's command
// help, whose lines list several command words each: every word is looked
// up on its own; a line that is prose rather than command words stays whole.
QStringList DescribeFtpReplyLines(const QStringList& reply, const QStringList& descriptions, bool commandList);

}  // namespace tandex::settings
