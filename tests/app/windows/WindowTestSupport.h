#pragma once
// Helpers of the window tests: a shell that records instead of opening
// boxes, and a private settings folder for each test program.
#include "ShellServices.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// Points every QSettings of this process at a fresh temporary folder for as
// long as the object lives.
class PrivateSettings {
public:
    PrivateSettings();
    ~PrivateSettings();
    PrivateSettings(const PrivateSettings&) = delete;
    PrivateSettings& operator=(const PrivateSettings&) = delete;

    QString Folder() const { return m_folder.path(); }
    // Removes everything stored so far.
    void Clear();

private:
    QTemporaryDir m_folder;
};

} // namespace tessarin::test
