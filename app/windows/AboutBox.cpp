#include "AboutBox.h"

#include "ProgramIcon.h"
#include "StyledLabel.h"
#include "VersionReportSource.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessarin {
namespace {

constexpr int kPictureSide = 64;

const char* const kWhatIs =
    "1. WHAT IS TESSARIN?\r\n"
    "\r\n"
    "Tessarin encrypts and decrypts your files in place. Drag and drop files "
    "or folders on its window (or name them to the command line companion "
    "'tessarin') and every file found is encrypted with the Rijndael (AES) "
    "cipher, with keys of 128 to 256 bits, in one of three modes: Electronic "
    "Code Book (ECB), Cipher Block Chaining (CBC) or Cipher Feedback Block "
    "(CFB), with blocks of 128 to 256 bits. On request the data is "
    "compressed with gzip or bzip2 before it is encrypted. A file that was "
    "encrypted before is recognised and decrypted back.\r\n"
    "\r\n"
    "What it protects: your files stay confidential against anyone who does "
    "not know the password, if the password is long and the mode is CBC or "
    "CFB. The container format is fixed for compatibility, and it has limits: "
    "the key is made from the password's bytes without salt or a slow key "
    "derivation, so a short password falls to guessing; the CRC-32 detects "
    "damage, not tampering; ECB shows repeated blocks; the initial chaining "
    "value comes from the same password bytes and is the same for every "
    "file, so only a few random filler bytes make two containers of the "
    "same data differ. If you need protection against tampering or password "
    "guessing, use a format built for authenticated encryption, such as age "
    "or OpenPGP.\r\n"
    "\r\n"
    "2. PROGRAM CONSTRAINTS\r\n"
    "\r\n"
    "Max size for each processed file is fixed to 4Gbyte\r\n"
    "Max size for all processed files is fixed to 2TByte\r\n"
    "Max size for each path/filename is fixed to 1KByte\r\n"
    "Max length for each log line is fixed to 1KByte\r\n"
    "\r\n";

const char* const kThanksAndLicense =
    "4. MANY THANKS TO\r\n"
    "\r\n"
    "Joan Daemen and Vincent Rijmen, who designed the Rijndael cipher and "
    "published it for everyone's use.\r\n"
    "The authors of the published descriptions of table-driven Rijndael, on "
    "which the cipher modules of this program are built.\r\n"
    "Jean-loup Gailly and Mark Adler for the zlib library.\r\n"
    "Julian Seward for the bzip2 library.\r\n"
    "The writers of the articles whose techniques this program uses: "
    "table-driven CRC-32, progress windows that stay responsive, hyperlink "
    "labels and windows that snap to the screen edges.\r\n"
    "\r\n"
    "5. LICENSE\r\n"
    "\r\n"
    "Tessarin is free of charge. You may use it, copy it and give it to "
    "others, changed or unchanged, provided this notice goes with it. It "
    "comes without any warranty: keep copies of files that matter to you, "
    "and remember that a file encrypted with a forgotten password cannot be "
    "recovered by anyone.\r\n";

} // namespace

QString AboutBox::Guide(const QString& versionReport)
{
    return QString::fromUtf8(kWhatIs) + QStringLiteral("3. LIBRARY VERSIONS\r\n\r\n") + versionReport +
           QString::fromUtf8(kThanksAndLicense);
}

AboutBox::AboutBox(QWidget* parent) : AboutBox(VersionReportSource::Current(), parent) {}

AboutBox::AboutBox(const QString& versionReport, QWidget* parent)
    : QDialog(parent), m_guide(Guide(versionReport))
{
    setObjectName(QStringLiteral("500"));
    setWindowTitle(QStringLiteral("About Tessarin"));
    setWindowIcon(ProgramIcon::Icon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("800"));
    picture->setPixmap(ProgramIcon::Pixmap(kPictureSide, devicePixelRatioF()));
    picture->setFixedSize(kPictureSide, kPictureSide);

    auto* title = new StyledLabel(QStringLiteral("Tessarin v1.1 (build Jan 07 2003)"), this);
    title->setObjectName(QStringLiteral("1602"));
    title->SetFontName(QStringLiteral("arial")).SetFontSize(13).SetBold(true);
    auto* edition = new QLabel(QStringLiteral("Free edition for personal and professional use."), this);
    edition->setObjectName(QStringLiteral("1605"));

    const QCursor hand(Qt::PointingHandCursor);
    auto* homeLink = new StyledLabel(QStringLiteral("https://www.quenby-software.example/tessarin/"), this);
    homeLink->setObjectName(QStringLiteral("1600"));
    auto* mirrorLink = new StyledLabel(QStringLiteral("https://tessarin.example.org/"), this);
    mirrorLink->setObjectName(QStringLiteral("1601"));
    for (StyledLabel* link : {homeLink, mirrorLink}) {
        link->SetFontName(QStringLiteral("arial")).SetTextColor(QColor(0, 0, 255)).SetUnderline(true);
        link->SetLinkCursor(hand).SetLink(true);
    }

    auto* heading = new StyledLabel(QStringLiteral("General Information:"), this);
    heading->setObjectName(QStringLiteral("1603"));
    heading->SetBold(true);

    auto* guide = new QPlainTextEdit(this);
    guide->setObjectName(QStringLiteral("1504"));
    guide->setReadOnly(true);
    guide->setPlainText(QString(m_guide).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    guide->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    const int lineHeight = guide->fontMetrics().lineSpacing();
    guide->setMinimumSize(guide->fontMetrics().averageCharWidth() * 62, lineHeight * 18);

    auto* disclaimer = new StyledLabel(
        QStringLiteral("This program is provided \"as is\", without warranty of any kind. "
                       "You use it at your own risk."),
        this);
    disclaimer->setObjectName(QStringLiteral("1604"));
    disclaimer->SetBold(true);
    disclaimer->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* heads = new QVBoxLayout;
    heads->setSpacing(2);
    heads->addWidget(title);
    heads->addWidget(edition);
    heads->addSpacing(4);
    heads->addWidget(homeLink);
    heads->addWidget(mirrorLink);
    heads->addStretch(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(heads, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(disclaimer, 1);
    bottom->addWidget(ok, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addWidget(heading);
    layout->addWidget(guide, 1);
    layout->addLayout(bottom);
    ok->setFocus();
}

} // namespace tessarin
