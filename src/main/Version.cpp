#include "main/Version.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include "ui/TwipsWidget.h"

using textrove::ApplyTwips;
using textrove::LogicalDpi;
using textrove::TwipsRect;
using textrove::TwipsToPixels;

Version::Version(QWidget* parent)
    : QDialog(parent,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                  | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Version"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    const double dpi = LogicalDpi();
    resize(TwipsToPixels(3744, dpi), TwipsToPixels(1752, dpi));

    // Created first, so it is first in the focus chain (tab order 0).
    m_ok = new QPushButton(QStringLiteral("ＯＫ"), this);
    m_ok->setObjectName(QStringLiteral("Ok"));
    m_ok->setDefault(true);
    ApplyTwips(m_ok, TwipsRect{1320, 1200, 1092, 372});
    connect(m_ok, &QPushButton::clicked, this, &Version::Ok_Click);

    m_label1 = new QLabel(QStringLiteral("Textrove Ver1.0 for Windows95"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    ApplyTwips(m_label1, TwipsRect{480, 240, 2772, 252});

    m_label2 = new QLabel(QStringLiteral("テキスト検索ツール"), this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    ApplyTwips(m_label2, TwipsRect{600, 720, 2532, 252});

    setTabOrder(m_ok, m_label1);
    setTabOrder(m_label1, m_label2);
    m_ok->setFocus();
}

void Version::Ok_Click()
{
    accept();
}

void Version::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void Version::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
