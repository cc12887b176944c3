#include "WindowTestSupport.h"

#include <QSettings>

namespace tessarin::test {

PrivateSettings::PrivateSettings()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_folder.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_folder.path());
}

PrivateSettings::~PrivateSettings() = default;

void PrivateSettings::Clear()
{
    QSettings all(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quenby Software"),
                  QStringLiteral("Tessarin"));
    all.clear();
    all.sync();
}

} // namespace tessarin::test
