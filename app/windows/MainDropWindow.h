#pragma once
// The program's window "Tessarin": files and folders dropped on it run a
// batch with the direction and the password pair it holds. A left drag
// anywhere moves it, it snaps to the screen edges, a double click shrinks
// it to a 46×46 square without caption and back, a right click opens the
// program's menu. It carries the settings: loaded before it exists, saved
// with its rectangle and zoom state when it is destroyed.
#include "application/AppSettings.h"
#include "application/MainMenu.h"
#include "application/WindowGeometry.h"

#include <QDialog>
#include <QPoint>
#include <QSize>
#include <QStringList>

#include <QElapsedTimer>

#include <memory>
#include <optional>

class QButtonGroup;
class QLineEdit;
class QMenu;
class QTimer;

namespace tessarin {

class ContextHelp;
class DropBatch;
class ShellServices;

class MainDropWindow : public QDialog {
    Q_OBJECT
public:
    // Menu commands, in the order of the menu.
    enum Command {
        OpenLogCommand = MainMenu::OpenLogCommand,
        SettingsCommand = MainMenu::SettingsCommand,
        ZoomCommand = MainMenu::ZoomCommand,
        MinimizeCommand = MainMenu::MinimizeCommand,
        AboutCommand = MainMenu::AboutCommand,
        ExitCommand = MainMenu::ExitCommand,
    };
    static constexpr int ZoomedSide = WindowGeometry::ZoomedSide;
    static constexpr int SnapDistance = WindowGeometry::SnapDistance;

    MainDropWindow(DropBatch& batch, ShellServices& shell, QWidget* parent = nullptr);
    ~MainDropWindow() override;
    MainDropWindow(const MainDropWindow&) = delete;
    MainDropWindow& operator=(const MainDropWindow&) = delete;

    // Shows the window and runs until it is closed (Exit, Enter, Escape or
    // the window's close button); returns the dialog's result. Unlike
    // exec(), a window hidden for a moment to change its frame (zoom, stay
    // on top) does not end the run.
    int RunUntilClosed();

    const AppSettings& Settings() const { return m_settings; }
    bool IsZoomed() const { return m_settings.zoomedIn != 0; }
    QSize FullSize() const { return m_fullSize; }
    ContextHelp* Help() const { return m_help; }

    // The pop-up menu, its actions named by their command numbers.
    std::unique_ptr<QMenu> CreatePopupMenu();
    void RunCommand(int command);
    void ToggleZoom();
    // Moves the window onto a screen edge it is closer to than 16 pixels.
    void SnapToEdges();
    // Starts the batch over names as a drop does.
    void RunBatch(const QStringList& names);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void ApplyWindowFlags();
    void PlaceAtStoredRect();
    // Puts the window's frame at at and keeps it there while the window
    // manager settles a new native window (its frame is known only some
    // time after it is shown).
    QRect VisibleFrame() const;
    void MoveFrameTo(const QPoint& at);
    void KeepFrameAt(const QPoint& at);
    void HoldFrame();
    void OpenSettings();
    void OpenAbout();
    void SaveSettings();

    DropBatch& m_batch;
    ShellServices& m_shell;
    AppSettings m_settings;
    QString m_password;
    QString m_confirmation;
    QSize m_fullSize;
    QWidget* m_content = nullptr;
    QButtonGroup* m_direction = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QLineEdit* m_confirmationEdit = nullptr;
    ContextHelp* m_help = nullptr;
    QStringList m_pendingDrop;
    bool m_batchRunning = false;
    bool m_pressed = false;          // left button down in the window
    bool m_manualMove = false;       // moving by hand: the window system could not
    QPoint m_pressOffset;            // mouse position within the frame at the press
    std::optional<QPoint> m_frameTarget;  // where the frame must be, while it settles
    QTimer* m_settle = nullptr;      // checks the frame while it settles
    QElapsedTimer m_settling;        // since the frame was last put in place
    int m_settledChecks = 0;         // checks in a row that found the frame in place
    QTimer* m_snapAfterMove = nullptr;  // snaps once the window stops moving
};

} // namespace tessarin
