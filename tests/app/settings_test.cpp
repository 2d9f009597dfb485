// The settings round trip through the per-user store, in a private configuration folder:
// defaults on a first run, the sixteen values written on close, their types as read back, the
// geometry rules and the read errors.

#include "app/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "app/ole_date.h"
#include "window_test_support.h"

using namespace tarnwell;
using namespace tarnwell::testing;

namespace {

// The store as another program (or an earlier run) would see it.
QSettings store() {
    return QSettings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
}

void preset(const QList<QPair<QString, QVariant>>& values) {
    QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    for (const auto& [name, value] : values) settings.setValue(name, value);
    settings.sync();
    QCOMPARE(settings.status(), QSettings::NoError);
}

QString stored(const QString& name) {
    return store().value(name).toString();
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { config_ = std::make_unique<ConfigFolder>(); }
    void cleanup() { config_.reset(); }

    void firstRunDefaultsAndAllSixteenWritten() {
        QVERIFY(!QFile::exists(config_->settingsFile()));
        auto w = startWindow();
        TfMain& window = **w;
        QCOMPARE(window.pos(), QPoint(0, 0));
        QCOMPARE(window.outerWidth(), 370);
        QCOMPARE(window.outerHeight(), 380);
        QVERIFY(w->errors.isEmpty());

        const double before = oleDateNow();
        QVERIFY(window.close());
        const double after = oleDateNow();
        QVERIFY(QFile::exists(config_->settingsFile()));

        QStringList keys = store().allKeys();
        QStringList expected = settingNames();
        keys.sort();
        expected.sort();
        QCOMPARE(keys, expected);
        QCOMPARE(settingNames().size(), 16);
        const QList<QPair<QString, QString>> values = {
            {"WindowState", "0"}, {"Top", "0"},        {"Left", "0"},        {"Width", "370"},
            {"Height", "380"},    {"TreeWidth", "96"}, {"AudioExt", "mpa"},  {"VideoExt", "mpv"},
            {"SubExt", "sup"},    {"Workdir", ""},     {"EVOdir", ""},       {"XPLdir", ""},
            {"Continue", "1"},    {"FastCheck", "1"},  {"CountFrames", "1"},
        };
        for (const auto& [name, value] : values) QCOMPARE(stored(name), value);

        // Install: 8 bytes, the local date and time of the close in days since 1899-12-30.
        const QVariant install = store().value("Install");
        QCOMPARE(install.typeId(), int(QMetaType::QByteArray));
        QCOMPARE(install.toByteArray().size(), 8);
        const double days = oleDateFromBytes(install.toByteArray());
        QVERIFY(days >= before && days <= after);
        QVERIFY(days > 44000 && days < 80000);  // a date of this century
    }

    void oleDateOfAKnownDay() {
        QCOMPARE(oleDate(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
        QCOMPARE(oleDate(QDateTime(QDate(1900, 1, 1), QTime(18, 0))), 2.75);
        QCOMPARE(oleDate(QDateTime(QDate(2024, 2, 29), QTime(12, 0))), 45351.5);
        const QByteArray bytes = oleDateBytes(2.75);
        QCOMPARE(bytes, QByteArray::fromHex("0000000000000640"));
        QCOMPARE(oleDateFromBytes(bytes), 2.75);
    }

    void installKeptOnLaterCloses() {
        const QByteArray earlier = oleDateBytes(40000.25);
        preset({{"Install", earlier}});
        for (int run = 0; run < 2; ++run) {
            auto w = startWindow();
            QVERIFY((*w)->close());
            QCOMPARE(store().value("Install").toByteArray(), earlier);
        }
    }

    void valuesRestoredAndStoredAgain() {
        preset({{"Width", 520},
                {"Height", 450},
                {"Top", 30},
                {"Left", 40},
                {"WindowState", 0},
                {"TreeWidth", 130},
                {"AudioExt", "ac3"},
                {"VideoExt", "m2v"},
                {"SubExt", "spu"},
                {"Workdir", "/out/"},
                {"EVOdir", "/disc/HVDVD_TS/"},
                {"XPLdir", "/disc/ADV_OBJ/"},
                {"Continue", 0},
                {"FastCheck", 0},
                {"CountFrames", 0}});
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QVERIFY(w->errors.isEmpty());
        QCOMPARE(window.outerWidth(), 520);
        QCOMPARE(window.outerHeight(), 450);
        QCOMPARE(window.pos(), QPoint(40, 30));
        QCOMPARE(ui.eAudioExt->text(), QStringLiteral("ac3"));
        QCOMPARE(ui.eVideoExt->text(), QStringLiteral("m2v"));
        QCOMPARE(ui.eSubExt->text(), QStringLiteral("spu"));
        QCOMPARE(ui.eWorkdir->text(), QStringLiteral("/out/"));
        QVERIFY(!ui.cbContinue->isChecked());
        QVERIFY(!ui.cbFastCheck->isChecked());
        QVERIFY(!ui.cbCountFr->isChecked());
        QCOMPARE(window.commands().input().EVOdir, std::string("/disc/HVDVD_TS/"));
        QCOMPARE(window.commands().input().XPLdir, std::string("/disc/ADV_OBJ/"));
        ui.PageControl->setCurrentWidget(ui.tsXPL);
        QCoreApplication::processEvents();
        QCOMPARE(ui.tvXPL->width(), 130);

        ui.eSubExt->setText(QStringLiteral("sub"));
        ui.cbFastCheck->setChecked(true);
        window.move(50, 60);
        window.setOuterWidth(600);
        QVERIFY(window.close());
        QCOMPARE(stored("SubExt"), QStringLiteral("sub"));
        QCOMPARE(stored("FastCheck"), QStringLiteral("1"));
        QCOMPARE(stored("Continue"), QStringLiteral("0"));
        QCOMPARE(stored("Left"), QStringLiteral("50"));
        QCOMPARE(stored("Top"), QStringLiteral("60"));
        QCOMPARE(stored("Width"), QStringLiteral("600"));
        QCOMPARE(stored("TreeWidth"), QStringLiteral("130"));
        QCOMPARE(stored("EVOdir"), QStringLiteral("/disc/HVDVD_TS/"));
        QCOMPARE(stored("XPLdir"), QStringLiteral("/disc/ADV_OBJ/"));
    }

    void newOptionsRoundTrip() {
        // Matroska and SubpictureForm as stored (invalid: absent), and the box and the user's
        // own choice of form they give. The first-run test shows that defaults add no value.
        const struct {
            QVariant matroska, form;
            bool ticked;
            int chosen;
        } rows[] = {{{}, {}, false, 0}, {{}, 1, false, 1}, {1, "1", true, 1}, {5, -1, true, 0}};
        for (const auto& row : rows) {
            config_ = std::make_unique<ConfigFolder>();
            if (row.matroska.isValid()) preset({{"Matroska", row.matroska}});
            if (row.form.isValid()) preset({{"SubpictureForm", row.form}});
            const int next = (row.chosen + 1) % 3;
            for (int run = 0; run < 2; ++run) {
                auto w = startWindow();
                const MainControls& ui = w->ui;
                QCOMPARE(w->errors, QStringList());
                QCOMPARE(ui.cbMatroska->isChecked(), run == 1 || row.ticked);
                QCOMPARE(ui.cbxSubForm->currentIndex(),
                         ui.cbMatroska->isChecked() ? 2 : row.chosen);
                ui.cbMatroska->setChecked(false);
                QCOMPARE(ui.cbxSubForm->currentIndex(), run == 0 ? row.chosen : next);
                // The first run stores a changed choice under Matroska, the second the defaults.
                ui.cbxSubForm->setCurrentIndex(run == 0 ? next : 0);
                ui.cbMatroska->setChecked(run == 0);
                QVERIFY((*w)->close());
                QCOMPARE(stored("Matroska"), QString::number(run == 0));
                QCOMPARE(stored("SubpictureForm"), QString::number(run == 0 ? next : 0));
            }
        }
    }

    void dialogsOpenInTheFoldersOfTheLastRun() {
        preset({{"EVOdir", "/disc/HVDVD_TS/"}, {"XPLdir", "/disc/ADV_OBJ/"}});
        auto w = startWindow();
        QString evoFolder, xplFolder;
        (*w)->odEVOfile.runner = [&](OpenFileDialog& d) { return evoFolder = d.initialDir, false; };
        (*w)->odXPL.runner = [&](OpenFileDialog& d) { return xplFolder = d.initialDir, false; };
        (*w)->bbEVOClick();
        QCOMPARE(evoFolder, QStringLiteral("/disc/HVDVD_TS/"));
        (*w)->bbXPLClick();
        QCOMPARE(xplFolder, QStringLiteral("/disc/ADV_OBJ/"));
    }

    void foldersOfTheChosenFilesAreStored() {
        auto w = startWindow();
        QVERIFY(dropFiles(**w, {"/media/disc/HVDVD_TS/FEATURE_1.EVO"}));
        QVERIFY((*w)->close());
        QCOMPARE(stored("EVOdir"), QStringLiteral("/media/disc/HVDVD_TS/"));
        QCOMPARE(stored("XPLdir"), QStringLiteral("/media/disc/ADV_OBJ/"));
    }

    void maximizedCloseKeepsTheEarlierGeometry() {
        preset({{"Top", 30}, {"Left", 40}, {"Width", 500}, {"Height", 450}});
        {
            auto w = startWindow();
            (*w)->showMaximized();
            QCoreApplication::processEvents();
            QVERIFY((*w)->isMaximized());
            QVERIFY((*w)->close());
        }
        QCOMPARE(stored("WindowState"), QStringLiteral("2"));
        QCOMPARE(stored("Top"), QStringLiteral("30"));
        QCOMPARE(stored("Left"), QStringLiteral("40"));
        QCOMPARE(stored("Width"), QStringLiteral("500"));
        QCOMPARE(stored("Height"), QStringLiteral("450"));

        // The next run takes the old size back, then maximizes.
        auto w = startWindow();
        QCoreApplication::processEvents();
        QVERIFY((*w)->windowState() & Qt::WindowMaximized);
        (*w)->showNormal();
        QCoreApplication::processEvents();
        QCOMPARE((*w)->outerWidth(), 500);
    }

    void sizeBelowTheMinimumIsRaised() {
        preset({{"Width", 200}, {"Height", 100}});
        auto w = startWindow();
        QCOMPARE((*w)->outerWidth(), 370);
        QCOMPARE((*w)->outerHeight(), 380);
    }

    void flagsReadAsAnyNonZero() {
        preset({{"Continue", 5}, {"FastCheck", 0}, {"CountFrames", -1}});
        auto w = startWindow();
        QVERIFY(w->ui.cbContinue->isChecked());
        QVERIFY(!w->ui.cbFastCheck->isChecked());
        QVERIFY(w->ui.cbCountFr->isChecked());
    }

    void integersAsTextAndTextsOfDigits() {
        preset({{"Left", "7"}, {"Top", "+12"}, {"Workdir", 123}, {"AudioExt", "mpeg4a"}});
        auto w = startWindow();
        QCOMPARE(w->errors, QStringList());
        QCOMPARE((*w)->pos(), QPoint(7, 12));
        QCOMPARE(w->ui.eWorkdir->text(), QStringLiteral("123"));
        // The typing limit of five doesn't cut a stored extension.
        QCOMPARE(w->ui.eAudioExt->text(), QStringLiteral("mpeg4a"));
    }

    void readErrorStopsTheLoading_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("audioExtApplied");
        QTest::newRow("text for an integer")
            << "Width" << QVariant("abc") << "Invalid data type for 'Width'" << false;
        QTest::newRow("fraction") << "Top" << QVariant("5.0") << "Invalid data type for 'Top'"
                                  << false;
        QTest::newRow("empty") << "TreeWidth" << QVariant("") << "Invalid data type for 'TreeWidth'"
                               << false;
        QTest::newRow("sign only")
            << "Left" << QVariant("-") << "Invalid data type for 'Left'" << false;
        QTest::newRow("word for a flag")
            << "Continue" << QVariant("yes") << "Invalid data type for 'Continue'" << true;
        QTest::newRow("binary for a text") << "VideoExt" << QVariant(QByteArray("\x01\x02", 2))
                                           << "Invalid data type for 'VideoExt'" << true;
        QTest::newRow("list for a text") << "Workdir" << QVariant(QStringList({"a", "b"}))
                                         << "Invalid data type for 'Workdir'" << true;
        QTest::newRow("above 32 bits")
            << "Height" << QVariant("99999999999") << "Failed to get data for 'Height'" << false;
        QTest::newRow("just above 32 bits") << "WindowState" << QVariant("2147483648")
                                            << "Failed to get data for 'WindowState'" << false;
        QTest::newRow("just below 32 bits") << "TreeWidth" << QVariant("-2147483649")
                                            << "Failed to get data for 'TreeWidth'" << false;
        QTest::newRow("huge digits") << "Left" << QVariant(QString(40, QLatin1Char('9')))
                                     << "Failed to get data for 'Left'" << false;
    }

    void readErrorStopsTheLoading() {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QFETCH(QString, message);
        QFETCH(bool, audioExtApplied);
        // AudioExt is read after the geometry values and before the texts and flags;
        // CountFrames is read last.
        preset({{"AudioExt", "early"}, {"CountFrames", 0}, {name, value}});
        auto w = startWindow();
        TfMain& window = **w;
        const MainControls& ui = w->ui;
        QCOMPARE(w->errors, QStringList({message}));
        QCOMPARE(ui.eAudioExt->text(),
                 audioExtApplied ? QStringLiteral("early") : QStringLiteral("mpa"));
        QVERIFY(ui.cbCountFr->isChecked());
        // The activation stopped before the reset of the stream boxes.
        QCOMPARE(window.streamBox(SlotKind::Video, 0)->text(), QStringLiteral("Video stream"));
        QCOMPARE(window.streamBox(SlotKind::Audio, 4)->text(), QStringLiteral("Audio stream"));
        // The window goes on working.
        QVERIFY(dropFiles(window, {"/films/MOVIE.EVO"}));
        QVERIFY(ui.bCheck->isEnabled());
    }

    void readErrorInAMessageBox() {
        preset({{"Top", "high"}});
        TfMain window;
        ModalBoxAnswer answer(QStringLiteral("OK"));
        window.show();
        QTRY_VERIFY(answer.answered);
        QCOMPARE(answer.text, QStringLiteral("Invalid data type for 'Top'"));
        QCOMPARE(answer.icon, QMessageBox::Critical);
        QVERIFY(window.isVisible());
    }

    void storeThatCannotBeWrittenIsLeftAlone() {
        // A folder where the settings file belongs: the store can't be opened for writing.
        QVERIFY(QDir().mkpath(config_->settingsFile()));
        auto w = startWindow();
        QVERIFY((*w)->close());
        QVERIFY(w->errors.isEmpty());
        QVERIFY(QFileInfo(config_->settingsFile()).isDir());
    }

  private:
    std::unique_ptr<ConfigFolder> config_;
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
