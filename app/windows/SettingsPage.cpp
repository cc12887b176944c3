#include "SettingsPage.h"

#include "application/SettingsTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessarin {

SettingsPage::SettingsPage(int id, QWidget* parent)
    : QWidget(parent), m_title(QString::fromUtf8(SettingsTable::Pages()[SettingsTable::PageIndex(id)].title))
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

QCheckBox* SettingsPage::AddCheck(int id)
{
    const SettingsControl& control = *SettingsTable::Find(id);
    auto* box = new QCheckBox(QString::fromUtf8(control.text), this);
    box->setObjectName(QString::number(id));
    // A stored value other than 0 or 1 shows as ticked and is written back
    // as 1 only when the page is confirmed, as a check box holds no more.
    const auto field = control.intField;
    m_bindings.push_back({[box, field](const AppSettings& s) { box->setChecked(s.*field != 0); },
                          [box, field](AppSettings& s) { s.*field = box->isChecked() ? 1 : 0; }});
    return box;
}

QComboBox* SettingsPage::AddList(int id)
{
    const SettingsControl& control = *SettingsTable::Find(id);
    auto* list = new QComboBox(this);
    list->setObjectName(QString::number(id));
    for (std::string_view item : control.items)
        list->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    if (control.kind == SettingsControlKind::Combo) {
        list->setEditable(true);
        // Typed text counts only through the item chosen: it never becomes
        // an item of its own.
        list->setInsertPolicy(QComboBox::NoInsert);
    }
    // An index outside the list selects nothing and is written back as -1,
    // which every user of the value reads as its default.
    const auto field = control.intField;
    m_bindings.push_back({[list, field](const AppSettings& s) { list->setCurrentIndex(s.*field); },
                          [list, field](AppSettings& s) { s.*field = list->currentIndex(); }});
    return list;
}

QLineEdit* SettingsPage::AddEdit(int id)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    const auto field = SettingsTable::Find(id)->textField;
    m_bindings.push_back({[edit, field](const AppSettings& s) { edit->setText(s.*field); },
                          [edit, field](AppSettings& s) { s.*field = edit->text(); }});
    return edit;
}

QGroupBox* SettingsPage::AddGroup(int id)
{
    auto* group = new QGroupBox(QString::fromUtf8(SettingsTable::Find(id)->text), this);
    group->setObjectName(QString::number(id));
    return group;
}

QPushButton* SettingsPage::AddButton(int id)
{
    auto* button = new QPushButton(QString::fromUtf8(SettingsTable::Find(id)->text), this);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    return button;
}

QLabel* SettingsPage::AddLabelFor(QWidget* buddy)
{
    const auto controls = SettingsTable::Controls();
    const SettingsControl* label = nullptr;
    for (std::size_t i = 1; i < controls.size(); ++i) {
        if (QString::number(controls[i].id) == buddy->objectName()) label = &controls[i - 1];
    }
    auto* widget = new QLabel(QString::fromUtf8(label->text), this);
    if (label->id != -1) widget->setObjectName(QString::number(label->id));
    widget->setBuddy(buddy);
    return widget;
}

void SettingsPage::Grey(std::span<const int> ids, bool on) const
{
    for (const int id : ids) {
        if (auto* control = findChild<QWidget*>(QString::number(id))) control->setEnabled(on);
    }
}

} // namespace tessarin
