#pragma once
// The main window `fMain`: every control of the program, laid out as designed, a thin view over
// `Commands`. It turns clicks, drops and dialogs into commands and handles the window events;
// the core reports to it and asks it things through `WindowHost`, its jobs run through
// `JobRunner`, and the stream boxes and the XPL tab follow their models.

#include <QMargins>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "app/design_layout.h"
#include "app/job_runner.h"
#include "app/main_controls.h"
#include "app/open_file_dialog.h"
#include "app/playlist_view.h"
#include "app/stream_boxes.h"
#include "app/subpicture_choice.h"
#include "app/titles_view.h"
#include "app/window_host.h"
#include "jobs/commands.h"

namespace tarnwell {

inline constexpr int kDesignClientWidth = 362;
inline constexpr int kDesignClientHeight = 346;
inline constexpr int kMinimumOuterWidth = 370;
inline constexpr int kMinimumOuterHeight = 380;
inline constexpr int kDesignTreeWidth = 96;

class TfMain : public QWidget {
    Q_OBJECT
  public:
    explicit TfMain(QWidget* parent = nullptr);
    ~TfMain() override;

    Commands& commands() { return commands_; }
    // The core's report sink and host over this window's controls.
    WindowHost& host() { return host_; }
    JobRunner& jobs() { return jobs_; }
    // The Titles tab: the disc shown and the titles ticked.
    const TitlesView& titles() const { return titles_; }

    // Command handlers.
    void bCheckClick();
    void bDemuxClick();
    void bReadXPLClick();
    void bRebuildClick();
    void bCancelClick();
    // Make MKV on the Titles tab: the ticked titles of the disc shown, through `jobs().makeMkvJob`.
    void bMakeMkvClick();
    void bbEVOClick();
    void bbXPLClick();
    // Files dropped on the window, as local paths in drop order. A disc folder (one holding
    // HVDVD_TS, or HVDVD_TS or ADV_OBJ itself) first in the drop opens in the Titles tab.
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
    QCheckBox* streamBox(SlotKind kind, int n) const { return boxes_.box(kind, n); }

    // The two open-file dialogs.
    OpenFileDialog odEVOfile;
    OpenFileDialog odXPL;

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
    // The settings read and write the option controls and the geometry.
    friend void RegRead(TfMain& form);
    friend void RegWrite(TfMain& form);

    void createControls();
    void createStreamPage(QWidget* page, SlotKind kind);
    void createXplPage();
    void createOptionsPage();
    void setTabOrder();
    void bindCore();
    void showInputFields();
    // Opens the disc of a folder or playlist file in the Titles tab, or shows why it cannot.
    void showDiscOf(const QString& path);
    // The Titles tab's Make MKV job: the ticked titles by number into the output folder.
    void makeTitleMkvs(const disc::Disc& disc, std::vector<int> numbers);
    void updateMinimumSize();

    // Declared in the order they are built: the controls the host reads, the host the
    // commands report to, then what drives and follows the commands.
    MainControls ui_;
    WindowHost host_{*this, ui_};
    Commands commands_{host_, host_};
    JobRunner jobs_{*this, commands_, host_};
    StreamBoxes boxes_{commands_.selection()};
    PlaylistView playlistView_{commands_.playlist()};
    SubpictureChoice subpictureChoice_;
    TitlesView titles_;
    DesignLayout layout_{QSize(kDesignClientWidth, kDesignClientHeight)};
    bool shown_ = false;
    bool activated_ = false;
    int pendingTreeWidth_ = kDesignTreeWidth;
};

}  // namespace tarnwell
