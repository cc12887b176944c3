#include "StyledLabel.h"

#include <QDesktopServices>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <functional>

using tessarin::StyledLabel;

// Receives what the desktop would open, so no browser starts.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

class StyledLabelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_recorder, "Open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_recorder, "Open");
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    void init() { m_recorder.urls.clear(); }

    void ClickOpensTextOnlyWhileLink_data()
    {
        QTest::addColumn<QList<bool>>("linkSettings");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("opens");
        QTest::newRow("never a link") << QList<bool>{} << Qt::LeftButton << false;
        QTest::newRow("link") << QList<bool>{true} << Qt::LeftButton << true;
        QTest::newRow("link, then inert") << QList<bool>{true, false} << Qt::LeftButton << false;
        QTest::newRow("inert, then link") << QList<bool>{false, true} << Qt::LeftButton << true;
        QTest::newRow("link, right button") << QList<bool>{true} << Qt::RightButton << false;
    }
    void ClickOpensTextOnlyWhileLink()
    {
        QFETCH(QList<bool>, linkSettings);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, opens);

        StyledLabel label(QStringLiteral("https://tessarin.example.org/download"), nullptr);
        for (bool link : linkSettings) label.SetLink(link);
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        QTest::mouseClick(&label, button, {}, QPoint(5, 5));

        if (opens) {
            QCOMPARE(m_recorder.urls.size(), 1);
            QCOMPARE(m_recorder.urls.front(), QUrl(QStringLiteral("https://tessarin.example.org/download")));
        } else {
            QVERIFY(m_recorder.urls.isEmpty());
        }
    }

    void LinkCursorShowsOnlyOverALink()
    {
        StyledLabel label(QStringLiteral("https://tessarin.example.org"), nullptr);
        label.SetLinkCursor(QCursor(Qt::PointingHandCursor));
        QCOMPARE(label.cursor().shape(), Qt::ArrowCursor);
        label.SetLink(true);
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
        label.SetLink(false);
        QCOMPARE(label.cursor().shape(), Qt::ArrowCursor);
    }

    void FontChangesRedrawAtOnce_data()
    {
        QTest::addColumn<std::function<void(StyledLabel&)>>("change");
        QTest::addColumn<std::function<bool(const QFont&)>>("holds");
        QTest::newRow("bold") << std::function<void(StyledLabel&)>([](StyledLabel& l) { l.SetBold(true); })
                              << std::function<bool(const QFont&)>([](const QFont& f) { return f.weight() == QFont::Bold; });
        QTest::newRow("underline")
            << std::function<void(StyledLabel&)>([](StyledLabel& l) { l.SetUnderline(true); })
            << std::function<bool(const QFont&)>([](const QFont& f) { return f.underline(); });
        QTest::newRow("size 22")
            << std::function<void(StyledLabel&)>([](StyledLabel& l) { l.SetFontSize(22); })
            << std::function<bool(const QFont&)>([](const QFont& f) { return f.pixelSize() == 22; });
        QTest::newRow("face name")
            << std::function<void(StyledLabel&)>([](StyledLabel& l) { l.SetFontName(QStringLiteral("DejaVu Serif")); })
            << std::function<bool(const QFont&)>([](const QFont& f) { return f.family() == QStringLiteral("DejaVu Serif"); });
        QTest::newRow("colour")
            << std::function<void(StyledLabel&)>([](StyledLabel& l) { l.SetTextColor(QColor(0, 0, 255)); })
            << std::function<bool(const QFont&)>([](const QFont&) { return true; });
    }
    void FontChangesRedrawAtOnce()
    {
        QFETCH(std::function<void(StyledLabel&)>, change);
        QFETCH(std::function<bool(const QFont&)>, holds);

        StyledLabel label(QStringLiteral("General Information:"), nullptr);
        label.resize(300, 40);
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        const QImage before = label.grab().toImage();
        change(label);
        QVERIFY(holds(label.font()));
        QVERIFY(label.grab().toImage() != before);
    }

    void LongFaceNameIsCut()
    {
        StyledLabel label(QStringLiteral("x"), nullptr);
        label.SetFontName(QString(40, QLatin1Char('A')));
        QCOMPARE(label.font().family().size(), 31);
    }

    void SettersChain()
    {
        StyledLabel label(nullptr);
        label.SetText(QStringLiteral("https://tessarin.example.org")).SetBold(true).SetUnderline(true).SetLink(true);
        QVERIFY(label.IsLink());
        QVERIFY(label.font().bold() && label.font().underline());
        QCOMPARE(label.text(), QStringLiteral("https://tessarin.example.org"));
    }

private:
    UrlRecorder m_recorder;
};

QTEST_MAIN(StyledLabelTest)
#include "StyledLabelTest.moc"
