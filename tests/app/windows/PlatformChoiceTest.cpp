// Which Qt platform plugin aes asks for, over a table of environments.
#include "PlatformChoice.h"

#include <QTest>

#include <map>
#include <string>

using tessarin::ChoosePlatform;
using tessarin::QtArguments;

namespace {

// The environment a case runs in; ChoosePlatform reads it through Lookup.
std::map<std::string, std::string> g_environment;

const char* Lookup(const char* name)
{
    const auto found = g_environment.find(name);
    return found == g_environment.end() ? nullptr : found->second.c_str();
}

void SetEnvironment(const QString& spec)
{
    g_environment.clear();
    for (const QString& pair : spec.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        g_environment[pair.left(equals).toStdString()] = pair.mid(equals + 1).toStdString();
    }
}

} // namespace

class PlatformChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void Choice_data()
    {
        QTest::addColumn<QString>("environment");  // NAME=value, blank separated
        QTest::addColumn<QString>("asked");        // empty: Qt's (the user's) choice stands
        QTest::newRow("nothing set") << "" << "xcb;wayland";
        QTest::newRow("Wayland session") << "WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland DISPLAY=:0"
                                         << "xcb;wayland";
        QTest::newRow("Wayland without X server") << "WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland"
                                                  << "xcb;wayland";
        QTest::newRow("X11 session") << "DISPLAY=:0 XDG_SESSION_TYPE=x11" << "xcb;wayland";
        QTest::newRow("empty choice counts as none") << "QT_QPA_PLATFORM= WAYLAND_DISPLAY=wayland-0" << "xcb;wayland";
        QTest::newRow("user chose wayland") << "QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=wayland-0" << "";
        QTest::newRow("user chose xcb") << "QT_QPA_PLATFORM=xcb DISPLAY=:0" << "";
        QTest::newRow("user chose a list") << "QT_QPA_PLATFORM=wayland;xcb XDG_SESSION_TYPE=wayland" << "";
        QTest::newRow("user chose offscreen") << "QT_QPA_PLATFORM=offscreen" << "";
    }
    void Choice()
    {
        QFETCH(QString, environment);
        QFETCH(QString, asked);
        SetEnvironment(environment);
        QCOMPARE(QString::fromStdString(ChoosePlatform(Lookup)), asked);

        QtArguments arguments("/usr/bin/aes", Lookup);
        QStringList values;
        for (int index = 0; index < arguments.Count(); ++index) values << QString::fromUtf8(arguments.Values()[index]);
        QCOMPARE(arguments.Values()[arguments.Count()], nullptr);
        QStringList expected{QStringLiteral("/usr/bin/aes")};
        if (!asked.isEmpty()) expected << QStringLiteral("-platform") << asked;
        QCOMPARE(values, expected);
    }
};

QTEST_MAIN(PlatformChoiceTest)
#include "PlatformChoiceTest.moc"
