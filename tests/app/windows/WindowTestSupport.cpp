#include "WindowTestSupport.h"

#include <QDir>

namespace tessarin::test {

PrivateSettings::PrivateSettings() : m_saved(qgetenv("XDG_CONFIG_HOME"))
{
    Clear();
}

PrivateSettings::~PrivateSettings()
{
    qputenv("XDG_CONFIG_HOME", m_saved);
}

void PrivateSettings::Clear()
{
    m_current = m_root.path() + QStringLiteral("/config") + QString::number(++m_generation);
    QDir().mkpath(m_current);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_current));
}

} // namespace tessarin::test
