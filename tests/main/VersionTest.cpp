// The about box opened through the help menu.
#include <QLabel>
#include <QScreen>

#include "main/Version.h"
#include "support/WindowFixture.h"

namespace {

using VersionTest = testsupport::WindowFixture;

TEST_F(VersionTest, CentredWithItsTextsOkAnswersEnterNotEscape)
{
    Start();
    QStringList seen;
    QTimer::singleShot(0, m_frame.get(), [&] {
        auto* box = qobject_cast<Version*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* ok = box->findChild<QPushButton*>(QStringLiteral("Ok"));
        const auto* label1 = box->findChild<QLabel*>(QStringLiteral("Label1"));
        const auto* label2 = box->findChild<QLabel*>(QStringLiteral("Label2"));
        if (!ok || !label1 || !label2) return box->reject();
        const QPoint offCentre = box->frameGeometry().center() - box->screen()->availableGeometry().center();
        seen = QStringList{box->windowTitle(), label1->text(), ok->text(),
                           QStringLiteral("default %1 focus %2 centred %3")
                               .arg(ok->isDefault())
                               .arg(box->focusWidget() == ok)
                               .arg(offCentre.manhattanLength() <= 2)};
        EXPECT_FALSE(label2->text().isEmpty() || label2->text().contains('\n')) << "a one-line notice";
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_TRUE(box->isVisible()) << "Escape does not close the box";
        QTest::keyClick(box, Qt::Key_Return);
    });
    Item("Menu_Help_Version")->trigger();
    EXPECT_EQ(seen,
              (QStringList{QStringLiteral("バージョン情報"), QStringLiteral("Textrove Ver1.0 for Windows95"),
                           QStringLiteral("ＯＫ"), "default 1 focus 1 centred 1"}));
    EXPECT_TRUE(m_frame->findChildren<Version*>().isEmpty()) << "destroyed when closed";
}

}  // namespace
