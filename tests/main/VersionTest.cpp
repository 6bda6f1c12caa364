// The about box opened through the help menu, three times.
#include <QLabel>
#include <QScreen>

#include "main/Version.h"
#include "support/GuiFixture.h"

namespace guitest {
namespace {

using VersionTest = FrameFixture;

TEST_F(VersionTest, SameContentsAtEveryOpeningOkAnswersEnterNotEscape)
{
    const std::function<void(Version*)> closers[] = {
        [](Version* box) { QTest::keyClick(box, Qt::Key_Return); },
        [](Version* box) { QTest::mouseClick(box->findChild<QPushButton*>("Ok"), Qt::LeftButton); },
        [](Version* box) { box->close(); },  // the caption's close button
    };
    std::vector<QStringList> seen;  // what each opening shows, as text
    for (const auto& close : closers) {
        QTimer::singleShot(0, m_frame.get(), [&] {
            auto* box = qobject_cast<Version*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            auto* ok = box->findChild<QPushButton*>(QStringLiteral("Ok"));
            const auto label = [box](const char* name) {
                const auto* l = box->findChild<QLabel*>(QString::fromLatin1(name));
                return l ? l->text() : QStringLiteral("missing");
            };
            if (!ok) {
                box->reject();
                FAIL() << "no Ok button";
            }
            const QPoint offCentre = box->frameGeometry().center() - box->screen()->availableGeometry().center();
            seen.push_back({box->windowTitle(), label("Label1"), label("Label2"), ok->text(),
                            QStringLiteral("default %1 focus %2 centred %3")
                                .arg(ok->isDefault())
                                .arg(box->focusWidget() == ok)
                                .arg(offCentre.manhattanLength() <= 2)});
            QTest::keyClick(box, Qt::Key_Escape);
            EXPECT_TRUE(box->isVisible()) << "Escape does not close the box";
            box->move(0, 0);  // the next opening centres again
            close(box);
        });
        Item("Menu_Help_Version")->trigger();
        EXPECT_TRUE(m_frame->findChildren<Version*>().isEmpty()) << "destroyed when closed";
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0],
              (QStringList{QStringLiteral("バージョン情報"), QStringLiteral("Textrove Ver1.0 for Windows95"),
                           seen[0][2], QStringLiteral("ＯＫ"), "default 1 focus 1 centred 1"}));
    EXPECT_FALSE(seen[0][2].isEmpty() || seen[0][2].contains('\n')) << "a one-line notice";
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[2], seen[0]);
}

}  // namespace
}  // namespace guitest
