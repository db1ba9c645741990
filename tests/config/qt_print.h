#pragma once
// Lets GoogleTest show QString values readably in failure messages.
#include <QString>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
