#include "WindowTestSupport.h"

#include "BoxText.h"
#include "GuiBatch.h"
#include "MainDropWindow.h"
#include "QtShellServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
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

QStringList LayoutProblems(const QMessageBox& box)
{
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label) return {QStringLiteral("the box has no text label")};
    QStringList problems;
    const QRect area = label->contentsRect();
    const QSize hint = label->sizeHint();
    const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : hint.height();
    if (needed > area.height())
        problems << QStringLiteral("the text needs %1 px of height, its label has %2").arg(needed).arg(area.height());
    if (!label->wordWrap() && hint.width() > area.width())
        problems << QStringLiteral("the text needs %1 px of width, its label has %2").arg(hint.width()).arg(area.width());
    // A word wider than the label runs out of it however the label wraps.
    static const QRegularExpression breaks(QStringLiteral("[\\s\\x{200B}]+"));
    const QFontMetrics metrics(label->font());
    for (const QString& word : label->text().split(breaks, Qt::SkipEmptyParts)) {
        const int width = metrics.horizontalAdvance(word);
        if (width > area.width())
            problems << QStringLiteral("'%1' is %2 px wide, its label %3").arg(word).arg(width).arg(area.width());
    }
    if (!box.rect().contains(label->geometry())) problems << QStringLiteral("the label reaches out of the box");
    const QScreen* screen = box.screen();
    if (screen && !screen->availableGeometry().contains(box.frameGeometry()))
        problems << QStringLiteral("the box (%1,%2 %3x%4) reaches out of the screen")
                        .arg(box.frameGeometry().x())
                        .arg(box.frameGeometry().y())
                        .arg(box.frameGeometry().width())
                        .arg(box.frameGeometry().height());
    return problems;
}

namespace {

SeenBox Look(const QMessageBox& box)
{
    SeenBox seen;
    seen.icon = box.icon();
    seen.title = box.windowTitle();
    seen.text = box.text().remove(QChar(BreakOpportunity));
    seen.details = box.detailedText();
    for (const QAbstractButton* button : box.buttons())
        seen.detailsButton = seen.detailsButton || button->text().startsWith(QStringLiteral("Show Details"));
    seen.problems = LayoutProblems(box);
    return seen;
}

} // namespace

std::vector<SeenBox> AnswerBoxes(const std::function<void()>& during, const std::function<void(QMessageBox&)>& look)
{
    std::vector<SeenBox> seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->property("tessarinSeen").toBool()) return;
        box->setProperty("tessarinSeen", true);
        poll.stop();
        // Laid out and on the screen before it is measured.
        const bool exposed = QTest::qWaitForWindowExposed(box);
        QTest::qWait(50);
        seen.push_back(Look(*box));
        if (!exposed) seen.back().problems << QStringLiteral("the box never came on the screen");
        if (look) look(*box);
        poll.start();
        box->accept();
    });
    poll.start(10);
    during();
    poll.stop();
    return seen;
}

std::vector<SeenBox> RunThroughWindow(const QStringList& names, int direction, const QString& password,
                                      const std::function<void(QMessageBox&)>& look,
                                      const std::function<void(QWidget&)>& arrange)
{
    QtShellServices shell;
    GuiBatch batch(shell);
    MainDropWindow window(batch, shell);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return {};
    if (arrange) arrange(window);
    if (auto* radio = window.findChild<QAbstractButton*>(QString::number(1200 + direction))) radio->click();
    for (const char* id : {"1500", "1501"}) {
        if (auto* field = window.findChild<QLineEdit*>(QString::fromLatin1(id))) field->setText(password);
    }
    return AnswerBoxes([&] { window.RunBatch(names); }, look);
}

} // namespace tessarin::test
