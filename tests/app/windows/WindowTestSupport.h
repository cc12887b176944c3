#pragma once
// Helpers of the window tests: a shell that records instead of opening
// boxes, and a private settings folder for each test program.
#include "ShellServices.h"
#include "application/AppSettings.h"

#include <QMessageBox>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

namespace tessarin::test {

class FakeShell : public ShellServices {
public:
    struct Message {
        Icon icon;
        QString title;
        QString text;
        QString details;  // empty for a box without "Show Details..."
    };

    void ShowMessage(QWidget*, Icon icon, const QString& title, const QString& text) override
    {
        m_messages.push_back({icon, title, text, QString()});
    }
    void ShowDetailedMessage(QWidget*, Icon icon, const QString& title, const QString& text,
                             const QString& details) override
    {
        m_messages.push_back({icon, title, text, details});
    }
    QString ChooseSaveFile(QWidget*, const QString&, const QString& initial) override
    {
        m_chooserStarts.push_back(initial);
        return m_chosen;
    }
    void OpenLogFile(QWidget*, const QString& path) override { m_opened.push_back(path); }

    void SetChosenFile(const QString& name) { m_chosen = name; }
    const std::vector<Message>& Messages() const { return m_messages; }
    const QStringList& Opened() const { return m_opened; }
    const QStringList& ChooserStarts() const { return m_chooserStarts; }
    void Clear()
    {
        m_messages.clear();
        m_opened.clear();
        m_chooserStarts.clear();
    }

private:
    std::vector<Message> m_messages;
    QStringList m_opened;
    QStringList m_chooserStarts;
    QString m_chosen;
};

// Points the user's configuration folder (XDG_CONFIG_HOME) at a folder of
// a fresh temporary folder, so that the settings store starts empty and no
// real user's settings are read or written.
class PrivateSettings {
public:
    PrivateSettings();
    ~PrivateSettings();
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;

    // The configuration folder in use.
    QString Folder() const { return m_current; }
    // Moves to a new, empty configuration folder: nothing stored so far is
    // seen any more (and no cached copy of the old store can answer).
    void Clear();

private:
    QTemporaryDir m_root;
    QByteArray m_saved;
    int m_generation = 0;
    QString m_current;
};

// The fields of two settings records that differ, by their stored names.
QStringList Differences(const AppSettings& a, const AppSettings& b);

// Runs action on the next modal dialog that opens (within a few seconds),
// so a test can drive a dialog that a window runs with exec().
void OnNextModal(std::function<void(QWidget* dialog)> action);

// What a test saw of a message box while it was up.
struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;     // as the user reads it: without break opportunities
    QString details;  // the "Show Details..." part; empty without one
    bool detailsButton = false;
    QStringList problems;  // LayoutProblems while it was up
};

// Each way in which a shown box does not show its text whole: a label
// shorter than its wrapped text, a word wider than the label, the label
// outside the box, the box outside the screen's available area.
QStringList LayoutProblems(const QMessageBox& box);

// Runs during; every message box that opens meanwhile is looked at,
// passed to look (if any) while it is up, and closed with OK.
std::vector<SeenBox> AnswerBoxes(const std::function<void()>& during,
                                 const std::function<void(QMessageBox&)>& look = {});

// Runs one batch over names on the program's window, as a drop does, with
// the direction radio (0 encrypting, 1 decrypting) and both password
// fields set, the real batch and the real message boxes, answered by
// AnswerBoxes. arrange (if any) places the window before the batch starts.
std::vector<SeenBox> RunThroughWindow(const QStringList& names, int direction, const QString& password,
                                      const std::function<void(QMessageBox&)>& look = {},
                                      const std::function<void(QWidget&)>& arrange = {});

} // namespace tessarin::test
