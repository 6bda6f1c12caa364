// Entry point of the widget suites: one offscreen QApplication for all tests,
// with Qt's Japanese texts installed as the program has them.
#include <QApplication>
#include <gtest/gtest.h>

#include "main/QtTranslations.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // As the program does at start: Qt's standard texts in Japanese.
    textrove::InstallQtTranslations(app);
    return RUN_ALL_TESTS();
}
