// The Titles tab: a dropped disc folder and Read XPL list every title of the playlist with the
// longest complete one ticked; a playlist that is no XML shows its error in the tab alone.
// Make MKV writes the ticked titles with the real mkvmerge (skipped without it).

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "support/title_disc.h"
#include "window_test_support.h"

using namespace tarnwell;
using namespace tarnwell::testing;

namespace {

QStringList rowsOf(const TfMain& window) {
    const auto* list = window.findChild<QTreeWidget*>(QStringLiteral("tvTitles"));
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        QStringList cells{item->checkState(0) == Qt::Checked ? "[x]" : "[ ]"};
        for (int column = 0; column < list->columnCount(); ++column) cells << item->text(column);
        rows << cells.join(" / ");
    }
    return rows;
}

// What the EVO and playlist fields, the stream boxes and the command buttons show.
QStringList evoTabState(const StartedWindow& w) {
    QStringList state{w.ui.eEVOfile->text(), w.ui.eXPLfile->text()};
    for (const QWidget* page : {w.ui.tsVideo, w.ui.tsAudio, w.ui.tsSubpicture})
        for (const QCheckBox* box : page->findChildren<QCheckBox*>())
            state << QString("%1 %2 %3").arg(box->text()).arg(box->isChecked()).arg(box->isEnabled());
    for (const bool on : shownCommandStates(*w.window)) state << (on ? "on" : "off");
    return state;
}

QString tabLine(const TfMain& window) {
    return window.findChild<QLabel*>(QStringLiteral("lTitles"))->text();
}

// As the playlist of the title disc gives them (trailer.evo is lower case on disc).
const QStringList kTitleDiscRows = {
    "[x] / 1 / Feature / 0:00:04.000 / FEATURE_1.EVO + FEATURE_2.EVO / de LPCM 2ch \"Main\" / "
    "fr 8bitRLC \"French\" / 3",
    "[ ] / 2 / Making Of / 0:00:04.000 / MAKING_1.EVO + MAKING_2.EVO / "
    "en LPCM 2ch \"Commentary\" / en 8bitRLC \"English\" / 2",
    "[ ] / 3 / Trailer / 0:00:02.000 / trailer.evo / und LPCM 2ch \"Stereo\" / none / 1",
    "[ ] / 4 / Lost Scene / 0:00:02.000 / LOST.EVO (missing) / ja LPCM 2ch \"Japanese\" / none / "
    "0"};

}  // namespace

class TitlesTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        config_ = std::make_unique<ConfigFolder>();
        disc_ = std::make_unique<QTemporaryDir>();
        writeTitleDisc(disc_->path().toStdString());
    }
    void cleanup() {
        disc_.reset();
        config_.reset();
    }

    void droppedDiscFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("root") << "";
        QTest::newRow("HVDVD_TS") << "/HVDVD_TS";
        QTest::newRow("ADV_OBJ") << "/ADV_OBJ";
    }
    void droppedDiscFolder() {
        QFETCH(QString, folder);
        auto w = startWindow();
        TfMain& window = **w;
        const int tab = w->ui.PageControl->indexOf(window.titles().page());
        QVERIFY(!w->ui.PageControl->isTabVisible(tab));  // six tabs fit the design width
        QVERIFY(dropFiles(window, {disc_->path() + folder}));
        QVERIFY(w->ui.PageControl->isTabVisible(tab));
        QCOMPARE(w->ui.PageControl->currentWidget(), window.titles().page());
        QCOMPARE(rowsOf(window), kTitleDiscRows);
        QCOMPARE(tabLine(window), QStringLiteral("TITLE DISC, ADV_OBJ/VPLST000.XPL: 4 titles"));
        QVERIFY(w->ui.mMessage->toPlainText().isEmpty());

        // Make MKV gets the disc and the ticked titles.
        QPushButton* make = window.titles().makeMkvButton();
        std::vector<int> asked;
        window.jobs().makeMkvJob = [&](const disc::Disc& disc, const std::vector<int>& titles) {
            QCOMPARE(disc.titles.size(), 4u);
            asked = titles;
        };
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("tvTitles"));
        list->topLevelItem(2)->setCheckState(0, Qt::Checked);
        QVERIFY(make->isEnabled());
        make->click();
        QCOMPARE(asked, std::vector<int>({1, 3}));

        // Of the two longest, the one with all its files on disc is ticked.
        QVERIFY(QFile::remove(disc_->path() + "/HVDVD_TS/FEATURE_2.EVO"));
        QVERIFY(dropFiles(window, {disc_->path() + folder}));
        QCOMPARE(window.titles().tickedTitles(), std::vector<int>({2}));
        QVERIFY(rowsOf(window).front().contains("FEATURE_2.EVO (missing)"));
    }

    void otherFolderIsPassedOver() {
        auto w = startWindow();
        QVERIFY(QDir(disc_->path()).mkdir("photos"));
        QVERIFY(dropFiles(**w, {disc_->path() + "/photos"}));
        QCOMPARE(w->ui.PageControl->currentWidget(), w->ui.tsStatus);
        QCOMPARE(rowsOf(**w), QStringList());
    }

    void readXplListsEveryTitle() {
        auto w = startWindow();
        TfMain& window = **w;
        QVERIFY(dropFiles(window, {disc_->path() + "/HVDVD_TS/MAKING_1.EVO"}));
        w->ui.bReadXPL->click();
        QCOMPARE(w->errors, QStringList());
        // Read XPL's own page and log as ever; the tab holds every title, not only the EVO's.
        QCOMPARE(w->ui.PageControl->currentWidget(), w->ui.tsXPL);
        QVERIFY(w->ui.mMessage->toPlainText().endsWith("Done."));
        QCOMPARE(rowsOf(window), kTitleDiscRows);
    }

    void malformedPlaylist() {
        QFile file(disc_->path() + "/ADV_OBJ/VPLST000.XPL");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("<Playlist>\n<TitleSet><Title titleNumber=\"1\">\n</TitleSet>\n</Playlist>\n");
        file.close();
        auto w = startWindow();
        TfMain& window = **w;
        QVERIFY(dropFiles(window, {disc_->path() + "/HVDVD_TS/FEATURE_1.EVO"}));
        w->ui.bReadXPL->click();
        const QString log = w->ui.mMessage->toPlainText();
        QVERIFY(!log.contains("not a playlist"));
        QVERIFY2(tabLine(window).startsWith("VPLST000.XPL: not a playlist: line 3: "),
                 qPrintable(tabLine(window)));
        QCOMPARE(rowsOf(window), QStringList());
        QVERIFY(!window.titles().makeMkvButton()->isEnabled());

        // A dropped disc folder shows the same error in the tab, and nothing in the log.
        QVERIFY(dropFiles(window, {disc_->path()}));
        QVERIFY(tabLine(window).startsWith("VPLST000.XPL: not a playlist: line 3: "));
        QCOMPARE(w->ui.mMessage->toPlainText(), log);
    }

    void makeMkvOfTickedTitles() {
        if (QStandardPaths::findExecutable("mkvmerge").isEmpty()) QSKIP("no mkvmerge");
        auto w = startWindow();
        TfMain& window = **w;
        QVERIFY(dropFiles(window, {disc_->path()}));
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("tvTitles"));
        list->topLevelItem(3)->setCheckState(0, Qt::Checked);  // LOST.EVO is not on disc
        list->topLevelItem(2)->setCheckState(0, Qt::Checked);
        const QString out = disc_->path() + "/out";
        w->ui.eWorkdir->setText(out);

        // Without mkvmerge, the job's error in the box and nothing made.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        window.titles().makeMkvButton()->click();
        qputenv("PATH", path);
        QCOMPARE(w->errors, QStringList{"mkvmerge not found"});
        QVERIFY(window.titles().makeMkvButton()->isEnabled());

        // The EVO tab as the user left it: another EVO read, one of its streams unticked.
        QVERIFY(dropFiles(window, {disc_->path() + "/HVDVD_TS/MAKING_2.EVO"}));
        w->ui.bCheck->click();
        w->ui.tsAudio->findChildren<QCheckBox*>().front()->click();
        const QStringList before = evoTabState(*w);

        w->errors.clear();
        window.titles().makeMkvButton()->click();
        QCOMPARE(w->errors, QStringList());
        QCOMPARE(evoTabState(*w), before);
        const QString log = w->ui.mMessage->toPlainText();
        QVERIFY2(log.endsWith("Title 1: made " + out + "/Feature.mkv\nTitle 3: made " + out +
                              "/Trailer.mkv\nTitle 4: Cannot open file \"" + disc_->path() +
                              "/HVDVD_TS/LOST.EVO\". No such file or directory"),
                 qPrintable(log.right(400)));
        QCOMPARE(
            QDir(out).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList({"Feature.mkv", "Trailer.mkv"}));
        for (const QString name : {"Feature", "Trailer"}) {
            QProcess mkvmerge;
            mkvmerge.start("mkvmerge", {"-J", out + "/" + name + ".mkv"});
            QVERIFY(mkvmerge.waitForFinished());
            const auto info = QJsonDocument::fromJson(mkvmerge.readAllStandardOutput()).object();
            QCOMPARE(info["container"]["properties"]["title"].toString(), name);
        }
    }

  private:
    std::unique_ptr<ConfigFolder> config_;
    std::unique_ptr<QTemporaryDir> disc_;
};

QTEST_MAIN(TitlesTest)
#include "titles_test.moc"
