#include "SettingsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace tessarin {

SettingsPage::SettingsPage(int id, const QString& title, QWidget* parent) : QWidget(parent), m_title(title)
{
    setObjectName(QString::number(id));
}

void SettingsPage::Load(const AppSettings& settings)
{
    for (const Binding& binding : m_bindings) binding.load(settings);
    LoadExtra(settings);
    ApplyExchangeRule();
}

void SettingsPage::Store(AppSettings& settings) const
{
    for (const Binding& binding : m_bindings) binding.store(settings);
    StoreExtra(settings);
}

QCheckBox* SettingsPage::AddCheck(int id, const QString& text, std::int32_t AppSettings::*field)
{
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::number(id));
    // A stored value other than 0 or 1 shows as ticked and is written back
    // as 1 only when the page is confirmed, as a check box holds no more.
    m_bindings.push_back({[box, field](const AppSettings& s) { box->setChecked(s.*field != 0); },
                          [box, field](AppSettings& s) { s.*field = box->isChecked() ? 1 : 0; }});
    return box;
}

QComboBox* SettingsPage::AddList(int id, const QStringList& items, std::int32_t AppSettings::*field, bool editable)
{
    auto* list = new QComboBox(this);
    list->setObjectName(QString::number(id));
    list->addItems(items);
    if (editable) {
        list->setEditable(true);
        // Typed text counts only through the item chosen: it never becomes
        // an item of its own.
        list->setInsertPolicy(QComboBox::NoInsert);
    }
    // An index outside the list selects nothing and is written back as -1,
    // which every user of the value reads as its default.
    m_bindings.push_back({[list, field](const AppSettings& s) { list->setCurrentIndex(s.*field); },
                          [list, field](AppSettings& s) { s.*field = list->currentIndex(); }});
    return list;
}

QLineEdit* SettingsPage::AddEdit(int id, QString AppSettings::*field)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    m_bindings.push_back({[edit, field](const AppSettings& s) { edit->setText(s.*field); },
                          [edit, field](AppSettings& s) { s.*field = edit->text(); }});
    return edit;
}

QLabel* SettingsPage::AddLabel(int id, const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, this);
    if (id != 0) label->setObjectName(QString::number(id));
    if (buddy) label->setBuddy(buddy);
    return label;
}

} // namespace tessarin
