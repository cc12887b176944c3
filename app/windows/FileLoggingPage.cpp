#include "FileLoggingPage.h"

#include "ShellServices.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessarin {

FileLoggingPage::FileLoggingPage(ShellServices& shell, QWidget* parent)
    : SettingsPage(103, QStringLiteral("File Logging"), parent), m_shell(shell)
{
    m_logging = AddCheck(1403, QStringLiteral("&Turn On File Logging"), &AppSettings::checkLogging);
    m_frame = new QGroupBox(QStringLiteral("File Logging"), this);
    m_frame->setObjectName(QStringLiteral("1301"));
    m_name = AddEdit(1502, &AppSettings::editLogFilename);
    m_nameLabel = AddLabel(1300, QStringLiteral("Set Log Filename:"), m_name);
    m_browse = new QPushButton(QStringLiteral("&..."), this);
    m_browse->setObjectName(QStringLiteral("1000"));
    m_read = new QPushButton(QStringLiteral("&Read Log File"), this);
    m_read->setObjectName(QStringLiteral("1001"));
    const int nameHeight = m_name->sizeHint().height();
    m_browse->setFixedSize(nameHeight * 3 / 2, nameHeight);
    for (QPushButton* button : {m_browse, m_read}) button->setAutoDefault(false);

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
    const bool on = m_logging->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(m_name), static_cast<QWidget*>(m_browse),
                             static_cast<QWidget*>(m_read)}) {
        control->setEnabled(on);
    }
}

void FileLoggingPage::OnLoggingClicked(bool on)
{
    for (QWidget* control : {static_cast<QWidget*>(m_name), static_cast<QWidget*>(m_browse),
                             static_cast<QWidget*>(m_read), static_cast<QWidget*>(m_nameLabel),
                             static_cast<QWidget*>(m_frame)}) {
        control->setEnabled(on);
    }
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
