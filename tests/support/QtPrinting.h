#pragma once

#include <QString>

#include <ostream>

// Readable QString values in the test output (GoogleTest finds PrintTo beside the type).
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
