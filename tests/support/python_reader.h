// What an independent dBase reader (Python's dbfread) sees in the test's
// data folder: the lines a script prints. A script that fails fails the test.
// The including test target defines SDE_TEST_PYTHON_DEFAULT.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>

inline QStringList pythonLines(const QString& folder, const char* script) {
    QProcess python;
    python.setWorkingDirectory(folder);
    python.start(SDE_TEST_PYTHON_DEFAULT, {"-c", script});
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QString::fromUtf8(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}
