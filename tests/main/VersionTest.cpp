// The about box opened through the help menu.
#include <QScreen>

#include "main/Version.h"
#include "support/WindowFixture.h"

namespace {

using VersionTest = testsupport::WindowFixture;

TEST_F(VersionTest, CentredOkAnswersEnterNotEscape)
{
    Start();
    bool closed = false;
    QTimer::singleShot(0, m_frame.get(), [&] {
        auto* box = qobject_cast<Version*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* ok = box->findChild<QPushButton*>(QStringLiteral("Ok"));
        if (!ok) return box->reject();
        EXPECT_TRUE(ok->isDefault() && box->focusWidget() == ok);
        const QPoint offCentre = box->frameGeometry().center() - box->screen()->availableGeometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 2);
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_TRUE(box->isVisible()) << "Escape does not close the box";
        QTest::keyClick(box, Qt::Key_Return);
        closed = !box->isVisible();
    });
    Item("Menu_Help_Version")->trigger();
    EXPECT_TRUE(closed);
    EXPECT_TRUE(m_frame->findChildren<Version*>().isEmpty()) << "destroyed when closed";
}

}  // namespace
