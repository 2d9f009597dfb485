#pragma once
// The main window `fMain`: every control of the program, a thin view over `Commands`. It is the
// core's report sink (message log and status line) and its host (event processing, repaint,
// command buttons, tab page, options, the Cancel question, the clock), mirrors the stream
// selection and the playlist views, and turns clicks, drops and dialogs into commands.

#include <QMargins>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "app/design_layout.h"
#include "app/open_file_dialog.h"
#include "engine/report_sink.h"
#include "jobs/commands.h"
#include "jobs/host.h"
#include "playlist/playlist_state.h"
#include "selection/stream_selection.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;

namespace tarnwell {

class StatusLine;

inline constexpr int kDesignClientWidth = 362;
inline constexpr int kDesignClientHeight = 346;
inline constexpr int kMinimumOuterWidth = 370;
inline constexpr int kMinimumOuterHeight = 380;
inline constexpr int kDesignTreeWidth = 96;

class TfMain : public QWidget,
               public ReportSink,
               public Host,
               private SelectionObserver,
               private PlaylistObserver {
    Q_OBJECT
  public:
    explicit TfMain(QWidget* parent = nullptr);
    ~TfMain() override;

    Commands& commands() { return *commands_; }

    // ReportSink: the message log and the status line.
    void log(std::string_view text) override;
    void slog(std::string_view text, std::uint8_t panel) override;

    // Host.
    void processEvents() override;
    void repaint() override;
    void setCommandEnabled(Command command, bool enabled) override;
    void showPage(int index) override;
    bool isOptionChecked(Option option) const override;
    std::string optionText(TextOption option) const override;
    bool confirm(std::string_view question) override;
    double now() const override;

    // Command handlers.
    void bCheckClick();
    void bDemuxClick();
    void bReadXPLClick();
    void bRebuildClick();
    void bCancelClick();
    void bbEVOClick();
    void bbXPLClick();
    // Files dropped on the window, as local paths in drop order.
    void WMDropFiles(const QStringList& files);

    // Window events.
    void FormShow();
    void FormActivate();
    void FormClose();
    void FormResize();

    // The logo's left edge for an outer window width.
    static int logoLeft(int outerWidth);

    // Outer geometry (with the window frame), as the settings store it.
    QMargins frameMargins() const;
    int outerWidth() const;
    int outerHeight() const;
    void setOuterWidth(int width);
    void setOuterHeight(int height);
    int treeWidth() const;
    void setTreeWidth(int width);

    // The stream check box of a slot.
    QCheckBox* streamBox(SlotKind kind, int n) const;
    // The logical enabled state the core last set, whatever the button shows during a job.
    bool commandEnabled(Command command) const { return commandEnabled_[index(command)]; }
    QPushButton* commandButton(Command command) const;

    // Replace the modal boxes in tests: the Cancel question (true for Yes) and the error box.
    std::function<bool(const QString&)> confirmHook;
    std::function<void(const QString&)> errorHook;

    // The two open-file dialogs.
    OpenFileDialog odEVOfile;
    OpenFileDialog odXPL;

    // Controls, named as in the design.
    QLineEdit* eEVOfile;
    QToolButton* bbEVO;
    QPushButton* bCheck;
    QLineEdit* eXPLfile;
    QToolButton* bbXPL;
    QPushButton* bReadXPL;
    QTabWidget* PageControl;
    QWidget* tsStatus;
    QPlainTextEdit* mMessage;
    QWidget* tsVideo;
    QWidget* tsAudio;
    QWidget* tsSubpicture;
    QWidget* tsXPL;
    QSplitter* splXPL;
    QTreeWidget* tvXPL;
    QPlainTextEdit* mXPL;
    QWidget* tsOption;
    QGroupBox* gbFile;
    QLabel* lVideoExt;
    QLineEdit* eVideoExt;
    QLineEdit* eAudioExt;
    QLineEdit* eSubExt;
    QLabel* lWorkdir;
    QLineEdit* eWorkdir;
    QCheckBox* cbContinue;
    QCheckBox* cbFastCheck;
    QCheckBox* cbCountFr;
    QPushButton* bDemux;
    QPushButton* bRebuild;
    QLabel* imLogo;
    QPushButton* bCancel;
    StatusLine* StatusBar;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    static constexpr int index(Command command) { return static_cast<int>(command); }

    void createControls();
    void createStreamPage(QWidget* page, SlotKind kind);
    void createXplPage();
    void createOptionsPage();
    void setTabOrder();
    void bindCore();

    // SelectionObserver: the check boxes follow their slots.
    void slotChanged(SlotKind kind, int n, SlotField field) override;
    void showSlot(SlotKind kind, int n);
    // PlaylistObserver: the tag view and the tree follow the playlist state.
    void tagLinesCleared() override;
    void tagLineAdded(const std::string& line) override;
    void tagViewVisible(bool visible) override;
    void treeChanged() override;

    void showInputFields();
    void applyCommandStates();
    template <typename Job>
    void runJob(Command own, Job&& job);
    void restoreAfterError(Command own);
    void showError(const QString& text);
    void updateMinimumSize();

    std::unique_ptr<Commands> commands_;
    DesignLayout layout_{QSize(kDesignClientWidth, kDesignClientHeight)};
    std::array<bool, kCommandCount> commandEnabled_{false, false, false, true, false};
    std::array<std::array<QCheckBox*, 16>, 3> streamBoxes_{};
    bool jobActive_ = false;
    bool closePending_ = false;
    bool shown_ = false;
    bool activated_ = false;
    bool logStarted_ = false;
    int pendingTreeWidth_ = kDesignTreeWidth;
    QStringList pendingTagLines_;
};

}  // namespace tarnwell
