// The drop window under a real window manager (openbox on a private Xvfb,
// started by on-xvfb.sh and with-openbox.sh), driven with xdotool like a
// user's mouse. Where the frame is comes from the X server and the window
// manager (xwininfo, _NET_FRAME_EXTENTS), not from Qt.
#include "DropBatch.h"
#include "MainDropWindow.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

using tessarin::AppSettings;
using tessarin::MainDropWindow;
using tessarin::SettingsRect;
using tessarin::test::FakeShell;
using tessarin::test::PrivateSettings;

namespace {

class NoBatch : public tessarin::DropBatch {
public:
    void Run(const std::vector<std::string>&, const std::string&, const std::string&, const AppSettings&,
             QWidget*) override
    {
    }
};

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

int Field(const QString& text, const QString& name)
{
    const QRegularExpression pattern(QRegularExpression::escape(name) + QStringLiteral(":\\s*(-?\\d+)"));
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured(1).toInt() : -100000;
}

// The frame the user sees: the client area's absolute rectangle grown by
// the frame extents the window manager announces (none: no frame).
QRect XFrame(WId window)
{
    const QString info = Run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    if (!info.contains(QStringLiteral("IsViewable"))) return {};
    const QRect client(Field(info, QStringLiteral("Absolute upper-left X")),
                       Field(info, QStringLiteral("Absolute upper-left Y")), Field(info, QStringLiteral("Width")),
                       Field(info, QStringLiteral("Height")));
    // Not reparented: the window manager drew no frame around it (mutter
    // leaves the extents of an earlier framed form on the window).
    const QString tree = Run(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), QString::number(window)});
    if (tree.contains(QRegularExpression(QStringLiteral("Parent window id: \\S+ \\(the root window\\)")))) return client;
    const QString extents = Run(QStringLiteral("xprop"),
                                {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("=\\s*(\\d+),\\s*(\\d+),\\s*(\\d+),\\s*(\\d+)")).match(extents);
    if (!match.hasMatch()) return client;
    return client.adjusted(-match.captured(1).toInt(), -match.captured(3).toInt(), match.captured(2).toInt(),
                           match.captured(4).toInt());
}

// The frame once it has stood still for a while (the window manager and
// the program's own correction are done), at most 3 seconds.
QRect SettledFrame(const QWidget& window)
{
    QRect last;
    int same = 0;
    for (int tries = 0; tries < 100 && same < 6; ++tries) {
        QTest::qWait(30);
        const QRect now = XFrame(window.winId());
        same = (now.isValid() && now == last) ? same + 1 : 0;
        last = now;
    }
    return last;
}

void Xdotool(const QStringList& arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments);
}

// Under a compositor without input devices no pointer can be sent; the
// program's own command stands in for the user's double-click there.
bool NoInput()
{
    return qEnvironmentVariableIntValue("TESSARIN_TEST_NO_INPUT") != 0;
}

void DoubleClickAt(const QPoint& at)
{
    Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()), QString::number(at.y()),
             QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
             QStringLiteral("60"), QStringLiteral("1")});
}

// The icon, in the top-left corner in both forms, double-clicked.
void ZoomByIcon(MainDropWindow& window)
{
    if (NoInput())
        window.RunCommand(MainDropWindow::ZoomCommand);
    else
        DoubleClickAt(window.mapToGlobal(QPoint(20, 20)));
}

QString Show(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The window manager's stacking order, bottom first, as it announces it.
QList<WId> Stacking()
{
    const QString text = Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    QList<WId> order;
    const QRegularExpression id(QStringLiteral("0x[0-9a-fA-F]+"));
    for (auto it = id.globalMatch(text); it.hasNext();) order.append(it.next().captured(0).toULongLong(nullptr, 16));
    return order;
}

// Whether the window manager says it offers a hint (_NET_SUPPORTED).
bool WmSupports(const QString& atom)
{
    const QString text = Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTED")});
    return text.split(QRegularExpression(QStringLiteral("[=,\\s]+"))).contains(atom);
}

QString Property(WId window, const QString& name)
{
    return Run(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), name});
}

