#pragma once
// Records of ";"-separated fields, as the FTP site profiles and the
// converter entries store them. There is no escape for a ";" inside a
// field; readers treat a record as ending with ";".

#include <QString>

namespace tandex::config {

// Field n (from 0); empty when the field is empty or the record has fewer
// fields.
void GetListField(const QString& record, int n, QString& field);
QString GetListField(const QString& record, int n);

// Replaces field n with text; false, record unchanged, when the record
// has fewer than n + 1 fields (a record ending in ";" has no empty field
// behind it).
bool SetListField(QString& record, int n, const QString& text);

}  // namespace tandex::config
