// The jobs driven through the real window on the sample disc: Read EVO, Demux, Cancel in both,
// a second job refused while one runs, an error leaving the window usable, and a close while
// a job runs.

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/settings.h"
#include "app/status_line.h"
#include "window_test_support.h"

using namespace tarnwell;
using namespace tarnwell::testing;

namespace {

QStringList logLines(const TfMain& window) {
    return controlsOf(window).mMessage->toPlainText().split(QLatin1Char('\n'));
}

// Runs `action` once at every progress step of a running job, from the event processing the
// job lets run there. A step is told apart from the next by its progress text.
class AtEachProgressStep : public QObject {
  public:
    AtEachProgressStep(TfMain& window, std::function<void(int step)> action)
        : window_(window), action_(std::move(action)) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            const QString progress = controlsOf(window_).StatusBar->panelText(1);
            if (!window_.commands().jobRunning() || progress == last_) return;
            last_ = progress;
            action_(steps++);
        });
        timer_.start(0);
    }
    int steps = 0;

  private:
    TfMain& window_;
    std::function<void(int)> action_;
    QTimer timer_;
    QString last_;
};

}  // namespace

class JobsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(disc_.isValid());
        const QString tool = qEnvironmentVariable("TARNWELL_BIN") + "/tarnwell-sample";
        QVERIFY2(QFileInfo(tool).isExecutable(), qPrintable(tool));
        QCOMPARE(QProcess::execute(tool, {disc_.path()}), 0);
        feature1_ = disc_.path() + "/HVDVD_TS/FEATURE_1.EVO";
        QVERIFY(QFileInfo(feature1_).size() > 4 * 1048576);
    }

    void init() {
        config_ = std::make_unique<ConfigFolder>();
        out_ = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        out_.reset();
        config_.reset();
    }

    void readEvoFillsTheBoxes() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.PageControl->setCurrentWidget(ui.tsOption);
        QList<QList<bool>> statesDuringTheJob;
        AtEachProgressStep watch(window,
                                 [&](int) { statesDuringTheJob << shownCommandStates(window); });
        ui.bCheck->click();
        QCOMPARE(w->errors, QStringList());

        // Only Cancel can act while the job runs.
        QCOMPARE(statesDuringTheJob, QList<QList<bool>>({{false, false, false, false, true}}));
        QCOMPARE(ui.PageControl->currentWidget(), ui.tsStatus);
        const struct {
            SlotKind kind;
            int n;
            const char* caption;
        } found[] = {{SlotKind::Video, 0, "H.264.stream.0"},
                     {SlotKind::Audio, 0, "DD+.stream.00"},
                     {SlotKind::Audio, 1, "LPCM.stream.01"},
                     {SlotKind::Subpicture, 0, "Subpicture.00"},
                     {SlotKind::Subpicture, 1, "Subpicture.01"}};
        for (const auto& f : found) {
            QCheckBox* box = window.streamBox(f.kind, f.n);
            QCOMPARE(box->text(), QString::fromLatin1(f.caption));
            QVERIFY(box->isEnabled());
            QVERIFY(box->isChecked());
        }
        QVERIFY(!window.streamBox(SlotKind::Video, 1)->isEnabled());
        QCOMPARE(window.streamBox(SlotKind::Audio, 2)->text(), QStringLiteral("No audio stream"));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));

        const QStringList lines = logLines(window);
        QCOMPARE(lines.front(), QStringLiteral("Opening file FEATURE_1.EVO"));
        QVERIFY(lines.contains(QStringLiteral("Done.")));
        QVERIFY(lines.back().endsWith(QStringLiteral(" frames count in video stream 0.")));
        QCOMPARE(ui.StatusBar->panelText(0), QStringLiteral(" Ready"));
        QCOMPARE(ui.StatusBar->panelText(1), QStringLiteral(" "));

        // Unticking every found stream disables Demux, the last one doing it.
        ui.PageControl->setCurrentWidget(ui.tsAudio);
        for (const auto& f : found) {
            QVERIFY(ui.bDemux->isEnabled());
            window.streamBox(f.kind, f.n)->click();
        }
        QVERIFY(!ui.bDemux->isEnabled());
        window.streamBox(SlotKind::Audio, 1)->click();
        QVERIFY(ui.bDemux->isEnabled());
    }

    void demuxWritesTheFiles() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.bCheck->click();
        window.streamBox(SlotKind::Subpicture, 1)->click();
        ui.eWorkdir->setText(out_->path() + "/");
        ui.bDemux->click();
        QCOMPARE(w->errors, QStringList());

        QStringList files = QDir(out_->path()).entryList(QDir::Files);
        files.sort();
        QCOMPARE(files,
                 QStringList({"FEATURE_1_2.DD+.stream.00.mpa", "FEATURE_1_2.H.264.stream.0.mpv",
                              "FEATURE_1_2.LPCM.stream.01.mpa", "FEATURE_1_2.Subpicture.00.pts",
                              "FEATURE_1_2.Subpicture.00.sup"}));
        for (const auto& file : files)
            QVERIFY2(QFileInfo(out_->path() + "/" + file).size() > 0, qPrintable(file));
        const QStringList lines = logLines(window);
        QVERIFY(lines.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QVERIFY(lines.contains(QStringLiteral("Creating ") + out_->path() +
                               "/FEATURE_1_2.H.264.stream.0.mpv"));
        QVERIFY(lines.back().endsWith(QStringLiteral(" frames count in video stream 0.")));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));
        assertFilesClosed(window);
    }

    void cancelDuringReadAsksNothing() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        AtEachProgressStep cancel(window, [&](int) { ui.bCancel->click(); });
        ui.bCheck->click();
        QCOMPARE(cancel.steps, 1);
        QVERIFY(w->questions.isEmpty());
        const QStringList lines = logLines(window);
        QCOMPARE(lines.back(), QStringLiteral("Done."));
        // What was found before the stop is offered.
        QVERIFY(window.streamBox(SlotKind::Video, 0)->isChecked());
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));
    }

    void cancelDuringDemuxAsksFirst() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.bCheck->click();
        ui.eWorkdir->setText(out_->path() + "/");
        // First question answered No: the demux goes on into the second file; then Yes.
        window.host().confirmHook = [&](const QString& question) {
            w->questions << question;
            return w->questions.size() == 2;
        };
        AtEachProgressStep cancel(window, [&](int) { ui.bCancel->click(); });
        ui.bDemux->click();
        QCOMPARE(w->questions,
                 QStringList({"Are you sure to stop demuxing?", "Are you sure to stop demuxing?"}));
        const QStringList lines = logLines(window);
        QVERIFY(lines.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QCOMPARE(lines.back(), QStringLiteral("Done."));
        QVERIFY(window.commands().state().CancelRequested);
        QVERIFY(QFileInfo(out_->path() + "/FEATURE_1_2.H.264.stream.0.mpv").size() > 0);
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));
        assertFilesClosed(window);
    }

    void secondJobIsRefusedWhileOneRuns() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.bCheck->click();
        const int linesAfterRead = logLines(window).size();
        ui.eWorkdir->setText(out_->path() + "/");
        // A second Read EVO started from the event processing of a Demux does nothing.
        AtEachProgressStep second(window, [&](int) {
            window.bCheckClick();
            window.bReadXPLClick();
            window.bRebuildClick();
        });
        ui.bDemux->click();
        QVERIFY(second.steps >= 1);
        QCOMPARE(w->errors, QStringList());
        const QStringList lines = logLines(window).mid(linesAfterRead);
        QCOMPARE(lines.count(QStringLiteral("Done.")), 1);
        QVERIFY(!lines.contains(QStringLiteral("Open VPLST000.XPL")));
        QVERIFY(!QFileInfo::exists(out_->path() + "/FEATURE_1.rebuilt.EVO"));
        QVERIFY(!QFileInfo::exists(disc_.path() + "/HVDVD_TS/FEATURE_1.rebuilt.EVO"));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));
    }

    void errorInACommandLeavesTheWindowUsable() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        const QString missing = disc_.path() + "/HVDVD_TS/MISSING.EVO";
        QVERIFY(dropFiles(window, {missing}));
        window.jobs().errorHook = nullptr;
        ModalBoxAnswer box(QStringLiteral("OK"));
        ui.bCheck->click();
        QVERIFY(box.answered);
        QCOMPARE(box.text, QStringLiteral("Cannot open file \"%1\". %2")
                               .arg(missing, QString::fromLocal8Bit(strerror(ENOENT))));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.title, QStringLiteral("HD DVD Tarnwell"));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, false, true, true, false}));

        // The next command starts normally.
        QVERIFY(dropFiles(window, {feature1_}));
        window.jobs().errorHook = [&](const QString& text) { w->errors << text; };
        ui.bCheck->click();
        QCOMPARE(w->errors, QStringList());
        QVERIFY(ui.bDemux->isEnabled());
    }

    void demuxErrorRestoresItsButton() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.bCheck->click();
        ui.eWorkdir->setText(out_->path() + "/no such folder/");
        ui.bDemux->click();
        QCOMPARE(w->errors.size(), 1);
        QVERIFY(w->errors.front().startsWith(QStringLiteral("Cannot create file \"")));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));
        assertFilesClosed(window);
    }

    void closingWhileAJobRuns() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.bCheck->click();
        ui.eWorkdir->setText(out_->path() + "/");
        bool closedAtOnce = true;
        AtEachProgressStep closer(window, [&](int) { closedAtOnce = window.close(); });
        ui.bDemux->click();
        // The close waited for the job, which stopped without a question and closed its files.
        QVERIFY(!closedAtOnce);
        QCOMPARE(closer.steps, 1);
        QVERIFY(w->questions.isEmpty());
        QVERIFY(!window.isVisible());
        QVERIFY(!logLines(window).contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        assertFilesClosed(window);
        QSettings store(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
        QCOMPARE(store.value("Workdir").toString(), out_->path() + "/");
    }

    void rebuildThroughTheWindow() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.bCheck->click();
        window.streamBox(SlotKind::Subpicture, 1)->click();
        ui.eWorkdir->setText(out_->path());
        ui.PageControl->setCurrentWidget(ui.tsOption);
        ui.bRebuild->click();
        QCOMPARE(w->errors, QStringList());
        QCOMPARE(ui.PageControl->currentWidget(), ui.tsStatus);
        const QFileInfo rebuilt(out_->path() + "/FEATURE_1_2.rebuilt.EVO");
        QVERIFY(rebuilt.size() > QFileInfo(feature1_).size());
        const QStringList lines = logLines(window);
        QVERIFY(lines.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QCOMPARE(lines.back(), QStringLiteral("Done."));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));
        assertFilesClosed(window);
    }

    void cancelDuringRebuildAsksFirst() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {feature1_}));
        ui.eWorkdir->setText(out_->path() + "/");
        w->answer = true;
        AtEachProgressStep cancel(window, [&](int) { ui.bCancel->click(); });
        ui.bRebuild->click();
        QCOMPARE(w->questions, QStringList({"Are you sure to stop demuxing?"}));
        const QStringList lines = logLines(window);
        QVERIFY(!lines.contains(QStringLiteral("Continue on FEATURE_2.EVO")));
        QCOMPARE(lines.back(), QStringLiteral("Done."));
        QVERIFY(QFileInfo(out_->path() + "/FEATURE_1_2.rebuilt.EVO").size() > 0);
        assertFilesClosed(window);
    }

    void rebuildWithoutAnInputGetsItsButtonBack() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(ui.bRebuild->isEnabled());
        ui.bRebuild->click();
        QCOMPARE(w->errors.size(), 1);
        QVERIFY(w->errors.front().startsWith(QStringLiteral("Cannot open file \"")));
        QCOMPARE(shownCommandStates(window), QList<bool>({false, false, false, true, false}));
        assertFilesClosed(window);
    }

  private:
    static void assertFilesClosed(TfMain& window) {
        auto& state = window.commands().state();
        QVERIFY(!state.InFile.isOpen());
        for (const auto& file : state.VideoOut) QVERIFY(!file.isOpen());
        for (const auto& file : state.AudioOut) QVERIFY(!file.isOpen());
        for (const auto& file : state.SubOut) QVERIFY(!file.isOpen());
        for (const auto& file : state.SubPtsOut) QVERIFY(!file.isOpen());
        QVERIFY(!state.RebuildOut.isOpen());
    }

    QTemporaryDir disc_;
    QString feature1_;
    std::unique_ptr<ConfigFolder> config_;
    std::unique_ptr<QTemporaryDir> out_;
};

QTEST_MAIN(JobsTest)
#include "jobs_test.moc"
