#include "QtShellServices.h"

#include "BoxText.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace tessarin {
namespace {

// The value of key in section of a desktop file (a desktop entry, a list of
// default applications); empty when it is missing.
QString DesktopValue(const QString& path, const QString& section, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&file);
    bool inSection = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
        else if (inSection && line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

// Starts the application the user's defaults name for plain text on path,
// whether or not the file exists yet: an editor offers an empty page for a
// new one. The first list with a default wins, the user's own first.
bool StartTextEditor(const QString& path)
{
    QStringList lists = QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation, QStringLiteral("mimeapps.list"));
    lists += QStandardPaths::locateAll(QStandardPaths::ApplicationsLocation, QStringLiteral("mimeapps.list"));
    lists += QStandardPaths::locateAll(QStandardPaths::ApplicationsLocation, QStringLiteral("defaults.list"));
    for (const QString& list : lists) {
        const QString ids = DesktopValue(list, QStringLiteral("Default Applications"), QStringLiteral("text/plain"));
        for (const QString& id : ids.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
            QStringList command =
                QProcess::splitCommand(DesktopValue(entry, QStringLiteral("Desktop Entry"), QStringLiteral("Exec")));
            if (command.isEmpty()) continue;
            // Field codes: the file where one is asked for, the others dropped.
            bool given = false;
            QStringList arguments;
            for (const QString& word : command.mid(1)) {
                if (word == QLatin1String("%f") || word == QLatin1String("%F")) {
                    arguments << path, given = true;
                } else if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
                    arguments << QUrl::fromLocalFile(path).toString(), given = true;
                } else if (!(word.size() == 2 && word.startsWith(QLatin1Char('%')))) {
                    arguments << word;
                }
            }
            if (!given) arguments << path;
            if (QProcess::startDetached(command.front(), arguments)) return true;
        }
    }
    return false;
}

} // namespace

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
    if (QFileInfo::exists(path)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        return;
    }
    // The desktop's opener fails silently on a file that is not there; the
    // text editor opens it as a new page.
    if (StartTextEditor(path)) return;
    ShowMessage(owner, Icon::Information, QStringLiteral("Tessarin"),
                QStringLiteral("The log file '") + path + QStringLiteral("' does not exist yet."));
}

} // namespace tessarin
