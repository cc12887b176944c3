#include "AboutBox.h"

#include "application/AboutGuide.h"

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

QString Text(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

QString AboutBox::Guide(const QString& versionReport)
{
    return QString::fromUtf8(AboutGuide::Text(versionReport.toUtf8().toStdString()));
}

AboutBox::AboutBox(QWidget* parent) : AboutBox(VersionReportSource::Current(), parent) {}

AboutBox::AboutBox(const QString& versionReport, QWidget* parent)
    : QDialog(parent), m_guide(Guide(versionReport))
{
    setObjectName(QStringLiteral("500"));
    setWindowTitle(Text(AboutGuide::Caption));
    setWindowIcon(ProgramIcon::Icon());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("800"));
    picture->setPixmap(ProgramIcon::Pixmap(kPictureSide, devicePixelRatioF()));
    picture->setFixedSize(kPictureSide, kPictureSide);

    auto* title = new StyledLabel(Text(AboutGuide::Title), this);
    title->setObjectName(QStringLiteral("1602"));
    title->SetFontName(QStringLiteral("arial")).SetFontSize(13).SetBold(true);
    auto* edition = new QLabel(Text(AboutGuide::Edition), this);
    edition->setObjectName(QStringLiteral("1605"));

    const QCursor hand(Qt::PointingHandCursor);
    auto* homeLink = new StyledLabel(Text(AboutGuide::HomeLink), this);
    homeLink->setObjectName(QStringLiteral("1600"));
    auto* mirrorLink = new StyledLabel(Text(AboutGuide::MirrorLink), this);
    mirrorLink->setObjectName(QStringLiteral("1601"));
    for (StyledLabel* link : {homeLink, mirrorLink}) {
        link->SetFontName(QStringLiteral("arial")).SetTextColor(QColor(0, 0, 255)).SetUnderline(true);
        link->SetLinkCursor(hand).SetLink(true);
    }

    auto* heading = new StyledLabel(Text(AboutGuide::Heading), this);
    heading->setObjectName(QStringLiteral("1603"));
    heading->SetBold(true);

    auto* guide = new QPlainTextEdit(this);
    guide->setObjectName(QStringLiteral("1504"));
    guide->setReadOnly(true);
    guide->setPlainText(QString(m_guide).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    guide->setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    const int lineHeight = guide->fontMetrics().lineSpacing();
    guide->setMinimumSize(guide->fontMetrics().averageCharWidth() * 62, lineHeight * 18);

    auto* disclaimer = new StyledLabel(Text(AboutGuide::Disclaimer), this);
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
