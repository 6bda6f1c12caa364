// The folder browser's directory test on a temporary tree.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "conditions/CommonModule.h"

TEST(CheckDirectory, AcceptsExactlyExistingDirectoriesAsSpelled)
{
    QTemporaryDir tree;
    const QDir root(tree.path());
    QFile file(root.filePath(QStringLiteral("file.txt")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("Data")) && root.mkpath(QStringLiteral("データ"))
                && file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("Data")), root.filePath(QStringLiteral("to-dir")))
                && QFile::link(file.fileName(), root.filePath(QStringLiteral("to-file"))));
    const QString in = tree.path() + QLatin1Char('/');

    const struct {
        const char* why;
        QString path;
        bool expected;
    } rows[] = {
        {"empty text", QString(), false},
        {"one character, although '.' exists", QStringLiteral("."), false},
        {"existing directory", in + "Data", true},
        {"one trailing '/' is dropped", in + "Data/", true},
        {"only one trailing '/' is dropped", in + "Data//", false},
        {"other letter case", in + "data", false},
        {"a plain file", in + "file.txt", false},
        {"non-ASCII name", in + "データ", true},
        {"link to a directory", in + "to-dir", true},
        {"link to a file", in + "to-file", false},
    };
    for (const auto& row : rows) EXPECT_EQ(CommonModule::CheckDirectory(row.path), row.expected) << row.why;
}
