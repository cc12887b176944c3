#include "FileLoggingPage.h"

#include "ShellServices.h"
#include "application/SettingsTable.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessarin {

FileLoggingPage::FileLoggingPage(ShellServices& shell, QWidget* parent)
    : SettingsPage(103, parent), m_shell(shell)
{
    m_logging = AddCheck(1403);
    m_frame = AddGroup(1301);
    m_name = AddEdit(1502);
    m_nameLabel = AddLabelFor(m_name);
    m_browse = AddButton(1000);
    m_read = AddButton(1001);
    const int nameHeight = m_name->sizeHint().height();
    m_browse->setFixedSize(nameHeight * 3 / 2, nameHeight);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(m_browse);
    auto* readRow = new QHBoxLayout;
    readRow->addStretch(1);
    readRow->addWidget(m_read);
    auto* inFrame = new QVBoxLayout(m_frame);
    inFrame->addWidget(m_nameLabel);
    inFrame->addLayout(nameRow);
    inFrame->addLayout(readRow);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_logging);
    layout->addWidget(m_frame);
    layout->addStretch(1);

    connect(m_logging, &QCheckBox::clicked, this, &FileLoggingPage::OnLoggingClicked);
    connect(m_browse, &QPushButton::clicked, this, &FileLoggingPage::OnBrowse);
    connect(m_read, &QPushButton::clicked, this, &FileLoggingPage::OnReadLog);
}

void FileLoggingPage::LoadExtra(const AppSettings& settings)
{
    m_logFile = settings.editLogFilename;
}

void FileLoggingPage::ApplyExchangeRule()
{
    Grey(Rule().onExchange, m_logging->isChecked());
}

void FileLoggingPage::OnLoggingClicked(bool on)
{
    Grey(Rule().onClick, on);
}

const SettingsGreying& FileLoggingPage::Rule()
{
    return *SettingsTable::GreyingOf(103);
}

void FileLoggingPage::OnBrowse()
{
    const QString chosen = m_shell.ChooseSaveFile(this, QStringLiteral("Set Log Filename"), m_logFile);
    if (chosen.isEmpty()) return;
    m_logFile = chosen;
    m_name->setText(chosen);
}

void FileLoggingPage::OnReadLog()
{
    m_shell.OpenLogFile(this, m_logFile);
}

} // namespace tessarin
