// The text of a message box: plain line ends, and break opportunities in
// words too wide for the box, so that no piece between two breaks is wider
// than the box gives its text; never inside a character, and nothing else
// of the text changed.
#include "BoxText.h"

#include <QApplication>
#include <QFontMetrics>
#include <QRegularExpression>
#include <QTest>
#include <QTextBoundaryFinder>

using tessarin::BreakOpportunity;

namespace {

QString Without(const QString& text)
{
    QString plain = text;
    return plain.remove(QChar(BreakOpportunity));
}

// The places in text (without break opportunities) where one was put.
QList<qsizetype> BreakPlaces(const QString& broken)
{
    QList<qsizetype> places;
    qsizetype at = 0;
    for (const QChar c : broken) {
        if (c == QChar(BreakOpportunity))
            places << at;
        else
            ++at;
    }
    return places;
}

} // namespace

class BoxTextTest : public QObject {
    Q_OBJECT
private slots:
    void PlainLineEnds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("plain");
        QTest::newRow("terminal line ends") << "one\r\ntwo\r\n" << "one\ntwo";
        QTest::newRow("lone carriage return") << "one\rtwo" << "one\ntwo";
        QTest::newRow("several at the end") << "one\n\r\n\n" << "one";
        QTest::newRow("empty line inside kept") << "one\r\n\r\ntwo" << "one\n\ntwo";
        QTest::newRow("nothing to change") << "one two" << "one two";
    }
    void PlainLineEnds()
    {
        QFETCH(QString, text);
        QFETCH(QString, plain);
        QCOMPARE(tessarin::WithPlainLineEnds(text), plain);
    }

    void BreaksWideWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("changed");
        QTest::newRow("words that fit") << "Decrypting /home/user/notes.txt ERROR(-20)" << 300 << false;
        QTest::newRow("an unbroken name") << "x" + QString("Quarterly").repeated(20) << 200 << true;
        QTest::newRow("a long path") << "Decrypting /home/user/" + QString("folder/").repeated(30) + "a.txt" << 200 << true;
        QTest::newRow("a path with a wide folder")
            << "/home/" + QString("Report").repeated(30) + "/a.txt ERROR" << 150 << true;
        QTest::newRow("letters outside the basic plane")
            << QString::fromUtf8("\xF0\x9D\x90\x80").repeated(80) << 120 << true;
        QTest::newRow("accents of their own") << QString::fromUtf8("e\xCC\x81").repeated(120) << 100 << true;
        QTest::newRow("several lines") << QString("A").repeated(90) + "\r\n" + QString("B").repeated(90) << 250
                                       << true;
        QTest::newRow("narrower than a letter") << "wide" << 1 << true;
    }
    void BreaksWideWords()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(bool, changed);
        const QFontMetrics metrics(QApplication::font());
        const QString broken = tessarin::WithBreakOpportunities(text, metrics, width);

        QCOMPARE(Without(broken), text);
        QCOMPARE(broken != text, changed);
        // Every piece fits, but for a single character wider than width.
        static const QRegularExpression breaks(QStringLiteral("[\\s\\x{200B}]+"));
        for (const QString& piece : broken.split(breaks, Qt::SkipEmptyParts)) {
            QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, piece);
            const bool single = characters.toNextBoundary() == piece.size();
            QVERIFY2(single || metrics.horizontalAdvance(piece) <= width, qPrintable(piece));
        }
        // Breaks only between whole characters, and after every slash of a
        // word that was broken.
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
        for (const qsizetype place : BreakPlaces(broken)) {
            characters.setPosition(place);
            QVERIFY2(characters.isAtBoundary(), qPrintable(QString::number(place)));
        }
        for (const QString& word : text.split(breaks, Qt::SkipEmptyParts)) {
            if (metrics.horizontalAdvance(word) <= width || !word.contains(QLatin1Char('/'))) continue;
            const QString withBreaks = tessarin::WithBreakOpportunities(word, metrics, width);
            qsizetype slashes = 0;
            for (qsizetype i = 0; i + 1 < withBreaks.size(); ++i) {
                if (withBreaks.at(i) == QLatin1Char('/')) {
                    ++slashes;
                    QVERIFY2(withBreaks.at(i + 1) == QChar(BreakOpportunity), qPrintable(word));
                }
            }
            QVERIFY(slashes > 0);
        }
    }
};

QTEST_MAIN(BoxTextTest)
#include "BoxTextTest.moc"
