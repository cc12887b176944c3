#include "WindowTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>

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

QStringList Differences(const AppSettings& a, const AppSettings& b)
{
    QStringList names;
    for (const auto& value : AppSettings::IntegerValues) {
        if (a.*(value.field) != b.*(value.field)) names.append(QString::fromLatin1(value.name));
    }
    for (const auto& value : AppSettings::StringValues) {
        if (a.*(value.field) != b.*(value.field)) names.append(QString::fromLatin1(value.name));
    }
    return names;
}

void OnNextModal(std::function<void(QWidget* dialog)> action)
{
    auto* poll = new QTimer(qApp);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, started, action = std::move(action)] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog && dialog->isVisible()) {
            poll->stop();
            poll->deleteLater();
            action(dialog);
        } else if (started->elapsed() > 5000) {
            // Nothing opened: stop polling; the test's own checks fail.
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

} // namespace tessarin::test
