#include "QtShellServices.h"

#include "BoxText.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace tessarin {

void QtShellServices::ShowMessage(QWidget* owner, Icon icon, const QString& title, const QString& text)
{
    ShowDetailedMessage(owner, icon, title, text, QString());
}

void QtShellServices::ShowDetailedMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                                          const QString& details)
{
    QMessageBox::Icon shown = QMessageBox::Information;
    switch (icon) {
    case Icon::Stop: shown = QMessageBox::Critical; break;
    case Icon::Exclamation: shown = QMessageBox::Warning; break;
    case Icon::Information: shown = QMessageBox::Information; break;
    }
    QMessageBox box(shown, title, QString(), QMessageBox::Ok, owner);
    // Details first: the text is fitted to the box as it will be laid out.
    if (!details.isEmpty()) box.setDetailedText(WithPlainLineEnds(details));
    SetFittingText(box, text);
    box.exec();
}

QString QtShellServices::ChooseSaveFile(QWidget* owner, const QString& title, const QString& initial)
{
    // Only a name is chosen here; the file is written by a later batch, so
    // an existing file is not a reason to ask.
    return QFileDialog::getSaveFileName(owner, title, initial, QString(), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void QtShellServices::OpenLogFile(QWidget* owner, const QString& path)
{
    if (!QFileInfo::exists(path)) {
        // A text editor would say so and offer an empty page; the desktop's
        // opener would fail silently, so say it here.
        ShowMessage(owner, Icon::Information, QStringLiteral("Tessarin"),
                    QStringLiteral("The log file '") + path + QStringLiteral("' does not exist yet."));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace tessarin
