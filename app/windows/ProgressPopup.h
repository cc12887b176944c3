#pragma once
// The progress window of a batch: a caption with the percentage, four lines
// of status text, a bar and " Cancel ". It is a window of its own, kept on
// top of its owner; while it is modal the owner is disabled. Cancel, Escape
// or closing it set the break that the engine polls between chunks; pending
// events are dispatched each time the engine reports progress.
//
// Once cancelled or dismissed the popup is gone as a window and every
// operation does nothing, so a batch may keep calling it.
#include "application/ProgressDisplay.h"
#include "application/ProgressMeter.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace tessarin {

class ShellServices;

class ProgressPopup : public QWidget, public ProgressDisplay {
    Q_OBJECT
public:
    static constexpr int DefaultLines = 4;
    static constexpr int DefaultWidth = 390;
    static constexpr int MaxStatusText = 511;

    // Creates and shows the window. owner (may be null) is the window that
    // is disabled while the popup is modal; shell shows the boxes.
    ProgressPopup(QWidget* owner, ShellServices& shell, const QString& title, bool smooth);
    ~ProgressPopup() override;
    ProgressPopup(const ProgressPopup&) = delete;
    ProgressPopup& operator=(const ProgressPopup&) = delete;

    bool BeginModal(const QString& title, bool smooth);
    void SetStatusText(const QString& text);
    void LayoutControls(int lines, int width);
    void CenterOverOwner();
    // Both return the position the bar then has.
    int SetPos(int position);
    void ShowPopup();
    void HidePopup();
    void PumpMessages(bool escapeCancels);
    void RequestCancel();
    void RestorePosition();
    void SavePosition();

    // The display of a batch.
    void SetRange(int lower, int upper, int step) override;
    void SetStatusText(const std::string& text) override;
    int OffsetPos(int amount) override;
    void PumpEvents(bool escapeCancels) override { PumpMessages(escapeCancels); }
    // Cancel, or the program told to quit.
    bool IsCancelled() const override;
    void ShowMessage(const std::string& text, const std::string& title, BoxIcon icon) override;
    void ShowDetailedMessage(const std::string& text, const std::string& title, BoxIcon icon,
                             const std::string& details) override;
    void Dismiss() override;

    bool IsModal() const { return m_modal; }
    bool IsAlive() const { return m_alive; }
    int Position() const { return m_meter.GetPos(); }
    QString Title() const { return m_title; }
    QString StatusText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool Create(const QString& title, bool smooth);
    void Destroy();

    QPointer<QWidget> m_owner;
    ShellServices& m_shell;
    ProgressMeter m_meter;
    bool m_cancelled = false;
    bool m_modal = false;
    bool m_persistent = true;
    bool m_alive = false;
    bool m_escapeCancels = true;
    int m_lines = DefaultLines;
    QString m_title = QStringLiteral("Progress");
    const QString m_cancelLabel = QStringLiteral(" Cancel ");
    QString m_fullText;

    QVBoxLayout* m_layout = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace tessarin