void Store(std::int32_t AppSettings::*field, std::int32_t value)
{
    AppSettings stored;
    stored.LoadSettings();
    stored.*field = value;
    stored.SaveSettings({100, 120, 100 + 300, 120 + 200});
}

} // namespace

class DropWindowUnderWm : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_settings.Clear();
        if (!NoInput())
            Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QStringLiteral("500"), QStringLiteral("350")});
    }

    void ZoomRoundTripsKeepTheFrame()
    {
        QRect before;
        QRect last;
        {
            MainDropWindow window(m_batch, m_shell);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            before = SettledFrame(window);
            QVERIFY2(before.isValid(), "no frame");
            // A window manager that announces its frames draws a title bar.
            if (WmSupports(QStringLiteral("_NET_FRAME_EXTENTS")))
                QVERIFY2(before.height() > window.height(), qPrintable(QStringLiteral("no title bar: ") + Show(before)));
            for (int trip = 1; trip <= 4; ++trip) {
                // The icon, in the top-left corner in both forms.
                ZoomByIcon(window);
                QTRY_VERIFY_WITH_TIMEOUT(window.IsZoomed(), 3000);
                const QRect zoomed = SettledFrame(window);
                QCOMPARE(Show(zoomed), Show(QRect(before.topLeft(), QSize(46, 46))));
                ZoomByIcon(window);
                QTRY_VERIFY_WITH_TIMEOUT(!window.IsZoomed(), 3000);
                const QRect back = SettledFrame(window);
                QCOMPARE(Show(back), Show(before));
            }
            last = SettledFrame(window);
        }
        // The saved rectangle is the frame as the window manager drew it.
        SettingsRect stored;
        QVERIFY(AppSettings::LoadWindowRect(stored));
        QCOMPARE(Show(QRect(QPoint(stored.left, stored.top), QPoint(stored.right - 1, stored.bottom - 1))), Show(last));

        // And the next start puts the frame there again.
        MainDropWindow again(m_batch, m_shell);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(Show(SettledFrame(again)), Show(last));
    }

    void DragByAGroupBoxSnapsToTheEdges_data()
    {
        QTest::addColumn<QPoint>("stop");      // where the frame's top-left is dragged to
        QTest::addColumn<QPoint>("expected");  // where it must end up
        QTest::newRow("8 from the left, 9 from the top") << QPoint(8, 9) << QPoint(0, 0);
        QTest::newRow("near the left only") << QPoint(10, 200) << QPoint(0, 200);
        QTest::newRow("far from any edge") << QPoint(150, 200) << QPoint(150, 200);
    }
    void DragByAGroupBoxSnapsToTheEdges()
    {
        QFETCH(QPoint, stop);
        QFETCH(QPoint, expected);
        if (NoInput()) QSKIP("the compositor has no pointer to drag with");
        if (qEnvironmentVariableIntValue("TESSARIN_TEST_NO_SYSTEM_MOVE") != 0)
            QSKIP("the compositor runs the move with its own pointer, out of reach of synthetic input");
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect start = SettledFrame(window);
        QVERIFY(start.isValid());
        auto* box = window.findChild<QGroupBox*>();
        QVERIFY(box);
        // The group box's empty right part, below its title: no control there.
        const QPoint grab = box->mapToGlobal(QPoint(box->width() - 12, box->height() / 2));
        Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(grab.x()),
                 QString::number(grab.y()), QStringLiteral("mousedown"), QStringLiteral("1")});
        QTest::qWait(50);
        // Past the drag distance in small steps, as a hand does: the window
        // manager takes over the move from where the pointer is then.
        QPoint pointer = grab;
        for (int step = 0; step < 5; ++step) {
            pointer += QPoint(3, 3);
            Xdotool({QStringLiteral("mousemove"), QString::number(pointer.x()), QString::number(pointer.y())});
            QTest::qWait(30);
        }
        QTest::qWait(150);
        const QPoint target = pointer + stop - XFrame(window.winId()).topLeft();
        const QPoint from = pointer;
        for (int step = 1; step <= 12; ++step) {
            pointer = from + (target - from) * step / 12;
            Xdotool({QStringLiteral("mousemove"), QString::number(pointer.x()), QString::number(pointer.y())});
            QTest::qWait(25);
        }
        QTest::qWait(100);
        // Where the window manager left the frame before any snap.
        QCOMPARE(XFrame(window.winId()).topLeft(), stop);
        Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        QTest::qWait(400);
        QCOMPARE(SettledFrame(window).topLeft(), expected);
    }

    // Another program's window raised over the drop window (the user clicks
    // it): with "Always Stay on Top" the window manager keeps the drop window
    // above it; without, the other window comes first.
    void StayOnTopHoldsWhenAnotherWindowIsRaised_data()
    {
        QTest::addColumn<int>("onTop");
        QTest::newRow("always on top") << 1;
        QTest::newRow("not on top") << 0;
    }
    void StayOnTopHoldsWhenAnotherWindowIsRaised()
    {
        QFETCH(int, onTop);
        if (!WmSupports(QStringLiteral("_NET_WM_STATE_ABOVE"))) QSKIP("this window manager offers no stay-on-top");
        Store(&AppSettings::checkWinOnTop, onTop);
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect frame = SettledFrame(window);
        QVERIFY(frame.isValid());
        QCOMPARE(Property(window.winId(), QStringLiteral("_NET_WM_STATE")).contains(QStringLiteral("_NET_WM_STATE_ABOVE")),
                 onTop != 0);

        QWidget other;
        other.setWindowTitle(QStringLiteral("another program"));
        other.setGeometry(QRect(frame.topLeft() + QPoint(20, 20), QSize(400, 300)));
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        const QString otherId = QString::number(other.winId());
        Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), otherId});
        Xdotool({QStringLiteral("windowraise"), otherId});
        if (!NoInput()) {
            // Clicked, as a user brings a window forward.
            const QPoint inside = other.mapToGlobal(QPoint(200, 150));
            Xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(inside.x()),
                     QString::number(inside.y()), QStringLiteral("click"), QStringLiteral("1")});
        }
        QTRY_VERIFY_WITH_TIMEOUT(Property(other.winId(), QStringLiteral("_NET_WM_STATE")).contains(QStringLiteral("FOCUSED")) ||
                                     Run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed() == otherId,
                                 3000);
        QTest::qWait(200);
        const QList<WId> order = Stacking();
        const qsizetype dropAt = order.indexOf(window.winId());
        const qsizetype otherAt = order.indexOf(other.winId());
        QVERIFY2(dropAt >= 0 && otherAt >= 0, "a window is missing from the stacking order");
        QCOMPARE(dropAt > otherAt, onTop != 0);
    }

    // "Start up Minimized": the window manager gets the window iconic, with
    // its title and icon, and it comes back at its stored place.
    void StartsMinimized()
    {
        if (!WmSupports(QStringLiteral("_NET_WM_STATE_HIDDEN"))) QSKIP("this window manager offers no minimized state");
        Store(&AppSettings::checkMinimized, 1);
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(Property(window.winId(), QStringLiteral("WM_STATE")).contains(QStringLiteral("Iconic")), 3000);
        QVERIFY(Property(window.winId(), QStringLiteral("_NET_WM_STATE")).contains(QStringLiteral("_NET_WM_STATE_HIDDEN")));
        QVERIFY(!Property(window.winId(), QStringLiteral("_NET_WM_ICON")).contains(QStringLiteral("not found")));

        Xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window.winId())});
        QTRY_VERIFY_WITH_TIMEOUT(Property(window.winId(), QStringLiteral("WM_STATE")).contains(QStringLiteral("Normal")), 3000);
        QCOMPARE(SettledFrame(window).topLeft(), QPoint(100, 120));
    }

private:
    PrivateSettings m_settings;
    FakeShell m_shell;
    NoBatch m_batch;
};

QTEST_MAIN(DropWindowUnderWm)
#include "DropWindowUnderWm.moc"
