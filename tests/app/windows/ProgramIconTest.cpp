#include "ProgramIcon.h"

#include <QImage>
#include <QTest>

using tessarin::ProgramIcon;

class ProgramIconTest : public QObject {
    Q_OBJECT
private slots:
    // The icon is drawn at every size and scale, not merely present.
    void DrawnAtEverySize_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("16 at 100 %") << 16 << 1.0;
        QTest::newRow("32 at 100 %") << 32 << 1.0;
        QTest::newRow("32 at 200 %") << 32 << 2.0;
        QTest::newRow("64 at 150 %") << 64 << 1.5;
    }
    void DrawnAtEverySize()
    {
        QFETCH(int, side);
        QFETCH(qreal, ratio);
        const QImage image = ProgramIcon::Pixmap(side, ratio).toImage();
        QCOMPARE(image.width(), qRound(side * ratio));
        // Opaque in the middle (the lock), transparent in the very corner
        // (the rounded background).
        QCOMPARE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }

    void IconOffersTheDesktopSizes()
    {
        const QIcon icon = ProgramIcon::Icon();
        QVERIFY(icon.availableSizes().contains(QSize(48, 48)));
        QCOMPARE(qAlpha(icon.pixmap(48, 48).toImage().pixel(24, 24)), 255);
    }
};

QTEST_MAIN(ProgramIconTest)
#include "ProgramIconTest.moc"
