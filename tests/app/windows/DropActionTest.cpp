// How the drop window takes a drop, and how it ends when told to quit.
#include "DropBatch.h"
#include "MainDropWindow.h"
#include "WindowTestSupport.h"
#include "platform/Console.h"

#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <csignal>

using tessarin::AppSettings;
using tessarin::MainDropWindow;
using tessarin::test::FakeShell;
using tessarin::test::PrivateSettings;

namespace {

class CountingBatch : public tessarin::DropBatch {
public:
    void Run(const std::vector<std::string>&, const std::string&, const std::string&, const AppSettings&,
             QWidget*) override
    {
        ++runs;
    }
    int runs = 0;
};

} // namespace

class DropActionTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_settings.Clear();
        m_shell.Clear();
        m_batch.runs = 0;
        tessarin::platform::ClearInterrupt();
    }

    // A drop taken as a move lets the program the files came from delete
    // them once it is over: every drop is taken as a copy, and a drop that
    // offers only a move is refused.
    void DropsAreTakenAsCopies_data()
    {
        QTest::addColumn<int>("offered");
        QTest::addColumn<int>("proposed");
        QTest::addColumn<bool>("taken");
        QTest::newRow("copy or move, move proposed") << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::MoveAction) << true;
        QTest::newRow("copy or move, copy proposed") << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::CopyAction) << true;
        QTest::newRow("copy only") << int(Qt::CopyAction) << int(Qt::CopyAction) << true;
        QTest::newRow("move only") << int(Qt::MoveAction) << int(Qt::MoveAction) << false;
    }
    void DropsAreTakenAsCopies()
    {
        QFETCH(int, offered);
        QFETCH(int, proposed);
        QFETCH(bool, taken);
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
        const QPoint at(window.width() / 2, window.height() / 2);
        const auto actions = Qt::DropActions(offered);
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(Qt::DropAction(proposed));
        QApplication::sendEvent(&window, &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDropEvent drop(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
        drop.setDropAction(Qt::DropAction(proposed));
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(drop.isAccepted(), taken);
        if (taken)
            QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QTRY_COMPARE(m_batch.runs, taken ? 1 : 0);
    }

    // SIGTERM, SIGHUP or the end of the session: the window closes as by
    // Exit, once no batch is running.
    void ATerminationRequestClosesTheWindow()
    {
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        tessarin::platform::RequestInterrupt(SIGTERM);
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Rejected));
        tessarin::platform::ClearInterrupt();
    }

    // A box left open (here the About box) is closed first, then the window.
    void ATerminationRequestClosesAnOpenBoxAndThenTheWindow()
    {
        MainDropWindow window(m_batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        bool boxClosed = false;
        QTimer::singleShot(50, [&] {
            QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
            tessarin::platform::RequestInterrupt(SIGHUP);
        });
        QDialog box(&window);
        box.setModal(true);
        QTimer::singleShot(0, &box, [&] { box.open(); });
        QTRY_VERIFY(box.isVisible());
        QTRY_VERIFY(!box.isVisible());
        boxClosed = box.result() == QDialog::Rejected;
        QVERIFY(boxClosed);
        QTRY_VERIFY(!window.isVisible());
        tessarin::platform::ClearInterrupt();
    }

private:
    PrivateSettings m_settings;
    FakeShell m_shell;
    CountingBatch m_batch;
};

QTEST_MAIN(DropActionTest)
#include "DropActionTest.moc"
