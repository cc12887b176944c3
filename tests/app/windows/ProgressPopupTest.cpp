#include "ProgressPopup.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using tessarin::ProgressPopup;

class ProgressPopupTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_settings.Clear();
        m_owner = std::make_unique<QWidget>();
        m_owner->resize(200, 200);
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
    }
    void cleanup() { m_owner.reset(); }

    // The batch's own sequence: a popup titled "Progress Status", made modal,
    // its range in KiB, then progress in steps.
    void CaptionShowsWholePercentOnly_data()
    {
        QTest::addColumn<int>("upper");
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("barValue");
        QTest::newRow("below one percent")
            << 1000 << QList<int>{5, 4} << QStringList{"Progress Status", "Progress Status"} << 9;
        QTest::newRow("first whole percent")
            << 1000 << QList<int>{9, 1, 15} << QStringList{"Progress Status", "Progress Status [1%]", "Progress Status [2%]"}
            << 25;
        QTest::newRow("empty range stays at the title")
            << 0 << QList<int>{1, 40} << QStringList{"Progress Status", "Progress Status"} << 0;
        // What is done never passes what there is.
        QTest::newRow("beyond the range stops at the end")
            << 100 << QList<int>{100, 50} << QStringList{"Progress Status [100%]", "Progress Status [100%]"} << 100;
        QTest::newRow("back to zero percent")
            << 100 << QList<int>{3, -3} << QStringList{"Progress Status [3%]", "Progress Status [0%]"} << 0;
        QTest::newRow("many GiB in KiB")
            << 2000000000 << QList<int>{1000000000} << QStringList{"Progress Status [50%]"} << 1000000000;
    }
    void CaptionShowsWholePercentOnly()
    {
        QFETCH(int, upper);
        QFETCH(QList<int>, offsets);
        QFETCH(QStringList, captions);
        QFETCH(int, barValue);

        ProgressPopup popup(m_owner.get(), m_shell, QStringLiteral("Progress Status"), false);
        QVERIFY(popup.BeginModal(QStringLiteral("Progress"), false));
        popup.SetRange(0, upper, 1);
        QCOMPARE(popup.windowTitle(), QStringLiteral("Progress Status"));
        for (qsizetype i = 0; i < offsets.size(); ++i) {
            popup.OffsetPos(offsets[i]);
            QCOMPARE(popup.windowTitle(), captions[i]);
        }
        QCOMPARE(popup.findChild<QProgressBar*>(QStringLiteral("12"))->value(), barValue);
    }

    void CancelSetsTheBreak_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Escape key") << "escape";
        QTest::newRow("Escape waiting while pumping") << "pumpedEscape";
        QTest::newRow("window closed") << "close";
    }
    void CancelSetsTheBreak()
    {
        QFETCH(QString, how);
        ProgressPopup popup(m_owner.get(), m_shell, QStringLiteral("Progress Status"), false);
        QVERIFY(popup.BeginModal(QStringLiteral("Progress"), false));
        QVERIFY(!m_owner->isEnabled());
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        auto* cancel = popup.findChild<QPushButton*>(QStringLiteral("10"));
        QCOMPARE(cancel->text(), QStringLiteral(" Cancel "));

        if (how == "button") {
            QTest::mouseClick(cancel, Qt::LeftButton);
        } else if (how == "escape") {
            QTest::keyClick(&popup, Qt::Key_Escape);
        } else if (how == "pumpedEscape") {
            QCoreApplication::postEvent(&popup, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            QVERIFY(!popup.IsCancelled());
            popup.PumpMessages(true);
        } else {
            popup.close();
        }

        QVERIFY(popup.IsCancelled());
        QVERIFY(!popup.isVisible());
        // The owner stays disabled until the batch dismisses the popup.
        QVERIFY(!m_owner->isEnabled());
        // Gone as a window: later calls from the batch change nothing.
        QCOMPARE(popup.SetPos(50), 0);
        popup.SetStatusText(QStringLiteral("late"));
        QVERIFY(!popup.isVisible());
        popup.Dismiss();
        QVERIFY(m_owner->isEnabled());
    }

    void EscapeDoesNotCancelWhenNotAllowed()
    {
        ProgressPopup popup(m_owner.get(), m_shell, QStringLiteral("Progress Status"), false);
        popup.BeginModal(QStringLiteral("Progress"), false);
        QCoreApplication::postEvent(&popup, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        popup.PumpMessages(false);
        QVERIFY(!popup.IsCancelled());
    }

    void StatusTextIsShownAsItIs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("percent in a name") << "Encrypting '/tmp/100% sure.txt'..." << "Encrypting '/tmp/100% sure.txt'...";
        QTest::newRow("format codes") << "Encrypting '%s%d%n'..." << "Encrypting '%s%d%n'...";
        QTest::newRow("ampersand") << "Decrypting 'R&D.doc'..." << "Decrypting 'R&D.doc'...";
        QTest::newRow("CR LF line ends") << "step [OK]\r\nnext" << "step [OK]\nnext";
        QTest::newRow("longer than 511") << QString(600, QLatin1Char('x')) << QString(511, QLatin1Char('x'));
    }
    void StatusTextIsShownAsItIs()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        ProgressPopup popup(m_owner.get(), m_shell, QStringLiteral("Progress Status"), false);
        popup.LayoutControls(4, 300);
        popup.SetStatusText(text);
        QCOMPARE(popup.StatusText(), shown);
        auto* label = popup.findChild<QLabel*>(QStringLiteral("11"));
        QCOMPARE(label->textFormat(), Qt::PlainText);
        if (label->fontMetrics().horizontalAdvance(shown) < label->width()) QCOMPARE(label->text(), shown);
    }

    void LayoutHoldsTheGivenLinesAndWidth()
    {
        ProgressPopup popup(m_owner.get(), m_shell, QStringLiteral("Progress Status"), false);
        popup.LayoutControls(4, 300);
        auto* label = popup.findChild<QLabel*>(QStringLiteral("11"));
        QCOMPARE(label->width(), 300);
        QCOMPARE(label->height(), label->fontMetrics().lineSpacing() * 4);
        auto* cancel = popup.findChild<QPushButton*>(QStringLiteral("10"));
        QCOMPARE(cancel->geometry().right(), label->geometry().right());
        QVERIFY(cancel->geometry().top() > label->geometry().bottom());
        QCOMPARE(popup.width(), 320);
    }

    void PositionIsKeptBetweenBatches_data()
    {
        QTest::addColumn<QPoint>("placed");
        QTest::addColumn<bool>("restored");
        QTest::newRow("on the screen") << QPoint(37, 61) << true;
        QTest::newRow("off the screen") << QPoint(-400, 20) << false;
    }
    void PositionIsKeptBetweenBatches()
    {
        QFETCH(QPoint, placed);
        QFETCH(bool, restored);
        {
            ProgressPopup first(m_owner.get(), m_shell, QStringLiteral("Progress Status"), false);
            first.move(placed);
            first.Dismiss();
        }
        ProgressPopup second(m_owner.get(), m_shell, QStringLiteral("Progress Status"), false);
        QCOMPARE(second.frameGeometry().topLeft() == placed, restored);
        QVERIFY(second.frameGeometry().intersects(second.screen()->geometry()));
    }

private:
    tessarin::test::PrivateSettings m_settings;
    tessarin::test::FakeShell m_shell;
    std::unique_ptr<QWidget> m_owner;
};

QTEST_MAIN(ProgressPopupTest)
#include "ProgressPopupTest.moc"
