// A drop on the program's window runs the real batch: files are encrypted
// in place with matching passwords, and nothing is touched otherwise.
#include "GuiBatch.h"
#include "MainDropWindow.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using tessarin::MainDropWindow;
using tessarin::ShellServices;
using tessarin::test::FakeShell;
using tessarin::test::PrivateSettings;

namespace {

QByteArray Content(int index)
{
    QByteArray bytes;
    for (int i = 0; i < 3000 + 977 * index; ++i) bytes.append(static_cast<char>((i * 31 + index) & 0xFF));
    return bytes;
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Drop(QWidget& target, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    const QPointF at(target.width() / 2.0, target.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

} // namespace

class DropBatchTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_settings.Clear();
        m_shell.Clear();
    }

    void DropWithPasswords_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<bool>("encrypts");
        QTest::newRow("matching") << "correct horse" << "correct horse" << true;
        QTest::newRow("matching, 32 characters") << "0123456789abcdef0123456789abcdef"
                                                  << "0123456789abcdef0123456789abcdef" << true;
        QTest::newRow("both empty") << "" << "" << false;
        QTest::newRow("confirmation empty") << "correct horse" << "" << false;
        QTest::newRow("unequal") << "correct horse" << "correct horsE" << false;
    }
    void DropWithPasswords()
    {
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(bool, encrypts);

        QTemporaryDir folder;
        const QStringList names{folder.filePath("one.txt"), folder.filePath("two.bin")};
        for (int i = 0; i < names.size(); ++i) Write(names[i], Content(i));

        tessarin::GuiBatch batch(m_shell);
        MainDropWindow window(batch, m_shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString log = window.Settings().editLogFilename;
        QFile::remove(log);
        QTest::keyClicks(window.findChild<QLineEdit*>("1500"), password);
        QTest::keyClicks(window.findChild<QLineEdit*>("1501"), confirmation);
        Drop(window, names);
        QTRY_VERIFY(!m_shell.Messages().empty());
        QVERIFY(window.isEnabled());

        const auto& last = m_shell.Messages().back();
        if (!encrypts) {
            QCOMPARE(m_shell.Messages().size(), std::size_t{1});
            QCOMPARE(last.icon, ShellServices::Icon::Stop);
            QCOMPARE(last.title, QStringLiteral("ERROR MESSAGE"));
            QCOMPARE(last.text,
                     QStringLiteral("Passwords are empty or don't match to each other!\nPlease re-type them..."));
            for (int i = 0; i < names.size(); ++i) QCOMPARE(Read(names[i]), Content(i));
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 2);
            QVERIFY(!QFile::exists(log));
            return;
        }
        QCOMPARE(last.icon, ShellServices::Icon::Information);
        QCOMPARE(last.title, QStringLiteral("STATUS REPORT"));
        QVERIFY2(last.text.startsWith(QStringLiteral("2 file(s) processed")), qPrintable(last.text));
        QVERIFY(last.text.contains(QStringLiteral(", 0 error(s)")));
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(!QFile::exists(names[i]));
            const QByteArray encrypted = Read(names[i] + ".aes");
            QVERIFY(encrypted.size() > Content(i).size());
            QVERIFY(!encrypted.contains(Content(i).left(64)));
        }
        QVERIFY(Read(log).startsWith("; -- LOG FILE --\n"));
    }

    // Encrypted by one drop, decrypted by the next with the direction radio.
    void DropEncryptsThenDecrypts()
    {
        QTemporaryDir folder;
        const QString name = folder.filePath("letter.txt");
        Write(name, Content(3));
        tessarin::GuiBatch batch(m_shell);
        MainDropWindow window(batch, m_shell);
        window.show();
        QTest::keyClicks(window.findChild<QLineEdit*>("1500"), QStringLiteral("pa%ss"));
        QTest::keyClicks(window.findChild<QLineEdit*>("1501"), QStringLiteral("pa%ss"));
        Drop(window, {name});
        QTRY_COMPARE(m_shell.Messages().size(), std::size_t{1});
        QVERIFY(QFile::exists(name + ".aes"));
        window.findChild<QWidget*>("1201")->setFocus();
        QTest::mouseClick(window.findChild<QWidget*>("1201"), Qt::LeftButton);
        Drop(window, {name + ".aes"});
        QTRY_COMPARE(m_shell.Messages().size(), std::size_t{2});
        QCOMPARE(Read(name), Content(3));
        QVERIFY(!QFile::exists(name + ".aes"));
    }

private:
    PrivateSettings m_settings;
    FakeShell m_shell;
};

QTEST_MAIN(DropBatchTest)
#include "DropBatchTest.moc"
