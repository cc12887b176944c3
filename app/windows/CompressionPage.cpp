#include "CompressionPage.h"

#include "application/SettingsTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tessarin {

CompressionPage::CompressionPage(QWidget* parent) : SettingsPage(106, parent)
{
    m_compress = AddCheck(1409);
    m_frame = AddGroup(1302);
    QComboBox* format = AddList(1103);
    QComboBox* method = AddList(1104);
    QLabel* formatLabel = AddLabelFor(format);
    QLabel* methodLabel = AddLabelFor(method);
    QCheckBox* sensitive = AddCheck(1411);
    QLineEdit* exclusions = AddEdit(1505);
    QLabel* exclusionsLabel = AddLabelFor(exclusions);

    auto* grid = new QGridLayout(m_frame);
    grid->addWidget(formatLabel, 0, 0);
    grid->addWidget(format, 0, 1);
    grid->addWidget(methodLabel, 1, 0);
    grid->addWidget(method, 1, 1);
    grid->addWidget(sensitive, 2, 0, 1, 2);
    grid->addWidget(exclusionsLabel, 3, 0, 1, 2);
    grid->addWidget(exclusions, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_compress);
    layout->addWidget(m_frame);
    layout->addStretch(1);

    connect(m_compress, &QCheckBox::clicked, this, &CompressionPage::ApplyGreying);
}

void CompressionPage::ApplyExchangeRule()
{
    ApplyGreying(m_compress->isChecked());
}

void CompressionPage::ApplyGreying(bool on)
{
    Grey(SettingsTable::GreyingOf(106)->onClick, on);
}

} // namespace tessarin
