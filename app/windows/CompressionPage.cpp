#include "CompressionPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace tessarin {

CompressionPage::CompressionPage(QWidget* parent) : SettingsPage(106, QStringLiteral("Compression"), parent)
{
    m_compress = AddCheck(1409, QStringLiteral("&Apply Compression before Encrypting"), &AppSettings::checkFilterCompress);
    m_frame = new QGroupBox(QStringLiteral("File Filtering"), this);
    m_frame->setObjectName(QStringLiteral("1302"));
    QComboBox* format = AddList(1103, {QStringLiteral("GZIP"), QStringLiteral("BZIP2")}, &AppSettings::comprFamily, true);
    QComboBox* method = AddList(1104,
                                {QStringLiteral("Fastest"), QStringLiteral("Fast"), QStringLiteral("Normal"),
                                 QStringLiteral("Good"), QStringLiteral("Best")},
                                &AppSettings::comprLevel);
    QLabel* formatLabel = AddLabel(1303, QStringLiteral("Format:"), format);
    QLabel* methodLabel = AddLabel(1304, QStringLiteral("Method:"), method);
    QCheckBox* sensitive =
        AddCheck(1411, QStringLiteral("&cAsE seNSiVe Searching Mode"), &AppSettings::checkFilterExclusion);
    QLineEdit* exclusions = AddEdit(1505, &AppSettings::editFilterExclusionList);
    QLabel* exclusionsLabel = AddLabel(1305, QStringLiteral("File to Encrypt Without Compression:"), exclusions);

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

    m_filtering = {format, method, m_frame, formatLabel, methodLabel, exclusionsLabel, sensitive, exclusions};
    connect(m_compress, &QCheckBox::clicked, this, &CompressionPage::ApplyGreying);
}

void CompressionPage::ApplyExchangeRule()
{
    ApplyGreying(m_compress->isChecked());
}

void CompressionPage::ApplyGreying(bool on)
{
    for (QWidget* control : m_filtering) control->setEnabled(on);
}

} // namespace tessarin
