#include "conditions/Form_SerchList.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "conditions/ConditionsLayout.h"
#include "search/engine/SearchEngine.h"
#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "ui/PaneHost.h"
#include "ui/TwipsWidget.h"

using namespace textrove;

Form_SerchList::Form_SerchList(PaneHost& host)
    : QWidget(host.PaneArea()),
      m_host(host),
      m_pane(conditions::kListPane),
      m_serchListHeight(conditions::kListSerchList.height)
{
    setObjectName(QStringLiteral("Form_SerchList"));
    // Created in tab order: Label1, SerchText, SerchList, ListAdd, ListDel.
    m_label1 = new QLabel(QStringLiteral("検索対象文字"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_serchText = new QLineEdit(this);
    m_serchText->setObjectName(QStringLiteral("SerchText"));
    m_serchList = new QListWidget(this);
    m_serchList->setObjectName(QStringLiteral("SerchList"));
    m_serchList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_serchList->setSortingEnabled(false);
    m_listAdd = new QPushButton(QStringLiteral("追加↓"), this);
    m_listAdd->setObjectName(QStringLiteral("ListAdd"));
    m_listAdd->setEnabled(false);
    m_listDel = new QPushButton(QStringLiteral("削除"), this);
    m_listDel->setObjectName(QStringLiteral("ListDel"));
    m_listDel->setEnabled(false);
    setTabOrder(m_serchText, m_serchList);
    setTabOrder(m_serchList, m_listAdd);
    setTabOrder(m_listAdd, m_listDel);

    ApplyTwips(this, m_pane);
    ApplyTwips(m_label1, conditions::kListLabel1);
    ApplyTwips(m_serchText, conditions::kListSerchText);
    ApplyTwips(m_serchList, conditions::kListSerchList);
    ApplyTwips(m_listAdd, conditions::kListListAdd);
    ApplyTwips(m_listDel, conditions::kListListDel);

    connect(m_serchText, &QLineEdit::textChanged, this, [this] { SerchText_Change(); });
    connect(m_serchText, &QLineEdit::returnPressed, this, [this] { SerchText_ReturnPressed(); });
    connect(m_serchList, &QListWidget::itemSelectionChanged, this, [this] { SerchList_Click(); });
    connect(m_listAdd, &QPushButton::clicked, this, [this] { ListAdd_Click(); });
    connect(m_listDel, &QPushButton::clicked, this, [this] { ListDel_Click(); });
}

void Form_SerchList::Form_Load()
{
    for (int slot = 1; slot <= settings::kListSlots; ++slot) {
        const std::string word = settings::ReadProfile(settings::kSectionDefList, settings::ListNameKey(slot), "");
        if (!word.empty()) m_serchList->addItem(QString::fromStdString(word));
    }
    SetMenuStart(m_serchList->count() > 0);
    SetSize();
}

void Form_SerchList::ListAdd_Click()
{
    // The next word is typed at once, not into whatever took the focus from
    // the button that was just disabled.
    m_serchText->setFocus(Qt::OtherFocusReason);
    if (m_serchList->count() >= search::kMaxWords) return;
    const std::string word = search::WordAsAdded(m_serchText->text().toStdString());
    // The list never holds an empty word, also when this runs without the
    // button (which is disabled while the text is empty).
    if (word.empty()) return;
    m_serchList->addItem(QString::fromStdString(word));
    m_serchText->clear();
    ChangePrivateFile();
    SetMenuStart(true);
    if (m_serchList->count() >= search::kMaxWords) m_listAdd->setEnabled(false);
}

void Form_SerchList::ListDel_Click()
{
    m_serchText->setFocus(Qt::OtherFocusReason);
    const QList<QListWidgetItem*> selected = m_serchList->selectedItems();
    if (!selected.isEmpty()) {
        delete m_serchList->takeItem(m_serchList->row(selected.first()));
        // Removing a row may move the current item; nothing stays selected.
        m_serchList->clearSelection();
        m_serchList->setCurrentItem(nullptr);
    }
    m_listDel->setEnabled(false);
    if (m_serchList->count() == 0) SetMenuStart(false);
    if (!m_serchText->text().isEmpty() && m_serchList->count() < search::kMaxWords) m_listAdd->setEnabled(true);
    ChangePrivateFile();
}

void Form_SerchList::SerchText_ReturnPressed()
{
    if (m_listAdd->isEnabled()) ListAdd_Click();
}

void Form_SerchList::SerchList_Click()
{
    m_listDel->setEnabled(!m_serchList->selectedItems().isEmpty());
}

void Form_SerchList::SerchText_Change()
{
    m_listAdd->setEnabled(!m_serchText->text().isEmpty() && m_serchList->count() < search::kMaxWords);
}

void Form_SerchList::ChangePrivateFile()
{
    const int count = m_serchList->count();
    for (int slot = 1; slot <= settings::kListSlots; ++slot) {
        const std::string value = slot <= count ? m_serchList->item(slot - 1)->text().toStdString() : std::string();
        settings::WriteProfile(settings::kSectionDefList, settings::ListNameKey(slot), value);
    }
}

void Form_SerchList::SetSize()
{
    const conditions::SerchListLayout layout = conditions::LayoutSerchList(
        m_host.OuterWidth(), m_host.OuterHeight(), m_host.SerchDirHeight(), {m_pane, m_serchListHeight});
    m_pane = layout.pane;
    m_serchListHeight = layout.serchListHeight;
    ApplyTwips(this, m_pane);
    TwipsRect list = conditions::kListSerchList;
    list.height = m_serchListHeight;
    ApplyTwips(m_serchList, list);
}

TwipsRect Form_SerchList::Geometry() const
{
    return m_pane;
}

QListWidget* Form_SerchList::SerchList() const
{
    return m_serchList;
}

QStringList Form_SerchList::Words() const
{
    QStringList words;
    for (int row = 0; row < m_serchList->count(); ++row) words << m_serchList->item(row)->text();
    return words;
}

void Form_SerchList::SetMenuStart(bool enabled)
{
    emit StartPossible(enabled);
}
