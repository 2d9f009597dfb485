// The window without running jobs: start-up, layout and resizing, drops, dialogs, the message
// log and the status line, the stream boxes as a view of the selection, the Cancel question.

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include "app/jpeg_image.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "window_test_support.h"

using namespace tarnwell;
using namespace tarnwell::testing;

namespace {

const QList<bool> kIdleStates = {false, false, false, true, false};

QStringList treeTexts(const QTreeWidget* tree) {
    QStringList texts;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        texts << QString(depth * 2, QLatin1Char(' ')) + item->text(0);
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), 0);
    return texts;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { config_ = std::make_unique<ConfigFolder>(); }
    void cleanup() { config_.reset(); }

    void designStateBeforeActivation() {
        auto w = startWindow(false);
        QCOMPARE((*w)->windowTitle(), QStringLiteral("Tarnwell 0.542"));
        QCOMPARE((*w)->objectName(), QStringLiteral("fMain"));
        QCOMPARE((*w)->streamBox(SlotKind::Video, 0)->text(), QStringLiteral("Video stream"));
        QCOMPARE((*w)->streamBox(SlotKind::Audio, 15)->text(), QStringLiteral("Audio stream"));
        QCOMPARE((*w)->streamBox(SlotKind::Subpicture, 3)->text(), QStringLiteral("Subpicture"));
        QVERIFY(!(*w)->acceptDrops());
    }

    void captionAndIconTitle() {
        nameApplication();
        auto w = startWindow();
        // The platforms append a display name set apart from the application name to captions.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
        QCOMPARE((*w)->windowHandle()->title(), QStringLiteral("Tarnwell 0.542"));
        QCOMPARE((*w)->windowIconText(), QStringLiteral("HD DVD Tarnwell"));
    }

    void startUpStates() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QCOMPARE(shownCommandStates(window), kIdleStates);
        QVERIFY(ui.bbEVO->isEnabled());
        QVERIFY(ui.bbXPL->isEnabled());
        QVERIFY(window.acceptDrops());
        QCOMPARE(window.pos(), QPoint(0, 0));
        QCOMPARE(ui.PageControl->currentIndex(), 0);
        for (auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture}) {
            const QString empty = kind == SlotKind::Video   ? QStringLiteral("No video stream")
                                  : kind == SlotKind::Audio ? QStringLiteral("No audio stream")
                                                            : QStringLiteral("No subpicture");
            for (int n = 0; n < StreamSelection::slotCount(kind); ++n) {
                QCheckBox* box = window.streamBox(kind, n);
                QCOMPARE(box->text(), empty);
                QVERIFY(!box->isEnabled());
                QVERIFY(!box->isChecked());
            }
        }
        QCOMPARE(ui.StatusBar->panelText(0), QStringLiteral(" Ready"));
        QCOMPARE(ui.StatusBar->panelWidth(0), 40);
        QCOMPARE(ui.StatusBar->panelText(1),
                 QStringLiteral(" Select or drop an EVO file to demux"));
        QCOMPARE(ui.StatusBar->panelWidth(1), 50);
        QCOMPARE(ui.StatusBar->toolTip(), QStringLiteral(" Select or drop an EVO file to demux"));
        QCOMPARE(ui.eVideoExt->text(), QStringLiteral("mpv"));
        QCOMPARE(ui.eAudioExt->text(), QStringLiteral("mpa"));
        QCOMPARE(ui.eSubExt->text(), QStringLiteral("sup"));
        QVERIFY(ui.eWorkdir->text().isEmpty());
        QVERIFY(ui.cbContinue->isChecked());
        QVERIFY(ui.cbFastCheck->isChecked());
        QVERIFY(ui.cbCountFr->isChecked());
        QVERIFY(w->errors.isEmpty());
    }

    void activationRunsOnlyOnce() {
        auto w = startWindow();
        TfMain& window = **w;
        // A caption set after the first activation survives later activations.
        window.commands().selection().setCaption(SlotKind::Audio, 0, "kept");
        window.FormActivate();
        QCOMPARE(window.streamBox(SlotKind::Audio, 0)->text(), QStringLiteral("kept"));
    }

    void textsAndHints() {
        auto w = startWindow(false);
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        const struct {
            QWidget* widget;
            const char* tooltip;
        } hints[] = {
            {ui.eEVOfile, "Drop here the source EVO file"},
            {ui.bbEVO, "Browse an EVO file"},
            {ui.bCheck, "Read the source EVO file to detect streams"},
            {ui.eXPLfile, "Drop here the VPLST000.XPL"},
            {ui.bbXPL, "Browse the HD DVD disc's VPLST000.XPL"},
            {ui.bReadXPL, "Read the XPL file to detect stream infos"},
            {ui.bDemux, "Demux the source EVO to streams"},
            {ui.bRebuild, ""},
            {ui.imLogo, "HD DVD logo :-)"},
            {ui.bCancel, "You can stop the actual process"},
            {ui.tvXPL, "Infos from your XPL file"},
            {ui.mXPL, "This is your XPL file (part of it)"},
            {ui.cbContinue, "Demux continues with e.g. FEATURE_2.EVO if it exists"},
            {ui.cbFastCheck, "Read EVO checks only the first ~300 MB of the file"},
            {ui.cbCountFr, ""},
            {window.streamBox(SlotKind::Subpicture, 0), ""},
            {window.streamBox(SlotKind::Subpicture, 1), "Check the desired subpicture streams"},
            {window.streamBox(SlotKind::Subpicture, 15), "Check the desired subpicture streams"},
            {window.streamBox(SlotKind::Audio, 1), ""},
        };
        for (const auto& hint : hints)
            QCOMPARE(hint.widget->toolTip(), QString::fromLatin1(hint.tooltip));

        const QStringList tabs = {"Status", "Video",   "Audio", "Subpicture",
                                  "XPL",    "Options", "Titles"};
        const QStringList tabHints = {"",
                                      "Check the desired video stream",
                                      "Check the desired audio streams",
                                      "Check the desired subpicture streams",
                                      "",
                                      "",
                                      ""};
        QCOMPARE(ui.PageControl->count(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(ui.PageControl->tabText(i), tabs[i]);
            QCOMPARE(ui.PageControl->tabToolTip(i), tabHints[i]);
        }
        QCOMPARE(ui.bCheck->text(), QStringLiteral("Read EVO"));
        QCOMPARE(ui.bReadXPL->text(), QStringLiteral("Read XPL"));
        QCOMPARE(ui.bDemux->text(), QStringLiteral("Demux"));
        QVERIFY(ui.bDemux->font().bold());
        QVERIFY(!ui.bCheck->font().bold());
        QCOMPARE(ui.bRebuild->text(), QStringLiteral("Rebuild"));
        QCOMPARE(ui.bCancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(ui.cbContinue->text(), QStringLiteral("Continue with second  EVO"));
        QCOMPARE(ui.cbFastCheck->text(), QStringLiteral("Fast EVO checking"));
        QCOMPARE(ui.cbCountFr->text(), QStringLiteral("Count frames"));
        QCOMPARE(ui.lVideoExt->text(), QStringLiteral("Extensions (video, audio, subtitle)"));
        QCOMPARE(ui.lWorkdir->text(), QStringLiteral("Output folder"));
        QVERIFY(ui.eEVOfile->isReadOnly());
        QVERIFY(ui.eXPLfile->isReadOnly());
        QVERIFY(ui.gbFile->title().isEmpty());
    }

    void fonts() {
        auto w = startWindow(false);
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QCOMPARE(window.font().pointSize(), 8);
        QVERIFY(QFontInfo(ui.mXPL->font()).fixedPitch());
        QCOMPARE(ui.mXPL->font().pointSize(), 8);
        if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
            QCOMPARE(QFontInfo(window.font()).family(), QStringLiteral("Tahoma"));
        QVERIFY(!QFontInfo(window.font()).fixedPitch());
    }

    void tabOrder() {
        auto w = startWindow(false);
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        const QList<QWidget*> order = {ui.eEVOfile, ui.bbEVO,    ui.bCheck,     ui.eXPLfile,
                                       ui.bbXPL,    ui.bReadXPL, ui.PageControl};
        for (int i = 1; i < order.size(); ++i) {
            QWidget* next = order[i - 1]->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
            QCOMPARE(next, order[i]);
        }
        auto nextFocusable = [](QWidget* widget) {
            QWidget* next = widget->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
            return next;
        };
        QCOMPARE(nextFocusable(ui.bDemux), ui.bRebuild);
        QCOMPARE(nextFocusable(ui.bRebuild), ui.bCancel);
        for (int n = 1; n < 16; ++n)
            QCOMPARE(window.streamBox(SlotKind::Audio, n - 1)->nextInFocusChain(),
                     window.streamBox(SlotKind::Audio, n));
    }

    void streamBoxLayout() {
        auto w = startWindow(false);
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        const int tops[8] = {9, 31, 53, 75, 98, 120, 142, 165};
        for (int n = 0; n < 8; ++n)
            QCOMPARE(window.streamBox(SlotKind::Video, n)->geometry(), QRect(9, tops[n], 140, 17));
        for (auto kind : {SlotKind::Audio, SlotKind::Subpicture}) {
            QWidget* page = kind == SlotKind::Audio ? ui.tsAudio : ui.tsSubpicture;
            for (int n = 0; n < 16; ++n) {
                QCheckBox* box = window.streamBox(kind, n);
                QCOMPARE(box->parentWidget(), page);
                QCOMPARE(box->geometry(), QRect(n < 8 ? 9 : 165, tops[n % 8], 140, 17));
            }
        }
        QCOMPARE(window.streamBox(SlotKind::Audio, 9)->objectName(), QStringLiteral("cbAudio09"));
        QCOMPARE(window.streamBox(SlotKind::Subpicture, 15)->objectName(),
                 QStringLiteral("cbSub15"));
        QCOMPARE(window.streamBox(SlotKind::Video, 7)->objectName(), QStringLiteral("cbVideo7"));
    }

    void optionsLayout() {
        auto w = startWindow(false);
        const MainControls& ui = w->ui;
        QCOMPARE(ui.gbFile->geometry(), QRect(3, 0, 320, 78));
        QCOMPARE(ui.lVideoExt->pos(), QPoint(13, 19));
        QCOMPARE(ui.eVideoExt->geometry(), QRect(182, 16, 38, 21));
        QCOMPARE(ui.eAudioExt->geometry(), QRect(226, 16, 38, 21));
        QCOMPARE(ui.eSubExt->geometry(), QRect(270, 16, 38, 21));
        QCOMPARE(ui.lWorkdir->pos(), QPoint(12, 48));
        QCOMPARE(ui.eWorkdir->geometry(), QRect(84, 45, 224, 21));
        QCOMPARE(ui.cbContinue->pos(), QPoint(3, 84));
        QCOMPARE(ui.cbFastCheck->pos(), QPoint(3, 107));
        QCOMPARE(ui.cbCountFr->pos(), QPoint(3, 130));
        QVERIFY(ui.cbContinue->width() >= 149);
        // Labels end before the fields beside them, and captions fit their boxes.
        QVERIFY(ui.lVideoExt->geometry().right() < ui.eVideoExt->x());
        QVERIFY(ui.lWorkdir->geometry().right() < ui.eWorkdir->x());
        for (QCheckBox* box : {ui.cbContinue, ui.cbFastCheck, ui.cbCountFr})
            QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(box->text()));
    }

    void anchorsOnResize_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("design");
        QTest::addColumn<int>("anchors");
        QTest::newRow("eEVOfile") << "eEVOfile" << QRect(8, 8, 249, 21) << 7;
        QTest::newRow("bbEVO") << "bbEVO" << QRect(263, 6, 25, 25) << 6;
        QTest::newRow("bCheck") << "bCheck" << QRect(294, 7, 60, 25) << 6;
        QTest::newRow("eXPLfile") << "eXPLfile" << QRect(8, 40, 249, 21) << 7;
        QTest::newRow("bbXPL") << "bbXPL" << QRect(263, 38, 25, 25) << 6;
        QTest::newRow("bReadXPL") << "bReadXPL" << QRect(294, 38, 60, 25) << 6;
        QTest::newRow("PageControl") << "PageControl" << QRect(8, 69, 346, 219) << 15;
        QTest::newRow("bDemux") << "bDemux" << QRect(8, 294, 60, 25) << 9;
        QTest::newRow("bRebuild") << "bRebuild" << QRect(74, 294, 60, 25) << 9;
        QTest::newRow("bCancel") << "bCancel" << QRect(294, 294, 60, 25) << 12;
        QTest::newRow("StatusBar") << "StatusBar" << QRect(0, 325, 362, 21) << 13;
    }

    void anchorsOnResize() {
        QFETCH(QString, control);
        QFETCH(QRect, design);
        QFETCH(int, anchors);
        auto w = startWindow();
        TfMain& window = **w;
        for (QSize client : {QSize(370, 380), QSize(640, 500), QSize(401, 777)}) {
            window.resize(client);
            QCOMPARE(window.size(), client);
            const int dx = client.width() - 362, dy = client.height() - 346;
            QRect expected = design;
            if ((anchors & AnchorLeft) && (anchors & AnchorRight))
                expected.setWidth(design.width() + dx);
            else if (anchors & AnchorRight)
                expected.moveLeft(design.x() + dx);
            if ((anchors & AnchorTop) && (anchors & AnchorBottom))
                expected.setHeight(design.height() + dy);
            else if (anchors & AnchorBottom)
                expected.moveTop(design.y() + dy);
            auto* widget = window.findChild<QWidget*>(control);
            QVERIFY(widget);
            QCOMPARE(widget->geometry(), expected);
        }
    }

    void logoPlace() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        const int frame = window.outerWidth() - window.width();
        const struct {
            int outer, left;
        } cases[] = {{432, 153}, {800, 337}, {433, 153}, {434, 154}, {500, 187}, {370, 153}};
        for (const auto& c : cases) {
            window.resize(c.outer - frame, 400);
            QCOMPARE(window.outerWidth(), c.outer);
            QCOMPARE(ui.imLogo->x(), c.left);
            QCOMPARE(ui.imLogo->geometry().bottom(), window.height() - 346 + 292 + 30);
        }
        QCOMPARE(ui.imLogo->size(), QSize(125, 31));
    }

    void minimumSize() {
        auto w = startWindow();
        TfMain& window = **w;
        window.resize(100, 100);
        QCOMPARE(window.outerWidth(), 370);
        QCOMPARE(window.outerHeight(), 380);
        const QMargins frame = window.frameMargins();
        window.resize(369 - frame.left() - frame.right(), 379 - frame.top() - frame.bottom());
        QCOMPARE(window.outerWidth(), 370);
        QCOMPARE(window.outerHeight(), 380);
        window.setOuterWidth(371);
        QCOMPARE(window.outerWidth(), 371);
    }

    void logoPicture() {
        auto w = startWindow(false);
        const QPixmap logo = w->ui.imLogo->pixmap();
        QCOMPARE(logo.size(), QSize(125, 32));
        // Not a blank picture: the plate is dark, the lettering light.
        const QImage image = logo.toImage();
        QVERIFY(qGray(image.pixel(10, 16)) < 100);
        int light = 0;
        for (int x = 0; x < 125; ++x) light += qGray(image.pixel(x, 13)) > 200;
        QVERIFY(light > 10);
    }

    void brokenJpegIsAnErrorNotAnExit() {
        QString error;
        const QImage image = decodeJpeg(QByteArray("\xff\xd8 not really a picture", 24), &error);
        QVERIFY(image.isNull());
        QVERIFY(!error.isEmpty());
        QVERIFY(decodeJpeg(QByteArray(), &error).isNull());
    }

    void browseGlyphs() {
        auto w = startWindow(false);
        for (QToolButton* button : {w->ui.bbEVO, w->ui.bbXPL}) {
            const QIcon icon = button->icon();
            const QImage normal = icon.pixmap(16, 16, QIcon::Normal).toImage();
            const QImage greyed = icon.pixmap(16, 16, QIcon::Disabled).toImage();
            QCOMPARE(normal.size(), QSize(16, 16));
            QVERIFY(normal != greyed);
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) {
                    const QRgb p = greyed.pixel(x, y);
                    if (qAlpha(p) == 255) QVERIFY(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
                }
        }
    }

    void dropOfThreeFilesTakesTheFirst() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {"/disc/HVDVD_TS/FEATURE_1.EVO", "/disc/ADV_OBJ/VPLST000.XPL",
                                   "/other/MOVIE.EVO"}));
        QCOMPARE(ui.eEVOfile->text(), QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO"));
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("/disc/ADV_OBJ/VPLST000.XPL"));
        QCOMPARE(window.commands().input().EVObase, std::string("FEATURE_1"));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, false, true, true, false}));
    }

    void dropOfLowerCaseEvo() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {"/films/MOVIE.evo"}));
        QCOMPARE(ui.eEVOfile->text(), QStringLiteral("/films/MOVIE.evo"));
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("VPLST000.XPL"));
        QVERIFY(ui.bCheck->isEnabled());
        QVERIFY(!ui.bReadXPL->isEnabled());
    }

    void dropOfAnotherExtensionChangesNothing() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {"/films/MOVIE.evo"}));
        QVERIFY(dropFiles(window, {"/films/notes.txt", "/films/OTHER.EVO"}));
        QVERIFY(dropFiles(window, {"/films/EVO"}));
        QCOMPARE(ui.eEVOfile->text(), QStringLiteral("/films/MOVIE.evo"));
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("VPLST000.XPL"));
        QCOMPARE(shownCommandStates(window), QList<bool>({true, false, false, true, false}));
        QVERIFY(w->errors.isEmpty());
    }

    void dropOfPlaylistFindsTheEvoFolder() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(dropFiles(window, {"/disc/ADV_OBJ/vplst000.xpl"}));
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("/disc/ADV_OBJ/vplst000.xpl"));
        QVERIFY(ui.eEVOfile->text().isEmpty());
        QCOMPARE(shownCommandStates(window), QList<bool>({false, false, true, true, false}));
        QString initialDir;
        window.odEVOfile.runner = [&](OpenFileDialog& dialog) {
            initialDir = dialog.initialDir;
            return false;
        };
        window.bbEVOClick();
        QCOMPARE(initialDir, QStringLiteral("/disc/HVDVD_TS/"));
    }

    void evoDialog() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        OpenFileDialog seen;
        QString answer = QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO");
        window.odEVOfile.runner = [&](OpenFileDialog& dialog) {
            seen = dialog;
            if (answer.isEmpty()) return false;
            dialog.fileName = answer;
            return true;
        };
        window.bbEVOClick();
        QCOMPARE(seen.title, QStringLiteral("Choose the EVO file to demux"));
        QCOMPARE(seen.filter, QStringLiteral("EVO files (*.EVO)"));
        QCOMPARE(seen.defaultSuffix, QStringLiteral("EVO"));
        QVERIFY(seen.fileMustExist);
        QVERIFY(seen.initialDir.isEmpty());
        QCOMPARE(ui.eEVOfile->text(), answer);
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("/disc/ADV_OBJ/VPLST000.XPL"));

        // A cancel puts the dialog's last file name back into the field.
        ui.eXPLfile->clear();
        answer.clear();
        window.bbEVOClick();
        QCOMPARE(seen.initialDir, QStringLiteral("/disc/HVDVD_TS/"));
        QCOMPARE(ui.eEVOfile->text(), QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO"));
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("/disc/ADV_OBJ/VPLST000.XPL"));
        QVERIFY(ui.bCheck->isEnabled());
    }

    void evoDialogCancelledBeforeAnyChoice() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        window.odEVOfile.runner = [](OpenFileDialog&) { return false; };
        window.bbEVOClick();
        QVERIFY(ui.eEVOfile->text().isEmpty());
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("VPLST000.XPL"));
        QVERIFY(!ui.bCheck->isEnabled());
    }

    void playlistDialog() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        window.odEVOfile.runner = [](OpenFileDialog& dialog) {
            dialog.fileName = QStringLiteral("/disc/HVDVD_TS/FEATURE_1.EVO");
            return true;
        };
        window.bbEVOClick();

        OpenFileDialog seen;
        window.odXPL.runner = [&](OpenFileDialog& dialog) {
            seen = dialog;
            return false;
        };
        window.bbXPLClick();
        QVERIFY(seen.title.isEmpty());
        QCOMPARE(seen.filter, QStringLiteral("XPL (VPLST000.XPL)"));
        QCOMPARE(seen.defaultSuffix, QStringLiteral("xpl"));
        QVERIFY(!seen.fileMustExist);
        QCOMPARE(seen.initialDir, QStringLiteral("/disc/ADV_OBJ/"));
        QCOMPARE(seen.fileName, QStringLiteral("VPLST000.XPL"));
        // Cancelled with the preset bare name: the field gets that name.
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("VPLST000.XPL"));
        QVERIFY(ui.bReadXPL->isEnabled());

        window.odXPL.runner = [](OpenFileDialog& dialog) {
            dialog.fileName = QStringLiteral("/backup/ADV_OBJ/VPLST000.XPL");
            return true;
        };
        window.bbXPLClick();
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("/backup/ADV_OBJ/VPLST000.XPL"));
        window.odXPL.runner = [&](OpenFileDialog& dialog) {
            seen = dialog;
            return false;
        };
        window.bbXPLClick();
        QCOMPARE(seen.initialDir, QStringLiteral("/backup/ADV_OBJ/"));
        QCOMPARE(ui.eXPLfile->text(), QStringLiteral("/backup/ADV_OBJ/VPLST000.XPL"));
        // The EVO dialog now opens beside the playlist.
        window.odEVOfile.runner = [&](OpenFileDialog& dialog) {
            seen = dialog;
            return false;
        };
        window.bbEVOClick();
        QCOMPARE(seen.initialDir, QStringLiteral("/backup/HVDVD_TS/"));
    }

    void logAppendsAndKeepsTheEnd() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        ui.PageControl->setCurrentIndex(5);
        window.host().log("first");
        window.host().log("");
        window.host().log("two\nlines");
        QCOMPARE(ui.mMessage->toPlainText(), QStringLiteral("first\n\ntwo\nlines"));
        QCOMPARE(ui.PageControl->currentIndex(), 5);
        QCOMPARE(ui.StatusBar->panelText(0), QStringLiteral(" Ready"));
        ui.PageControl->setCurrentIndex(0);
        for (int i = 0; i < 200; ++i) window.host().log("line " + std::to_string(i));
        QCoreApplication::processEvents();
        const QScrollBar* bar = ui.mMessage->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(ui.mMessage->toPlainText().endsWith(QStringLiteral("line 199")));
    }

    void slogPanelsAndHint() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        const QFontMetrics metrics(ui.StatusBar->font());
        window.host().slog("Writing stream(s)", 0);
        QCOMPARE(ui.StatusBar->panelText(0), QStringLiteral(" Writing stream(s)"));
        const int wide = metrics.horizontalAdvance(QStringLiteral(" Writing stream(s)a"));
        QCOMPARE(ui.StatusBar->panelWidth(0), wide);
        QCOMPARE(ui.StatusBar->panelLabel(0)->width(), wide);
        QCOMPARE(ui.StatusBar->toolTip(), QStringLiteral(" Select or drop an EVO file to demux"));

        window.host().slog("Ready", 0);
        const int narrow = metrics.horizontalAdvance(QStringLiteral(" Readya"));
        QCOMPARE(ui.StatusBar->panelWidth(0), narrow);
        QCOMPARE(ui.StatusBar->panelLabel(0)->width(), narrow);
        QVERIFY(narrow < wide);

        window.host().slog("100/2000 bytes", 1);
        QCOMPARE(ui.StatusBar->panelText(1), QStringLiteral(" 100/2000 bytes"));
        QCOMPARE(ui.StatusBar->panelWidth(1),
                 metrics.horizontalAdvance(QStringLiteral(" 100/2000 bytesa")));
        QCOMPARE(ui.StatusBar->toolTip(), QStringLiteral("100/2000 bytes"));

        window.host().slog("", 1);
        QCOMPARE(ui.StatusBar->panelText(1), QStringLiteral(" "));
        QCOMPARE(ui.StatusBar->panelWidth(1), metrics.horizontalAdvance(QStringLiteral(" a")));
        QVERIFY(ui.StatusBar->toolTip().isEmpty());
        QVERIFY(ui.mMessage->toPlainText().isEmpty());
    }

    void boxesMirrorTheSelection() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        StreamTable table;
        table.VideoIds[0] = 0xE0;
        table.AudioIds[2] = 0xC2;
        table.SubIds[1] = 0x21;
        window.commands().selection().FillFromStreamTable(table);
        QCheckBox* video = window.streamBox(SlotKind::Video, 0);
        QCheckBox* audio = window.streamBox(SlotKind::Audio, 2);
        QCheckBox* sub = window.streamBox(SlotKind::Subpicture, 1);
        QCOMPARE(video->text(), QStringLiteral("MPEG-2.stream.0"));
        QCOMPARE(audio->text(), QStringLiteral("DD+.stream.02"));
        QCOMPARE(sub->text(), QStringLiteral("Subpicture.01"));
        for (QCheckBox* box : {video, audio, sub}) {
            QVERIFY(box->isEnabled());
            QVERIFY(box->isChecked());
        }
        QVERIFY(!window.streamBox(SlotKind::Audio, 0)->isEnabled());
        QVERIFY(ui.bDemux->isEnabled());

        // Clicking the boxes flips the slots; the last one unticked disables Demux.
        ui.PageControl->setCurrentWidget(ui.tsVideo);
        QTest::mouseClick(video, Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(!window.commands().selection().IsChecked(SlotKind::Video, 0));
        QVERIFY(!video->isChecked());
        ui.PageControl->setCurrentWidget(ui.tsAudio);
        QTest::mouseClick(audio, Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(ui.bDemux->isEnabled());
        ui.PageControl->setCurrentWidget(ui.tsSubpicture);
        QTest::mouseClick(sub, Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(!window.commands().selection().AnyChecked());
        QVERIFY(!ui.bDemux->isEnabled());
        QTest::mouseClick(sub, Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(window.commands().selection().IsChecked(SlotKind::Subpicture, 1));
        QVERIFY(ui.bDemux->isEnabled());

        // A disabled box can't be ticked.
        QCheckBox* absent = window.streamBox(SlotKind::Subpicture, 0);
        QTest::mouseClick(absent, Qt::LeftButton, {}, QPoint(5, 8));
        QVERIFY(!absent->isChecked());
        QVERIFY(!window.commands().selection().IsChecked(SlotKind::Subpicture, 0));
    }

    void playlistTextsAreShownLiterally() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        window.commands().selection().MarkFromPlaylist(SlotKind::Audio, 3,
                                                       "DD.stream.03.Cast & Crew|x");
        QCheckBox* box = window.streamBox(SlotKind::Audio, 3);
        QCOMPARE(box->text(), QStringLiteral("DD.stream.03.Cast && Crew|x"));
        QCOMPARE(box->toolTip(), QStringLiteral("DD.stream.03.Cast & Crew"));
        QVERIFY(box->isChecked());
        QVERIFY(ui.bDemux->isEnabled());
    }

    void playlistViewsFollowTheState() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QCOMPARE(treeTexts(ui.tvXPL), QStringList({"Video", "Audio", "Subpicture", "Chapter"}));
        auto& playlist = window.commands().playlist();
        playlist.clearTagLines();
        playlist.setTagViewVisible(false);
        playlist.addTagLine("<Playlist>");
        playlist.addTagLine("  <Title>");
        playlist.addTagLine("    <Video track=\"1\"/>");
        playlist.addTagLine("  </Title>");
        QVERIFY(!ui.mXPL->isVisibleTo(ui.tsXPL));
        playlist.keepTagLines(1, 3);
        playlist.setTagViewVisible(true);
        playlist.setTree({{"Info", {{"Name: Main", {}}}},
                          {"Video", {{"VC-1.stream.0", {}}}},
                          {"Audio", {{"DD+.stream.00.English", {}}, {"DD+.stream.01.French", {}}}},
                          {"Subtitle", {}},
                          {"Chapter", {{"00:00:00:00: One", {}}}}});
        QVERIFY(ui.mXPL->isVisibleTo(ui.tsXPL));
        QCOMPARE(ui.mXPL->toPlainText(),
                 QStringLiteral("  <Title>\n    <Video track=\"1\"/>\n  </Title>"));
        QCOMPARE(treeTexts(ui.tvXPL),
                 QStringList({"Info", "  Name: Main", "Video", "  VC-1.stream.0", "Audio",
                              "  DD+.stream.00.English", "  DD+.stream.01.French", "Subtitle",
                              "Chapter", "  00:00:00:00: One"}));
        QVERIFY(ui.tvXPL->topLevelItem(2)->isExpanded());
    }

    void xplPage() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QCOMPARE(ui.tvXPL->indentation(), 19);
        QCOMPARE(ui.tvXPL->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(ui.mXPL->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(ui.mMessage->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(ui.mXPL->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(ui.mMessage->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        ui.PageControl->setCurrentWidget(ui.tsXPL);
        QCoreApplication::processEvents();
        QCOMPARE(ui.tvXPL->width(), 96);
        QCOMPARE(window.treeWidth(), 96);
        // Neither side of the splitter goes below 50 pixels.
        ui.splXPL->setSizes({10, 1000});
        QCOMPARE(ui.tvXPL->width(), 50);
        ui.splXPL->setSizes({1000, 10});
        QCOMPARE(ui.mXPL->width(), 50);
        // The tree keeps its width when the window grows.
        window.setTreeWidth(120);
        window.resize(window.width() + 200, window.height());
        QCoreApplication::processEvents();
        QCOMPARE(ui.tvXPL->width(), 120);
    }

    void typingLimitOfTheExtensions() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        ui.PageControl->setCurrentWidget(ui.tsOption);
        ui.eVideoExt->clear();
        QTest::keyClicks(ui.eVideoExt, QStringLiteral("abcdefg"));
        QCOMPARE(ui.eVideoExt->text(), QStringLiteral("abcde"));
        // A longer text put there by the program stays, and can be shortened.
        ui.eAudioExt->setText(QStringLiteral("mpeg4a"));
        QCOMPARE(ui.eAudioExt->text(), QStringLiteral("mpeg4a"));
        ui.eAudioExt->setFocus();
        ui.eAudioExt->end(false);
        QTest::keyClick(ui.eAudioExt, Qt::Key_Backspace);
        QCOMPARE(ui.eAudioExt->text(), QStringLiteral("mpeg4"));
        QTest::keyClick(ui.eAudioExt, Qt::Key_X);
        QCOMPARE(ui.eAudioExt->text(), QStringLiteral("mpeg4"));
        QCOMPARE(window.host().optionText(TextOption::AudioExt), std::string("mpeg4"));
    }

    void optionsAreReadWhenAsked() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(window.host().isOptionChecked(Option::FastCheck));
        ui.cbFastCheck->setChecked(false);
        QVERIFY(!window.host().isOptionChecked(Option::FastCheck));
        ui.cbContinue->setChecked(false);
        QVERIFY(!window.host().isOptionChecked(Option::Continue));
        QVERIFY(window.host().isOptionChecked(Option::CountFrames));
        ui.eWorkdir->setText(QStringLiteral("/out/"));
        QCOMPARE(window.host().optionText(TextOption::Workdir), std::string("/out/"));
        QCOMPARE(window.host().optionText(TextOption::VideoExt), std::string("mpv"));
        QCOMPARE(window.host().optionText(TextOption::SubExt), std::string("sup"));
    }

    void newOptionsPlacedAndRead() {
        auto w = startWindow();
        const MainControls& ui = w->ui;
        // Inside the page at the tab control's design size, clear of every other option.
        ui.PageControl->setCurrentWidget(ui.tsOption);
        const QRect page({0, 0}, ui.tsOption->size() - (ui.PageControl->size() - QSize(346, 219)));
        const QList<QWidget*> added = {ui.cbMatroska, ui.cbMakeMkv, ui.lSubForm, ui.cbxSubForm};
        for (QWidget* control : added) {
            QVERIFY(page.contains(control->geometry()));
            QVERIFY(control->sizeHint().width() <= control->width());
            for (QWidget* other :
                 added + QList<QWidget*>{ui.gbFile, ui.cbContinue, ui.cbFastCheck, ui.cbCountFr})
                QVERIFY(other == control || !other->geometry().intersects(control->geometry()));
        }
        QCOMPARE(ui.cbCountFr->nextInFocusChain(), ui.cbMatroska);
        QCOMPARE(ui.cbMatroska->nextInFocusChain(), ui.cbMakeMkv);
        QWidget* next = ui.cbMakeMkv->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
        QCOMPARE(next, ui.cbxSubForm);
        // Steps: tick (1) or untick (0) "Matroska-ready files", or pick a form; then the form
        // the host reads. Ticked, the choice shows PGS; unticked, the user's own pick again.
        const struct {
            int matroska, pick;
            SubpictureForm read;
        } steps[] = {{-1, -1, SubpictureForm::Raw}, {-1, 1, SubpictureForm::HdSup},
                     {1, -1, SubpictureForm::Pgs},  {0, -1, SubpictureForm::HdSup},
                     {-1, 0, SubpictureForm::Raw},  {1, -1, SubpictureForm::Pgs},
                     {0, -1, SubpictureForm::Raw}};
        for (const auto& step : steps) {
            if (step.matroska >= 0) ui.cbMatroska->setChecked(step.matroska);
            if (step.pick >= 0) ui.cbxSubForm->setCurrentIndex(step.pick);
            QCOMPARE((*w)->host().isOptionChecked(Option::MatroskaReady),
                     step.read == SubpictureForm::Pgs);
            QCOMPARE((*w)->host().subpictureForm(), step.read);
            QCOMPARE(ui.cbxSubForm->isEnabled(), !ui.cbMatroska->isChecked());
        }
        // "Make MKV with mkvmerge" holds "Matroska-ready files" ticked while it is on.
        ui.cbMakeMkv->setChecked(true);
        QVERIFY((*w)->host().isOptionChecked(Option::MakeMkv));
        QVERIFY(ui.cbMatroska->isChecked() && !ui.cbMatroska->isEnabled());
        QCOMPARE((*w)->host().subpictureForm(), SubpictureForm::Pgs);
        ui.cbMakeMkv->setChecked(false);
        QVERIFY(ui.cbMatroska->isEnabled());
    }

    void showPageAndRepaint() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        window.host().showPage(kXplPage);
        QCOMPARE(ui.PageControl->currentWidget(), ui.tsXPL);
        window.host().showPage(kStatusPage);
        QCOMPARE(ui.PageControl->currentWidget(), ui.tsStatus);
    }

    void cancelQuestionOnlyWhileDemuxing() {
        auto w = startWindow();
        TfMain& window = **w;
        auto& state = window.commands().state();
        state.Demuxing = false;
        window.bCancelClick();
        QVERIFY(state.CancelRequested);
        QVERIFY(w->questions.isEmpty());

        state.CancelRequested = false;
        state.Demuxing = true;
        w->answer = false;
        window.bCancelClick();
        QVERIFY(!state.CancelRequested);
        w->answer = true;
        window.bCancelClick();
        QVERIFY(state.CancelRequested);
        QCOMPARE(w->questions,
                 QStringList({"Are you sure to stop demuxing?", "Are you sure to stop demuxing?"}));
    }

    void confirmBox() {
        auto w = startWindow();
        TfMain& window = **w;
        window.host().confirmHook = nullptr;
        ModalBoxAnswer reader(QStringLiteral("&No"));
        QVERIFY(!window.host().confirm("Are you sure to stop demuxing?"));
        QVERIFY(reader.answered);
        QCOMPARE(reader.title, QStringLiteral("Confirm"));
        QCOMPARE(reader.text, QStringLiteral("Are you sure to stop demuxing?"));
        QCOMPARE(reader.icon, QMessageBox::Question);
        QCOMPARE(reader.buttons.size(), 2);
        QVERIFY(reader.buttons.contains(QStringLiteral("&Yes")));
        QVERIFY(reader.buttons.contains(QStringLiteral("&No")));
        QCOMPARE(reader.defaultButton, QStringLiteral("&No"));

        ModalBoxAnswer yes(QStringLiteral("&Yes"));
        QVERIFY(window.host().confirm("Are you sure to stop demuxing?"));
        QVERIFY(yes.answered);
    }

    void commandStatesWhileAJobRuns() {
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        window.host().setCommandEnabled(Command::ReadEvo, true);
        window.host().setCommandEnabled(Command::Cancel, true);
        QCOMPARE(shownCommandStates(window), QList<bool>({true, false, false, true, true}));
        window.host().setCommandEnabled(Command::Cancel, false);
        window.host().setCommandEnabled(Command::Rebuild, false);
        QVERIFY(!window.host().commandEnabled(Command::Rebuild));
        QVERIFY(!ui.bRebuild->isEnabled());
    }

  private:
    std::unique_ptr<ConfigFolder> config_;
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
