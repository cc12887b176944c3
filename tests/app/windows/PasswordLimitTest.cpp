// The password fields hold at most 32 bytes of UTF-8, as the engine counts
// a key: a two-byte letter such as "ü" fills them at 16. Input past that
// is cut (what was just typed or pasted goes first, never half a
// character) and a note says why; a password that fills the fields
// encrypts.
#include "GuiBatch.h"
#include "MainDropWindow.h"
#include "PasswordLimit.h"
#include "WindowTestSupport.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

using tessarin::MainDropWindow;
using tessarin::PasswordLimit;
using tessarin::test::FakeShell;
using tessarin::test::PrivateSettings;

namespace {

const QString kUe = QString::fromUtf8("\xC3\xBC");              // ü, 2 bytes
const QString kEuro = QString::fromUtf8("\xE2\x82\xAC");        // €, 3 bytes
const QString kFace = QString::fromUtf8("\xF0\x9F\x98\x80");    // 4 bytes, two UTF-16 units
const QString kAccented = QString::fromUtf8("e\xCC\x81");       // e and a combining accent, 3 bytes

// Types text key by key, as a keyboard layout with these letters does; a
// character of two UTF-16 units is one key.
void Type(QWidget* field, const QString& text)
{
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype length = text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, text.mid(at, length), Qt::NoModifier);
        at += length;
    }
}

} // namespace

class PasswordLimitTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_settings.Clear();
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    void LimitsToBytes_data()
    {
        QTest::addColumn<QString>("before");   // typed first, accepted
        QTest::addColumn<int>("cursor");       // where the cursor then goes (-1: at the end)
        QTest::addColumn<QString>("typed");    // typed key by key
        QTest::addColumn<QString>("pasted");   // then pasted
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("refused");

        const QString ascii32 = QString("0123456789abcdef").repeated(2);
        QTest::newRow("16 two-byte letters") << QString() << -1 << kUe.repeated(16) << QString() << kUe.repeated(16)
                                             << false;
        QTest::newRow("a 17th two-byte letter") << kUe.repeated(16) << -1 << kUe << QString() << kUe.repeated(16)
                                                << true;
        QTest::newRow("32 ASCII letters") << QString() << -1 << ascii32 << QString() << ascii32 << false;
        QTest::newRow("a 33rd ASCII letter") << ascii32 << -1 << "x" << QString() << ascii32 << true;
        QTest::newRow("a two-byte letter at 31 bytes")
            << kUe.repeated(15) + "a" << -1 << kUe << QString() << kUe.repeated(15) + "a" << true;
        QTest::newRow("an ASCII letter at 31 bytes")
            << kUe.repeated(15) + "a" << -1 << "bc" << QString() << kUe.repeated(15) + "ab" << true;
        QTest::newRow("a four-byte sign that does not fit whole")
            << ascii32.left(29) << -1 << QString() << kFace << ascii32.left(29) << true;
        QTest::newRow("a four-byte sign that fits") << ascii32.left(28) << -1 << QString() << kFace
                                                    << ascii32.left(28) + kFace << false;
        QTest::newRow("an accent is not split from its letter")
            << ascii32.left(30) << -1 << QString() << kAccented << ascii32.left(30) << true;
        QTest::newRow("typed in the middle of a full field")
            << ascii32 << 5 << "Z" << QString() << ascii32 << true;
        QTest::newRow("a long paste is cut to what fits") << QString() << -1 << QString() << kEuro.repeated(20)
                                                          << kEuro.repeated(10) << true;
        QTest::newRow("a paste in the middle keeps the text around it")
            << "abcdef" << 3 << QString() << kUe.repeated(20) << "abc" + kUe.repeated(13) + "def" << true;
        QTest::newRow("a paste that fits") << "abc" << -1 << QString() << kUe.repeated(14) << "abc" + kUe.repeated(14)
                                           << false;
    }
    void LimitsToBytes()
    {
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        QFETCH(bool, refused);

        FakeShell shell;
        tessarin::GuiBatch batch(shell);
        MainDropWindow window(batch, shell);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const char* id : {"1500", "1501"}) {
            auto* field = window.findChild<QLineEdit*>(id);
            QVERIFY(field);
            auto* limit = qobject_cast<const PasswordLimit*>(field->validator());
            QVERIFY(limit);
            QSignalSpy refusals(limit, &PasswordLimit::Refused);
            QToolTip::hideText();
            QTRY_VERIFY(!QToolTip::isVisible());
            field->setFocus();
            Type(field, before);
            QCOMPARE(field->text(), before);
            QCOMPARE(refusals.count(), 0);
            if (cursor >= 0) field->setCursorPosition(cursor);
            Type(field, typed);
            if (!pasted.isEmpty()) {
                QGuiApplication::clipboard()->setText(pasted);
                field->paste();
            }
            QCOMPARE(field->text(), expected);
            QVERIFY(field->text().toUtf8().size() <= PasswordLimit::MaxBytes);
            QCOMPARE(refusals.count() > 0, refused);
            QCOMPARE(QToolTip::isVisible(), refused);
            if (refused) QCOMPARE(QToolTip::text(), PasswordLimit::Note());
        }
    }

    // The fields' limit is the engine's: a password that fills them with
    // two-byte letters encrypts and decrypts again.
    void FullFieldsEncrypt()
    {
        QTemporaryDir folder;
        const QString name = folder.filePath("letter.txt");
        const QByteArray content = QByteArray("Dear Grete,\n").repeated(300);
        {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        for (int direction : {0, 1}) {
            FakeShell shell;
            tessarin::GuiBatch batch(shell);
            MainDropWindow window(batch, shell);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.findChild<QAbstractButton*>(QString::number(1200 + direction))->click();
            for (const char* id : {"1500", "1501"}) Type(window.findChild<QLineEdit*>(id), kUe.repeated(17));
            window.RunBatch({direction == 0 ? name : name + ".aes"});
            QVERIFY(!shell.Messages().empty());
            const auto& report = shell.Messages().back();
            QVERIFY2(report.text.contains(QStringLiteral(", 0 error(s)")), qPrintable(report.text));
        }
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }

private:
    PrivateSettings m_settings;
};

QTEST_MAIN(PasswordLimitTest)
#include "PasswordLimitTest.moc"
