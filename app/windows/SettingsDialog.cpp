#include "SettingsDialog.h"

#include "CompressionPage.h"
#include "ContextHelp.h"
#include "FileLoggingPage.h"
#include "HelpTexts.h"
#include "ProgramIcon.h"
#include "application/SettingsTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tessarin {

SettingsDialog::SettingsDialog(const AppSettings& settings, ShellServices& shell, QWidget* parent)
    : QDialog(parent), m_values(settings), m_tabs(new QTabWidget(this))
{
    setObjectName(QString::number(SettingsTable::DialogId));
    setWindowTitle(QString::fromUtf8(SettingsTable::Caption));
    setWindowIcon(ProgramIcon::Icon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);

    m_tabs->setObjectName(QString::number(SettingsTable::TabControlId));
    m_tabs->setUsesScrollButtons(false);
    m_tabs->tabBar()->setExpanding(false);
    // Tab order: File Handling, Searching, File Logging, Encryption,
    // Compression, Window Properties.
    BuildPlainPages();
    m_pages[2] = new FileLoggingPage(shell, m_tabs);
    m_pages[4] = new CompressionPage(m_tabs);
    for (SettingsPage* page : m_pages) {
        page->Load(m_values);
        m_tabs->addTab(page, page->Title());
    }
    m_tabs->setCurrentIndex(0);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &SettingsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SettingsDialog::reject);
    const int buttonWidth = std::max(ok->sizeHint().width(), cancel->sizeHint().width()) * 5 / 4;
    ok->setMinimumWidth(buttonWidth);
    cancel->setMinimumWidth(buttonWidth);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    HelpTexts::Apply(this);
    m_help = new ContextHelp(this);
}

void SettingsDialog::BuildPlainPages()
{
    auto* handling = new SettingsPage(101, m_tabs);
    auto* handlingLayout = new QVBoxLayout(handling);
    for (const int id : {1406, 1400, 1404, 1408}) handlingLayout->addWidget(handling->AddCheck(id));
    handlingLayout->addStretch(1);
    m_pages[0] = handling;

    auto* searching = new SettingsPage(102, m_tabs);
    auto* searchingLayout = new QVBoxLayout(searching);
    for (const int id : {1401, 1402}) searchingLayout->addWidget(searching->AddCheck(id));
    auto* patternRow = new QHBoxLayout;
    QLineEdit* pattern = searching->AddEdit(1503);
    patternRow->addWidget(searching->AddLabelFor(pattern));
    patternRow->addWidget(pattern, 1);
    searchingLayout->addLayout(patternRow);
    searchingLayout->addStretch(1);
    m_pages[1] = searching;

    auto* encryption = new SettingsPage(104, m_tabs);
    auto* encryptionLayout = new QFormLayout(encryption);
    encryptionLayout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    for (const int id : {1100, 1101, 1102}) {
        QComboBox* list = encryption->AddList(id);
        encryptionLayout->addRow(encryption->AddLabelFor(list), list);
    }
    m_pages[3] = encryption;

    auto* window = new SettingsPage(105, m_tabs);
    auto* windowLayout = new QVBoxLayout(window);
    for (const int id : {1407, 1405}) windowLayout->addWidget(window->AddCheck(id));
    windowLayout->addStretch(1);
    m_pages[5] = window;
}

void SettingsDialog::accept()
{
    for (SettingsPage* page : m_pages) page->Store(m_values);
    QDialog::accept();
}

} // namespace tessarin
