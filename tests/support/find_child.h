// A page's control by its object name, for widget tests: a missing control fails the test
// (and gives nullptr) rather than crashing it.
#pragma once

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

namespace quendrix::test {

template <typename T>
T* Child(const QObject& parent, const char* name) {
    auto* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

}  // namespace quendrix::test
