// The program's sink drawing on the progress popup: what is shown, what is
// only logged, and how progress moves the caption.
#include "ProgressPopup.h"
#include "WindowTestSupport.h"
#include "application/LogFile.h"
#include "application/MyProgressStream.h"
#include "foundation/MyFile.h"

#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

using tessarin::MyFile;
using tessarin::MyProgressStream;
using tessarin::ProgressPopup;

// One message of the engine: Show (update false) or Update.
struct SinkMessage {
    bool update;
    const char* text;
    int level;
};
Q_DECLARE_METATYPE(SinkMessage)

class ProgressSinkTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_settings.Clear(); }

    void ShownAndLogged_data()
    {
        QTest::addColumn<QList<SinkMessage>>("messages");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a step and its end")
            << QList<SinkMessage>{{false, "Encrypting 'a.txt'... ", 2}, {true, "[OK]\r\n", 2}}
            << "Encrypting 'a.txt'... [OK]\n";
        QTest::newRow("a detail is logged, not shown")
            << QList<SinkMessage>{{false, "Encrypting 'a.txt'... ", 2}, {true, "Deleting 'a.txt'... ", 4}}
            << "Encrypting 'a.txt'... ";
        QTest::newRow("a detail shows once a shown piece follows")
            << QList<SinkMessage>{{false, "Encrypting 'a.txt'... ", 2},
                              {true, "Deleting 'a.txt'... ", 4},
                              {true, "[OK]\r\n", 2}}
            << "Encrypting 'a.txt'... Deleting 'a.txt'... [OK]\n";
        QTest::newRow("a shown detail alone") << QList<SinkMessage>{{false, "Wiping 'b'...", 4}} << "Starting...";
        QTest::newRow("percent signs stay")
            << QList<SinkMessage>{{false, "Encrypting '/tmp/100% %s %d.txt'... ", 2}}
            << "Encrypting '/tmp/100% %s %d.txt'... ";
        QTest::newRow("an error line")
            << QList<SinkMessage>{{false, "Decrypting 'x.aes'... ", 2}, {true, "ERROR(-20): Not AES file or wrong passwd!\r\n", 1}}
            << "Decrypting 'x.aes'... ERROR(-20): Not AES file or wrong passwd!\n";
    }
    void ShownAndLogged()
    {
        QFETCH(QList<SinkMessage>, messages);
        QFETCH(QString, shown);

        QTemporaryDir folder;
        const std::string logName = QFile::encodeName(folder.filePath("log.txt")).toStdString();
        QWidget owner;
        ProgressPopup popup(&owner, m_shell, QStringLiteral("Progress Status"), false);
        popup.BeginModal(QStringLiteral("Progress"), false);
        popup.SetStatusText(std::string("Starting..."));
        std::string logged;
        {
            MyFile log;
            log.Open(logName, MyFile::OpenWrite);
            MyProgressStream sink(popup, &log, MyProgressStream::BatchThreshold);
            for (const SinkMessage& m : messages) {
                if (m.update) {
                    sink.Update(m.text, m.level);
                } else {
                    sink.Show(m.text, m.level);
                }
                logged += tessarin::LogFile::ForLog(m.text);  // the platform's line ends
            }
            log.Close();
        }
        QCOMPARE(popup.StatusText(), shown);
        QFile written(folder.filePath("log.txt"));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll().toStdString(), logged);
    }

    void ProgressMovesCaptionAndCancelBreaks()
    {
        QWidget owner;
        ProgressPopup popup(&owner, m_shell, QStringLiteral("Progress Status"), false);
        popup.BeginModal(QStringLiteral("Progress"), false);
        popup.SetRange(0, 300, 1);
        MyProgressStream sink(popup, nullptr, MyProgressStream::BatchThreshold);
        sink.AddProgress(0.25f);  // a fraction moves the bar by a whole unit
        QCOMPARE(popup.Position(), 1);
        QCOMPARE(popup.windowTitle(), QStringLiteral("Progress Status"));
        sink.AddProgress(2.0f);
        QCOMPARE(popup.windowTitle(), QStringLiteral("Progress Status [1%]"));
        QVERIFY(!sink.IsBreakRequested());
        QCoreApplication::postEvent(&popup, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        sink.AddProgress(1.0f);  // pumps the Escape waiting for the popup
        QVERIFY(sink.IsBreakRequested());
        QVERIFY(!popup.isVisible());
    }

    void FailedLogWriteIsToldOnce()
    {
        QWidget owner;
        ProgressPopup popup(&owner, m_shell, QStringLiteral("Progress Status"), false);
        MyFile log;
        log.Open("/dev/full", MyFile::OpenWrite);
        MyProgressStream sink(popup, &log, MyProgressStream::BatchThreshold);
        sink.Show("Encrypting 'a'... ", 2);
        sink.Update("[OK]\r\n", 2);
        QCOMPARE(m_shell.Messages().size(), std::size_t{1});
        QCOMPARE(m_shell.Messages().front().icon, tessarin::ShellServices::Icon::Exclamation);
        QCOMPARE(m_shell.Messages().front().title, QStringLiteral("ERROR MESSAGE"));
        QVERIFY(m_shell.Messages().front().text.endsWith(QStringLiteral(". Logging on file is turned off!")));
        QCOMPARE(popup.StatusText(), QStringLiteral("Encrypting 'a'... [OK]\n"));
    }

private:
    tessarin::test::PrivateSettings m_settings;
    tessarin::test::FakeShell m_shell;
};

QTEST_MAIN(ProgressSinkTest)
#include "ProgressSinkTest.moc"
