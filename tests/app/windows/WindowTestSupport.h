#pragma once
// Helpers of the window tests: a shell that records instead of opening
// boxes, and a private settings folder for each test program.
#include "ShellServices.h"
#include "application/AppSettings.h"

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
    };

    void ShowMessage(QWidget*, Icon icon, const QString& title, const QString& text) override
    {
        m_messages.push_back({icon, title, text});
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

} // namespace tessarin::test
