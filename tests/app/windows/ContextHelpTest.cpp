#include "ContextHelp.h"
#include "HelpPopup.h"
#include "HelpTexts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>
#include <QWhatsThis>

using tessarin::ContextHelp;
using tessarin::HelpPopup;
using tessarin::HelpTexts;

// A window shaped like the ones of the program: controls named by their
// ids, a group box and a label without one.
class HelpWindow : public QDialog {
public:
    HelpWindow()
    {
        setObjectName(QStringLiteral("501"));
        auto* layout = new QVBoxLayout(this);
        group = new QGroupBox(QStringLiteral("Set password:"), this);
        auto* inner = new QVBoxLayout(group);
        label = new QLabel(QStringLiteral("Passwd (max 32):"), group);
        password = new QLineEdit(group);
        password->setObjectName(QStringLiteral("1500"));
        inner->addWidget(label);
        inner->addWidget(password);
        layout->addWidget(group);
        format = new QComboBox(this);
        format->setObjectName(QStringLiteral("1103"));
        format->setEditable(true);
        layout->addWidget(format);
        HelpTexts::Apply(this);
        help = new ContextHelp(this);
    }
    QGroupBox* group;
    QLabel* label;
    QLineEdit* password;
    QComboBox* format;
    ContextHelp* help;
};

class ContextHelpTest : public QObject {
    Q_OBJECT
private slots:
    void HelpRequestShowsTheControlsText_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("shown");
        QTest::newRow("password field") << "password" << "Type your password (max 32 bytes: letters such as \u00FC count twice).";
        QTest::newRow("inside an editable combo") << "formatEdit" << HelpTexts::ForId(1103);
        QTest::newRow("group box") << "group" << QString();
        QTest::newRow("label in a group box") << "label" << QString();
        QTest::newRow("the window itself") << "window" << QString();
    }
    void HelpRequestShowsTheControlsText()
    {
        QFETCH(QString, target);
        QFETCH(QString, shown);

        HelpWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* control = target == "password"     ? static_cast<QWidget*>(window.password)
                           : target == "formatEdit" ? static_cast<QWidget*>(window.format->lineEdit())
                           : target == "group"      ? static_cast<QWidget*>(window.group)
                           : target == "label"      ? static_cast<QWidget*>(window.label)
                                                    : static_cast<QWidget*>(&window);
        const QPoint mouse = control->mapToGlobal(QPoint(3, 4));
        QHelpEvent request(QEvent::WhatsThis, QPoint(3, 4), mouse);
        request.ignore();
        QApplication::sendEvent(control, &request);

        QVERIFY2(request.isAccepted(), "every help request counts as handled");
        HelpPopup* popup = window.help->VisiblePopup();
        if (shown.isEmpty()) {
            QVERIFY(popup == nullptr);
            return;
        }
        QVERIFY(popup != nullptr);
        QCOMPARE(popup->text(), shown);
        // At the mouse position, moved left or up only to stay on the screen.
        const QRect screen = popup->screen()->availableGeometry();
        QCOMPARE(popup->pos(), QPoint(std::min(mouse.x(), screen.right() + 1 - popup->width()),
                                      std::min(mouse.y(), screen.bottom() + 1 - popup->height())));
        QVERIFY(screen.contains(popup->geometry()));
    }

    // Off Wayland the two window switches read as the table has them.
    void HelpOfTheWindowSwitches()
    {
        QCOMPARE(HelpTexts::ForId(1405),
                 QStringLiteral("Flag this checkbox and Tessarin window will always startup  minimized (iconified)."));
        QCOMPARE(HelpTexts::ForId(1407), QStringLiteral("Flag this checkbox and Tessarin window will always stay on top."));
    }

    void PopupLooksAsAHelpNote()
    {
        HelpWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.help->ShowHelp(window.password, window.password->mapToGlobal(QPoint(0, 0)));
        HelpPopup* popup = window.help->VisiblePopup();
        QVERIFY(popup != nullptr);
        QCOMPARE(popup->palette().color(QPalette::Window).rgb() & 0xFFFFFF, QRgb(0xFFFFD0));
        QCOMPARE(popup->palette().color(QPalette::WindowText).rgb() & 0xFFFFFF, QRgb(0x000000));
        QCOMPARE(popup->font().family(), QStringLiteral("Arial"));
        QCOMPARE(popup->font().pointSize(), 8);
        const QImage drawn = popup->grab().toImage();
        QCOMPARE(drawn.pixel(drawn.width() / 2, 2) & 0xFFFFFF, QRgb(0xFFFFD0));
    }

    void PopupClosesOnAKey()
    {
        HelpWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.help->ShowHelp(window.password, window.password->mapToGlobal(QPoint(0, 0)));
        QVERIFY(window.help->VisiblePopup() != nullptr);
        QTest::keyClick(window.help->VisiblePopup(), Qt::Key_Space);
        QVERIFY(window.help->VisiblePopup() == nullptr);
    }

    void WhatsThisModeClickShowsHelp()
    {
        HelpWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWhatsThis::enterWhatsThisMode();
        QVERIFY(QWhatsThis::inWhatsThisMode());
        QTest::mouseClick(window.password, Qt::LeftButton, {}, QPoint(4, 4));
        QVERIFY(!QWhatsThis::inWhatsThisMode());
        QVERIFY(window.help->VisiblePopup() != nullptr);
        QCOMPARE(window.help->VisiblePopup()->text(), HelpTexts::ForId(1500));
    }
};

QTEST_MAIN(ContextHelpTest)
#include "ContextHelpTest.moc"
