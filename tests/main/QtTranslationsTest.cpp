// Qt's standard texts in Japanese, installed by the suite's main; a missing catalogue changes nothing.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "main/QtTranslations.h"

TEST(QtTranslationsTest, StandardTextsAreJapaneseAndAMissingCatalogueIsHarmless)
{
    QTemporaryDir empty;
    EXPECT_FALSE(textrove::InstallQtTranslations(*QCoreApplication::instance(), empty.path()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
}
