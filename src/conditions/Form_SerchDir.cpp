#include "conditions/Form_SerchDir.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "conditions/CommonModule.h"
#include "conditions/ConditionsLayout.h"
#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "ui/PaneHost.h"
#include "ui/TwipsWidget.h"

using namespace textrove;

Form_SerchDir::Form_SerchDir(PaneHost& host) : QWidget(host.PaneArea()), m_host(host), m_pane(conditions::kDirPane)
{
    setObjectName(QStringLiteral("Form_SerchDir"));
    // Created in tab order: SerchDir, 参照, Label1.
    m_serchDir = new QLineEdit(this);
    m_serchDir->setObjectName(QStringLiteral("SerchDir"));
    m_参照 = new QPushButton(QStringLiteral("参照"), this);
    m_参照->setObjectName(QStringLiteral("参照"));
    m_label1 = new QLabel(QStringLiteral("検索対象フォルダ"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    setTabOrder(m_serchDir, m_参照);

    ApplyTwips(this, m_pane);
    ApplyTwips(m_label1, conditions::kDirLabel1);
    ApplyTwips(m_serchDir, conditions::kDirSerchDir);
    ApplyTwips(m_参照, conditions::kDir参照);

    connect(m_serchDir, &QLineEdit::textChanged, this, [this] { SerchDir_Change(); });
    connect(m_参照, &QPushButton::clicked, this, [this] { 参照_Click(); });
}

void Form_SerchDir::Form_Load()
{
    const std::string fallback = QDir::currentPath().toStdString();
    const std::string stored = settings::ReadProfile(settings::kSectionDefDir, settings::kKeyDirectory, fallback);
    m_serchDir->setText(QString::fromStdString(stored));
    SetSize();
}

void Form_SerchDir::SerchDir_Change()
{
    settings::WriteProfile(settings::kSectionDefDir, settings::kKeyDirectory, m_serchDir->text().toStdString());
}

void Form_SerchDir::参照_Click()
{
    const QString chosen = CommonModule::SelectDirectory(m_serchDir->text(), window(), &m_host.PromptsRef());
    if (!chosen.isEmpty()) m_serchDir->setText(chosen);
}

void Form_SerchDir::SetSize()
{
    const conditions::SerchDirLayout layout = conditions::LayoutSerchDir(m_host.OuterWidth());
    m_pane = layout.pane;
    ApplyTwips(this, layout.pane);
    ApplyTwips(m_serchDir, layout.serchDir);
    ApplyTwips(m_参照, layout.参照);
}

TwipsRect Form_SerchDir::Geometry() const
{
    return m_pane;
}

QLineEdit* Form_SerchDir::SerchDir() const
{
    return m_serchDir;
}
