#include "AboutBox.h"
#include "StyledLabel.h"
#include "platform/Module.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using tessarin::AboutBox;
using tessarin::StyledLabel;
namespace platform = tessarin::platform;

namespace {

// The program's modules in a folder of their own (zlib and bzip2 as links
// to the system's), with the loader pointed at it.
class ModuleFolder {
public:
    ModuleFolder()
    {
        for (const char* module : {"engine.dll", "aes16.dll", "aes24.dll", "aes32.dll"})
            QFile::copy(QFile::decodeName(platform::Module::Locate(module).c_str()), Path(module));
        for (const char* module : {"zlib.dll", "bzip2.dll"})
            QFile::link(QFile::decodeName(platform::Module::Locate(module).c_str()), Path(module));
        platform::Module::SetSearchFolder(QFile::encodeName(m_folder.path()).toStdString());
    }
    ~ModuleFolder() { platform::Module::SetSearchFolder(""); }
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;

    QString Path(const char* module) const
    {
        return m_folder.filePath(QString::fromStdString(platform::Module::FileNameFor(module)));
    }

private:
    QTemporaryDir m_folder;
};

// The first line of every paragraph of the library report in the guide.
QStringList ReportHeads(const QString& guide)
{
    const qsizetype start = guide.indexOf(QStringLiteral("3. LIBRARY VERSIONS\r\n\r\n"));
    const qsizetype end = guide.indexOf(QStringLiteral("4. MANY THANKS TO"));
    if (start < 0 || end < start) return {QStringLiteral("no report")};
    const QString report = guide.mid(start + 23, end - start - 23);
    QStringList heads;
    for (const QString& paragraph : report.split(QStringLiteral("\r\n\r\n"), Qt::SkipEmptyParts))
        heads.append(paragraph.section(QStringLiteral("\r\n"), 0, 0));
    return heads;
}

const QString Missing = QStringLiteral(" or no version resource.");

} // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void LibraryReport_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("heads");
        const QStringList all{"Loading 'libengine.so'", "Loading 'libaes16.so'", "Loading 'libaes24.so'",
                              "Loading 'libaes32.so'",  "Loading 'libz.so.1'",  "Loading 'libbz2.so.1.0'"};
        QTest::newRow("every module present") << "" << all;
        QTest::newRow("aes24.dll missing")
            << "aes24.dll"
            << QStringList{all[0], all[1], "ERROR(-30): Unable to load 'libaes24.so'" + Missing, all[3], all[4], all[5]};
        QTest::newRow("aes32.dll missing ends the report")
            << "aes32.dll"
            << QStringList{all[0], all[1], all[2], "ERROR(-30): Unable to load 'libaes32.so'" + Missing};
    }
    void LibraryReport()
    {
        QFETCH(QString, removed);
        QFETCH(QStringList, heads);
        ModuleFolder folder;
        if (!removed.isEmpty()) QVERIFY(QFile::remove(folder.Path(removed.toLatin1().constData())));

        AboutBox box(nullptr);
        QCOMPARE(ReportHeads(box.GuideText()), heads);
        // The box shows the same guide, one line per line.
        auto* shown = box.findChild<QPlainTextEdit*>(QStringLiteral("1504"));
        QVERIFY(shown->isReadOnly());
        QCOMPARE(shown->toPlainText(), QString(box.GuideText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }

    void GuideSections()
    {
        const QString guide = AboutBox::Guide(QStringLiteral("REPORT\r\n\r\n"));
        QStringList order;
        for (const char* head : {"1. WHAT IS TESSARIN?", "2. PROGRAM CONSTRAINTS",
                                 "Max size for each processed file is fixed to 4Gbyte\r\n",
                                 "Max size for all processed files is fixed to 2TByte\r\n",
                                 "Max size for each path/filename is fixed to 1KByte\r\n",
                                 "Max length for each log line is fixed to 1KByte\r\n",
                                 "3. LIBRARY VERSIONS\r\n\r\nREPORT\r\n\r\n", "4. MANY THANKS TO", "5. LICENSE"}) {
            QVERIFY2(guide.contains(QString::fromUtf8(head)), head);
            order.append(QString::number(guide.indexOf(QString::fromUtf8(head))));
        }
        QStringList sorted = order;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
        QCOMPARE(order, sorted);
        QVERIFY(!guide.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    }

    void TitleAndLinks()
    {
        AboutBox box(QStringLiteral("REPORT\r\n\r\n"), nullptr);
        QCOMPARE(box.windowTitle(), QStringLiteral("About Tessarin"));
        auto* title = box.findChild<StyledLabel*>(QStringLiteral("1602"));
        QCOMPARE(title->text(), QStringLiteral("Tessarin v1.1 (build Jan 07 2003)"));
        QVERIFY(title->font().bold());
        QCOMPARE(title->font().pixelSize(), 13);
        QVERIFY(box.findChild<StyledLabel*>(QStringLiteral("1603"))->font().bold());
        QVERIFY(box.findChild<StyledLabel*>(QStringLiteral("1604"))->font().bold());
        for (const char* id : {"1600", "1601"}) {
            auto* link = box.findChild<StyledLabel*>(QString::fromLatin1(id));
            QVERIFY(link->IsLink());
            QVERIFY(link->font().underline());
            QCOMPARE(link->TextColor(), QColor(0, 0, 255));
            QVERIFY(StyledLabel::UrlFor(link->text()).scheme().startsWith(QStringLiteral("http")));
        }
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
