// Qt's standard texts in Japanese (installed by the suite's main as by the
// program's); a missing catalogue is no error.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "main/QtTranslations.h"

namespace {

TEST(QtTranslationsTest, StandardTextsAreJapaneseAndAMissingCatalogueIsHarmless)
{
    // Dialog and message-box buttons, the save dialog's name label, a context menu entry.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Save"), QStringLiteral("保存"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    EXPECT_TRUE(QCoreApplication::translate("QFileDialog", "File &name:").startsWith(QStringLiteral("ファイル名")));
    EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copy"));

    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    EXPECT_FALSE(textrove::InstallQtTranslations(*QCoreApplication::instance(), empty.path()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Save"), QStringLiteral("保存"));
}

}  // namespace
