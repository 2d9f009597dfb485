// Read XPL through the window: the sample disc's playlist fills the tree, the tag view and the
// stream captions; a missing or malformed playlist leaves the window usable.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/status_line.h"
#include "sample_playlist.h"
#include "window_test_support.h"

using namespace tarnwell;
using namespace tarnwell::testing;

namespace {

QStringList treeTexts(const QTreeWidget* tree) {
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        texts << item->text(0);
        for (int j = 0; j < item->childCount(); ++j) texts << "  " + item->child(j)->text(0);
    }
    return texts;
}

QStringList logLines(const TfMain& window) {
    return controlsOf(window).mMessage->toPlainText().split(QLatin1Char('\n'));
}

}  // namespace

class ReadXplTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        config_ = std::make_unique<ConfigFolder>();
        disc_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(disc_->path()).mkpath("ADV_OBJ"));
        QVERIFY(QDir(disc_->path()).mkpath("HVDVD_TS"));
    }
    void cleanup() {
        disc_.reset();
        config_.reset();
    }

    void sampleDiscPlaylist() {
        const QByteArray playlist = QByteArray::fromStdString(sample::samplePlaylist());
        writePlaylist(playlist);
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {disc_->path() + "/HVDVD_TS/FEATURE_1.EVO"}));
        QCOMPARE(ui.eXPLfile->text(), disc_->path() + "/ADV_OBJ/VPLST000.XPL");
        QVERIFY(ui.bReadXPL->isEnabled());

        ui.bReadXPL->click();
        QCOMPARE(w->errors, QStringList());
        QCOMPARE(ui.PageControl->currentWidget(), ui.tsXPL);
        QCOMPARE(
            treeTexts(ui.tvXPL),
            QStringList({"Info", "  Title: TARNWELL SAMPLE DISC", "  Name: Feature",
                         "  Duration: 00:00:40:00", "Video", "  H.264.stream.0", "Audio",
                         "  DD+.6ch.stream.00.English", "  LPCM.2ch.stream.01.Commentary",
                         "Subtitle", "  2bitRLC.stream.00.English", "  2bitRLC.stream.01.French",
                         "Chapter", "  00:00:00:00: Opening Titles", "  00:00:10:00: The Harbour",
                         "  00:00:18:12: Night Crossing", "  00:00:24:00: Second Reel",
                         "  00:00:30:00: Homecoming", "  00:00:36:00: End Credits"}));

        // The tag view holds the one title that plays FEATURE_1, shown again after filling.
        QVERIFY(ui.mXPL->isVisibleTo(ui.tsXPL));
        const QStringList tags = ui.mXPL->toPlainText().split(QLatin1Char('\n'));
        QVERIFY(tags.front().contains("<Title id=\"FEATURE_TITLE\""));
        QVERIFY(tags.back().trimmed() == "</Title>");

        const struct {
            SlotKind kind;
            int n;
            const char* caption;
        } marked[] = {{SlotKind::Video, 0, "H.264.stream.0"},
                      {SlotKind::Audio, 0, "DD+.6ch.stream.00.English"},
                      {SlotKind::Audio, 1, "LPCM.2ch.stream.01.Commentary"},
                      {SlotKind::Subpicture, 0, "2bitRLC.stream.00.English"},
                      {SlotKind::Subpicture, 1, "2bitRLC.stream.01.French"}};
        for (const auto& m : marked) {
            QCheckBox* box = window.streamBox(m.kind, m.n);
            QCOMPARE(box->text(), QString::fromLatin1(m.caption));
            QVERIFY(box->isEnabled());
            QVERIFY(box->isChecked());
        }
        QCOMPARE(window.streamBox(SlotKind::Audio, 1)->toolTip(),
                 QStringLiteral("LPCM.2ch.stream.01.Commentary"));
        QVERIFY(!window.streamBox(SlotKind::Audio, 2)->isEnabled());
        QCOMPARE(window.streamBox(SlotKind::Audio, 2)->text(), QStringLiteral("No audio stream"));

        QCOMPARE(
            logLines(window),
            QStringList({"Open VPLST000.XPL",
                         QStringLiteral("Filesize: %1 bytes").arg(playlist.size()),
                         "H.264.stream.0 found!", "DD+.6ch.stream.00.English found!",
                         "LPCM.2ch.stream.01.Commentary found!", "2bitRLC.stream.00.English found!",
                         "2bitRLC.stream.01.French found!", "Done."}));
        QCOMPARE(ui.StatusBar->panelText(0), QStringLiteral(" Ready"));
        QCOMPARE(ui.StatusBar->panelText(1), QStringLiteral(" "));
        // Read XPL is enabled again; the boxes it ticked enable Demux.
        QCOMPARE(shownCommandStates(window), QList<bool>({true, true, true, true, false}));

        // A second read gives the same tree.
        const QStringList first = treeTexts(ui.tvXPL);
        ui.bReadXPL->click();
        QCOMPARE(treeTexts(ui.tvXPL), first);
    }

    void missingPlaylist() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {disc_->path() + "/HVDVD_TS/FEATURE_1.EVO"}));
        ui.bReadXPL->click();
        const QString path = disc_->path() + "/ADV_OBJ/VPLST000.XPL";
        QCOMPARE(w->errors,
                 QStringList({QStringLiteral("Cannot open file \"%1\". %2")
                                  .arg(path, QString::fromLocal8Bit(strerror(ENOENT)))}));
        // The button comes back; nothing is left running.
        QCOMPARE(shownCommandStates(window), QList<bool>({true, false, true, true, false}));
        QCOMPARE(ui.PageControl->currentWidget(), ui.tsXPL);
        QVERIFY(ui.mMessage->toPlainText().isEmpty());

        // The next command starts normally.
        writePlaylist(QByteArray::fromStdString(sample::samplePlaylist()));
        ui.bReadXPL->click();
        QCOMPARE(w->errors.size(), 1);
        QVERIFY(ui.mMessage->toPlainText().endsWith("Done."));
    }

    void badIndexInThePlaylist() {
        writePlaylist("<Playlist>\n<AudioAttributeItem index=\"x1\" codec=\"DD\"/>\n</Playlist>\n");
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {disc_->path() + "/HVDVD_TS/FEATURE_1.EVO"}));
        ui.bReadXPL->click();
        QCOMPARE(w->errors, QStringList({"'x1' is not a valid integer value"}));
        // The tag view, hidden while it filled, is shown again.
        QVERIFY(ui.mXPL->isVisibleTo(ui.tsXPL));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, false, true, true, false}));
    }

  private:
    void writePlaylist(const QByteArray& text) {
        QFile file(disc_->path() + "/ADV_OBJ/VPLST000.XPL");
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(text), text.size());
    }

    std::unique_ptr<ConfigFolder> config_;
    std::unique_ptr<QTemporaryDir> disc_;
};

QTEST_MAIN(ReadXplTest)
#include "read_xpl_test.moc"
