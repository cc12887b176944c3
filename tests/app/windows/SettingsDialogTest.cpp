#include "ContextHelp.h"
#include "HelpPopup.h"
#include "SettingsDialog.h"
#include "SettingsPage.h"
#include "WindowTestSupport.h"
#include "HelpTexts.h"
#include "application/SettingsTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using tessarin::AppSettings;
using tessarin::SettingsDialog;
using tessarin::test::Differences;
using tessarin::test::FakeShell;

namespace {

template <class T = QWidget>
T* Control(const SettingsDialog& dialog, int id)
{
    return dialog.findChild<T*>(QString::number(id));
}

// Shows the page that holds a control, as a click on its tab would.
void ShowPageOf(SettingsDialog& dialog, QWidget* control)
{
    for (int index = 0; index < SettingsDialog::PageCount; ++index) {
        if (dialog.Page(index)->isAncestorOf(control)) dialog.Tabs()->setCurrentIndex(index);
    }
}

// One edit through the control as a user makes it: a click on a check box,
// a choice in a list, text typed into an edit box.
void Edit(SettingsDialog& dialog, int id, const QVariant& value)
{
    QWidget* control = Control(dialog, id);
    QVERIFY2(control, qPrintable(QString::number(id)));
    ShowPageOf(dialog, control);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        list->setCurrentIndex(value.toInt());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
        QTest::keyClicks(edit, value.toString());
    }
}

