// The about box opened through the help menu, three times.
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "main/TwipsWidget.h"
#include "main/Version.h"
#include "SearchGuiSupport.h"

namespace searchgui {
namespace {

using VersionTest = FrameFixture;

// What one opening shows, as text, so openings compare as a whole.
QStringList Describe(Version* box)
{
    auto* label1 = box->findChild<QLabel*>(QStringLiteral("Label1"));
    auto* label2 = box->findChild<QLabel*>(QStringLiteral("Label2"));
    auto* ok = box->findChild<QPushButton*>(QStringLiteral("Ok"));
    if (!label1 || !label2 || !ok)
        return {QStringLiteral("control missing")};
    const QPoint offCentre = box->frameGeometry().center() - box->screen()->availableGeometry().center();
    return {box->windowTitle(), label1->text(), label2->text(), ok->text(),
            QString::number(label1->alignment() & label2->alignment() & Qt::AlignHCenter),
            QString::number(int(box->windowFlags())),
            QStringLiteral("%1x%2").arg(box->width()).arg(box->height()),
            QStringLiteral("default %1 focus %2 modal %3 centred %4")
                .arg(ok->isDefault()).arg(box->focusWidget() == ok).arg(box->isModal())
                .arg(offCentre.manhattanLength() <= 2)};
}

TEST_F(VersionTest, SameContentsAtEveryOpeningOkAnswersEnterNotEscape)
{
    const std::function<void(Version*)> closers[] = {
        [](Version* box) { QTest::keyClick(box, Qt::Key_Return); },
        [](Version* box) { QTest::mouseClick(box->findChild<QPushButton*>("Ok"), Qt::LeftButton); },
        [](Version* box) { box->close(); },  // the caption's close button
    };
    std::vector<QStringList> seen;
    for (const auto& close : closers) {
        QTimer::singleShot(0, m_frame.get(), [&] {
            auto* box = qobject_cast<Version*>(QApplication::activeModalWidget());
            if (!box) {
                ADD_FAILURE() << "no modal about box";
                return;
            }
            seen.push_back(Describe(box));
            QTest::keyClick(box, Qt::Key_Escape);
            EXPECT_TRUE(box->isVisible()) << "Escape does not close the box";
            box->move(0, 0);  // the next opening centres again
            close(box);
        });
        Item("Menu_Help_Version")->trigger();
        EXPECT_TRUE(m_frame->findChildren<Version*>().isEmpty()) << "destroyed when closed";
    }
    ASSERT_EQ(seen.size(), 3u);
    const double dpi = textrove::LogicalDpi();
    const QStringList expected = {
        QStringLiteral("バージョン情報"), QStringLiteral("Textrove Ver1.0 for Windows95"), seen[0][2],
        QStringLiteral("ＯＫ"), QString::number(int(Qt::AlignHCenter)),
        QString::number(int(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)),
        QStringLiteral("%1x%2").arg(textrove::TwipsToPixels(3744, dpi)).arg(textrove::TwipsToPixels(1752, dpi)),
        QStringLiteral("default 1 focus 1 modal 1 centred 1")};
    EXPECT_EQ(seen[0], expected);
    EXPECT_FALSE(seen[0][2].isEmpty() || seen[0][2].contains('\n')) << "a one-line notice";
    EXPECT_EQ(seen[1], seen[0]);
    EXPECT_EQ(seen[2], seen[0]);
}

}  // namespace
}  // namespace searchgui
