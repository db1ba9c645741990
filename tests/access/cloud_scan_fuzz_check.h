#pragma once
// One run of the cloud client's answer readers over hostile text, shared by
// the libFuzzer target and the test that replays the inputs in data/ that
// once broke them: a metadata answer read entry by entry must end (every
// entry handed out lies behind the one before), and a token answer gives
// both parts or reports that it lacks one.

#include "access/cloud_client.h"

#include <QByteArray>
#include <QString>

namespace tandex::access::fuzz {

inline QString runCloudScan(const QByteArray& input) {
    const QString text = QString::fromUtf8(input);
    TDropbox1 client;
    client.SetScanText(text);
    // Each entry needs its own "path" key, so a text cannot hold more
    // entries than characters.
    const qsizetype limit = text.size() + 2;
    TDBOItem item;
    qsizetype count = 0;
    for (;;) {
        client.ReadItem(item);
        if (item.Path.isEmpty()) break;
        if (++count > limit) return QStringLiteral("the listing never ends");
    }
    QString key, secret;
    if (TDropbox1::ReadTokenAnswer(text, key, secret) && (key.isEmpty() || secret.isEmpty()))
        return QStringLiteral("a token answer was taken without both parts");
    return QString();
}

}  // namespace tandex::access::fuzz
