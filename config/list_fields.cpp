#include "config/list_fields.h"

namespace tandex::config {

namespace {

// Start of field n, or -1 when the record has fewer separators.
qsizetype fieldStart(const QString& record, int n) {
    qsizetype i = 0;
    for (; n > 0; --n) {
        const qsizetype sep = record.indexOf(QLatin1Char(';'), i);
        if (sep < 0) return -1;
        i = sep + 1;
    }
    return i;
}

}  // namespace

void GetListField(const QString& record, int n, QString& field) {
    field.clear();
    if (n < 0) return;
    const qsizetype start = fieldStart(record, n);
    if (start < 0 || start >= record.size()) return;
    const qsizetype end = record.indexOf(QLatin1Char(';'), start);
    field = record.mid(start, end < 0 ? -1 : end - start);
}

QString GetListField(const QString& record, int n) {
    QString field;
    GetListField(record, n, field);
    return field;
}

bool SetListField(QString& record, int n, const QString& text) {
    if (n < 0) return false;
    const qsizetype start = fieldStart(record, n);
    if (start < 0 || start >= record.size()) return false;
    qsizetype end = record.indexOf(QLatin1Char(';'), start);
    if (end < 0) end = record.size();
    record = record.left(start) + text + record.mid(end);
    return true;
}

}  // namespace tandex::config
