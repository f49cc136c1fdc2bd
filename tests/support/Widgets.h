#pragma once

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

namespace corvane::test {

// The control of `window` named `name` (its object name); fails the test when there is none.
template <typename T>
T* child(const QObject& window, const char* name) {
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

}  // namespace corvane::test