AppSettings Varied()
{
    AppSettings s;
    s.checkLogging = 1;
    s.checkFilterCompress = 1;
    s.editLogFilename = QStringLiteral("/tmp/tessarin-test/log.txt");
    return s;
}

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_shell.Clear(); }

    void PagesAndTitles()
    {
        SettingsDialog dialog(AppSettings{}, m_shell, nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("AES Main Configuration"));
        const QStringList titles{"File Handling", "Searching", "File Logging", "Encryption", "Compression",
                                 "Window Properties"};
        QCOMPARE(dialog.Tabs()->count(), titles.size());
        for (int i = 0; i < titles.size(); ++i) QCOMPARE(dialog.Tabs()->tabText(i), titles[i]);
        QCOMPARE(dialog.Tabs()->currentIndex(), 0);
        QCOMPARE(Control<QComboBox>(dialog, 1102)->itemText(2), QStringLiteral("ECB"));
    }

    // Every control of the shared settings table on its page, with its label,
    // items and help, as the Win32 dialog shows them too.
    void ControlsOfTheSharedTable()
    {
        SettingsDialog dialog(AppSettings{}, m_shell, nullptr);
        for (const tessarin::SettingsControl& control : tessarin::SettingsTable::Controls()) {
            if (control.id == -1) continue;
            QWidget* widget = Control(dialog, control.id);
            QVERIFY2(widget, qPrintable(QString::number(control.id)));
            QVERIFY(dialog.Page(tessarin::SettingsTable::PageIndex(control.page))->isAncestorOf(widget));
            QString text;
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
            if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
            if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
            if (control.text) QCOMPARE(text, QString::fromUtf8(control.text));
            if (auto* list = qobject_cast<QComboBox*>(widget)) {
                QCOMPARE(std::size_t(list->count()), control.items.size());
                for (int i = 0; i < list->count(); ++i)
                    QCOMPARE(list->itemText(i).toStdString(), control.items[std::size_t(i)]);
            }
            QCOMPARE(widget->whatsThis(), tessarin::HelpTexts::ForId(control.id));
        }
    }

    void OkWritesTheEditedValue_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("wiping") << 1406 << QVariant() << "checkWiping" << QVariant(1);
        QTest::newRow("mangling") << 1400 << QVariant() << "checkMangling" << QVariant(1);
        QTest::newRow("extension") << 1404 << QVariant() << "checkChangeExt" << QVariant(0);
        QTest::newRow("keep original") << 1408 << QVariant() << "checkKeepOriginal" << QVariant(1);
        QTest::newRow("recursive") << 1401 << QVariant() << "checkRecursive" << QVariant(0);
        QTest::newRow("case-sensitive search") << 1402 << QVariant() << "checkSensive" << QVariant(0);
        QTest::newRow("pattern") << 1503 << QVariant("*.txt") << "editPattern" << QVariant("*.txt");
        QTest::newRow("logging") << 1403 << QVariant() << "checkLogging" << QVariant(0);
        QTest::newRow("log name") << 1502 << QVariant("/tmp/other.log") << "editLogFilename"
                                  << QVariant("/tmp/other.log");
        QTest::newRow("key length") << 1100 << QVariant(0) << "comboKeyLen" << QVariant(0);
        QTest::newRow("block size") << 1101 << QVariant(1) << "comboBlockSize" << QVariant(1);
        QTest::newRow("ECB") << 1102 << QVariant(2) << "comboOperMode" << QVariant(2);
        QTest::newRow("compression") << 1409 << QVariant() << "checkFilterCompress" << QVariant(0);
        QTest::newRow("BZIP2") << 1103 << QVariant(1) << "comprFamily" << QVariant(1);
        QTest::newRow("Best") << 1104 << QVariant(4) << "comprLevel" << QVariant(4);
        QTest::newRow("exclusion case") << 1411 << QVariant() << "checkFilterExclusion" << QVariant(1);
        QTest::newRow("exclusions") << 1505 << QVariant("*.jpg *.png") << "editFilterExclusionList"
                                    << QVariant("*.jpg *.png");
        QTest::newRow("on top") << 1407 << QVariant() << "checkWinOnTop" << QVariant(0);
        QTest::newRow("minimized") << 1405 << QVariant() << "checkMinimized" << QVariant(1);
    }
    void OkWritesTheEditedValue()
    {
        QFETCH(int, id);
        QFETCH(QVariant, value);
        QFETCH(QString, field);
        QFETCH(QVariant, stored);

        const AppSettings before = Varied();
        SettingsDialog dialog(before, m_shell, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Edit(dialog, id, value);
        // Another page is shown when OK is pressed: hidden pages count too.
        dialog.Tabs()->setCurrentIndex((dialog.Tabs()->currentIndex() + 1) % SettingsDialog::PageCount);
        QTest::mouseClick(Control<QPushButton>(dialog, 1), Qt::LeftButton);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const AppSettings after = dialog.Values();
        QCOMPARE(Differences(before, after), QStringList{field});
        for (const auto& v : AppSettings::IntegerValues) {
            if (field == QLatin1String(v.name)) QCOMPARE(after.*(v.field), stored.toInt());
        }
        for (const auto& v : AppSettings::StringValues) {
            if (field == QLatin1String(v.name)) QCOMPARE(after.*(v.field), stored.toString());
        }
    }

    void CancelAfterEditsChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("closed") << "close";
    }
    void CancelAfterEditsChangesNothing()
    {
        QFETCH(QString, how);
        const AppSettings before = Varied();
        SettingsDialog dialog(before, m_shell, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Edit(dialog, 1406, {});
        Edit(dialog, 1503, QStringLiteral("*.doc"));
        Edit(dialog, 1102, 2);
        Edit(dialog, 1409, {});
        Edit(dialog, 1407, {});
        if (how == "cancel") {
            QTest::mouseClick(Control<QPushButton>(dialog, 2), Qt::LeftButton);
        } else if (how == "escape") {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else {
            dialog.close();
        }
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(Differences(before, dialog.Values()), QStringList{});
    }

    void OutOfRangeIndexTravelsAsNoChoice()
    {
        AppSettings before;
        before.comboKeyLen = 7;
        SettingsDialog dialog(before, m_shell, nullptr);
        QCOMPARE(Control<QComboBox>(dialog, 1100)->currentIndex(), -1);
        dialog.accept();
        // Still no valid index, which the batch reads as 256 bits as it did 7.
        QCOMPARE(dialog.Values().comboKeyLen, -1);
    }

    void TypedFormatCountsOnlyThroughTheChosenItem()
    {
        AppSettings before;
        before.checkFilterCompress = 1;
        SettingsDialog dialog(before, m_shell, nullptr);
        dialog.show();
        auto* format = Control<QComboBox>(dialog, 1103);
        ShowPageOf(dialog, format);
        format->lineEdit()->selectAll();
        QTest::keyClicks(format->lineEdit(), QStringLiteral("LZMA"));
        QTest::keyClick(format->lineEdit(), Qt::Key_Return);
        QCOMPARE(format->count(), 2);
        dialog.accept();
        QCOMPARE(dialog.Values().comprFamily, 0);
    }

    // Enabled state of the controls of a page after it opens with a value
    // and after each click on its switch.
    void Greying_data()
    {
        QTest::addColumn<int>("switchId");
        QTest::addColumn<int>("startValue");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QList<int>>("enabled");
        QTest::addColumn<QList<int>>("greyed");
        const QList<int> logAll{1502, 1000, 1001, 1300, 1301};
        QTest::newRow("logging on at start") << 1403 << 1 << 0 << logAll << QList<int>{};
        QTest::newRow("logging off at start") << 1403 << 0 << 0 << QList<int>{1300, 1301} << QList<int>{1502, 1000, 1001};
        QTest::newRow("logging switched off") << 1403 << 1 << 1 << QList<int>{} << logAll;
        QTest::newRow("logging off, switched on") << 1403 << 0 << 1 << logAll << QList<int>{};
        QTest::newRow("logging switched off and on") << 1403 << 1 << 2 << logAll << QList<int>{};
        const QList<int> filtering{1103, 1104, 1302, 1303, 1304, 1305, 1411, 1505};
        QTest::newRow("compression on at start") << 1409 << 1 << 0 << filtering << QList<int>{};
        QTest::newRow("compression off at start") << 1409 << 0 << 0 << QList<int>{} << filtering;
        QTest::newRow("compression switched on") << 1409 << 0 << 1 << filtering << QList<int>{};
        QTest::newRow("compression switched off") << 1409 << 1 << 1 << QList<int>{} << filtering;
        QTest::newRow("compression off, clicked three times") << 1409 << 0 << 3 << filtering << QList<int>{};
    }
    void Greying()
    {
        QFETCH(int, switchId);
        QFETCH(int, startValue);
        QFETCH(int, clicks);
        QFETCH(QList<int>, enabled);
        QFETCH(QList<int>, greyed);

        AppSettings start;
        start.checkLogging = switchId == 1403 ? startValue : 1;
        start.checkFilterCompress = switchId == 1409 ? startValue : 0;
        SettingsDialog dialog(start, m_shell, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (int i = 0; i < clicks; ++i) Edit(dialog, switchId, {});

        QVERIFY(Control(dialog, switchId)->isEnabled());
        for (int id : enabled) QVERIFY2(Control(dialog, id)->isEnabled(), qPrintable(QString::number(id)));
        for (int id : greyed) QVERIFY2(!Control(dialog, id)->isEnabled(), qPrintable(QString::number(id)));
    }

    void LogFileChooser_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("shownName");
        QTest::newRow("a file chosen") << "/tmp/chosen.log" << "/tmp/chosen.log";
        QTest::newRow("chooser cancelled") << "" << "/tmp/tessarin-test/log.txt";
    }
    void LogFileChooser()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, shownName);
        SettingsDialog dialog(Varied(), m_shell, nullptr);
        dialog.show();
        m_shell.SetChosenFile(chosen);
        auto* browse = Control<QPushButton>(dialog, 1000);
        ShowPageOf(dialog, browse);
        QTest::mouseClick(browse, Qt::LeftButton);
        QCOMPARE(m_shell.ChooserStarts(), QStringList{"/tmp/tessarin-test/log.txt"});
        QCOMPARE(Control<QLineEdit>(dialog, 1502)->text(), shownName);
        // "Read Log File" opens the page's name, not text merely typed.
        QTest::keyClicks(Control<QLineEdit>(dialog, 1502), QStringLiteral(".typed"));
        QTest::mouseClick(Control<QPushButton>(dialog, 1001), Qt::LeftButton);
        QCOMPARE(m_shell.Opened(), QStringList{shownName});
    }

    void HelpOfDialogControls_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("shown");
        QTest::newRow("log name") << 1502
                                  << "Type your preferred log filename. This box will be greyed if file logging is "
                                     "turned off.";
        QTest::newRow("wiping") << 1406
                                << "Flag this checkbox if you want to secure delete temporary file applying 3-pass "
                                   "wiping algorithm.";
        QTest::newRow("group box File Filtering") << 1302 << "";
        QTest::newRow("label Format") << 1303 << "";
        QTest::newRow("OK button") << 1 << "";
    }
    void HelpOfDialogControls()
    {
        QFETCH(int, id);
        QFETCH(QString, shown);
        AppSettings start;
        start.checkFilterCompress = 1;
        SettingsDialog dialog(start, m_shell, nullptr);
        dialog.show();
        QWidget* control = Control(dialog, id);
        ShowPageOf(dialog, control);
        QHelpEvent request(QEvent::WhatsThis, QPoint(2, 2), control->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(control, &request);
        QVERIFY(request.isAccepted());
        tessarin::HelpPopup* popup = dialog.Help()->VisiblePopup();
        QCOMPARE(popup ? popup->text() : QString(), shown);
    }

private:
    FakeShell m_shell;
};

QTEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
