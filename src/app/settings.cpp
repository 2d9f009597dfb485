#include "app/settings.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMetaType>
#include <QSettings>
#include <QVariant>
#include <cstdint>
#include <limits>
#include <optional>

#include "app/main_window.h"
#include "app/ole_date.h"
#include "app/subpicture_choice.h"

namespace tarnwell {

namespace {

QString quotedMessage(const char* pattern, const QString& name) {
    return QString::fromLatin1(pattern).arg(name);
}

[[noreturn]] void invalidType(const QString& name) {
    throw SettingsError(quotedMessage("Invalid data type for '%1'", name).toStdString());
}

[[noreturn]] void doesNotFit(const QString& name) {
    throw SettingsError(quotedMessage("Failed to get data for '%1'", name).toStdString());
}

bool isDecimalInteger(const QString& text) {
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')) return false;
    return true;
}

std::int32_t fitted(qlonglong value, const QString& name) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        doesNotFit(name);
    return static_cast<std::int32_t>(value);
}

bool isIntegral(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return true;
        default:
            return false;
    }
}

// The stored integer, nothing when the value is absent.
std::optional<std::int32_t> readInteger(const QSettings& store, const QString& name) {
    if (!store.contains(name)) return std::nullopt;
    const QVariant value = store.value(name);
    switch (value.typeId()) {
        case QMetaType::QString: {
            const QString text = value.toString();
            if (!isDecimalInteger(text)) invalidType(name);
            bool inRange = false;
            const qlonglong number = text.toLongLong(&inRange);
            if (!inRange) doesNotFit(name);
            return fitted(number, name);
        }
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
            return fitted(value.toLongLong(), name);
        case QMetaType::ULong:
        case QMetaType::ULongLong: {
            const qulonglong number = value.toULongLong();
            if (number > static_cast<qulonglong>(std::numeric_limits<std::int32_t>::max()))
                doesNotFit(name);
            return static_cast<std::int32_t>(number);
        }
        default:
            invalidType(name);
    }
}

std::optional<QString> readText(const QSettings& store, const QString& name) {
    if (!store.contains(name)) return std::nullopt;
    const QVariant value = store.value(name);
    // In the INI file a number is written as its digits, which read back as text.
    if (value.typeId() != QMetaType::QString && !isIntegral(value)) invalidType(name);
    return value.toString();
}

std::optional<bool> readFlag(const QSettings& store, const QString& name) {
    const auto number = readInteger(store, name);
    if (!number) return std::nullopt;
    return *number != 0;
}

void applyWindowState(TfMain& form, std::int32_t state) {
    switch (state) {
        case 1:
            form.setWindowState(Qt::WindowMinimized);
            break;
        case 2:
            form.setWindowState(Qt::WindowMaximized);
            break;
        default:
            form.setWindowState(Qt::WindowNoState);
            break;
    }
}

std::int32_t windowStateCode(const TfMain& form) {
    if (form.isMaximized()) return 2;
    if (form.isMinimized()) return 1;
    return 0;
}

// Stores one value and makes sure it reached the file before the next one.
void store(QSettings& settings, const QString& name, const QVariant& value) {
    settings.setValue(name, value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw SettingsError(quotedMessage("Failed to set data for '%1'", name).toStdString());
}

// The newer options are stored from the first close that finds them off their default (0) on,
// so the store of a user who never touches them keeps exactly the values it always had.
void storeOnceChanged(QSettings& settings, const QString& name, int value) {
    if (value != 0 || settings.contains(name)) store(settings, name, value);
}

}  // namespace

void nameApplication() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplication));
}

QStringList settingNames() {
    return {"WindowState", "Top",       "Left",        "Width",   "Height", "TreeWidth",
            "AudioExt",    "VideoExt",  "SubExt",      "Workdir", "EVOdir", "XPLdir",
            "Continue",    "FastCheck", "CountFrames", "Install"};
}

void RegRead(TfMain& form) {
    const QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    auto& input = form.commands().input();

    if (auto width = readInteger(settings, "Width")) form.setOuterWidth(*width);
    if (auto height = readInteger(settings, "Height")) form.setOuterHeight(*height);
    if (auto top = readInteger(settings, "Top")) form.move(form.pos().x(), *top);
    if (auto left = readInteger(settings, "Left")) form.move(*left, form.pos().y());
    if (auto state = readInteger(settings, "WindowState")) applyWindowState(form, *state);
    if (auto treeWidth = readInteger(settings, "TreeWidth")) form.setTreeWidth(*treeWidth);
    if (auto text = readText(settings, "AudioExt")) form.ui_.eAudioExt->setText(*text);
    if (auto text = readText(settings, "VideoExt")) form.ui_.eVideoExt->setText(*text);
    if (auto text = readText(settings, "SubExt")) form.ui_.eSubExt->setText(*text);
    if (auto text = readText(settings, "Workdir")) form.ui_.eWorkdir->setText(*text);
    if (auto text = readText(settings, "EVOdir")) input.EVOdir = text->toStdString();
    if (auto text = readText(settings, "XPLdir")) input.XPLdir = text->toStdString();
    if (auto flag = readFlag(settings, "Continue")) form.ui_.cbContinue->setChecked(*flag);
    if (auto flag = readFlag(settings, "FastCheck")) form.ui_.cbFastCheck->setChecked(*flag);
    if (auto flag = readFlag(settings, "CountFrames")) form.ui_.cbCountFr->setChecked(*flag);
    if (auto flag = readFlag(settings, "Matroska")) form.ui_.cbMatroska->setChecked(*flag);
    if (auto flag = readFlag(settings, "MakeMkv")) form.ui_.cbMakeMkv->setChecked(*flag);
    if (auto number = readInteger(settings, "SubpictureForm"))
        form.subpictureChoice_.choose(*number >= 0 && *number < kSubpictureFormCount
                                          ? static_cast<SubpictureForm>(*number)
                                          : kDefaultSubpictureForm);
}

void RegWrite(TfMain& form) {
    QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    if (!settings.isWritable()) return;
    const auto& input = form.commands().input();

    store(settings, "WindowState", windowStateCode(form));
    if (!form.isMaximized()) {
        store(settings, "Top", form.pos().y());
        store(settings, "Left", form.pos().x());
        store(settings, "Width", form.outerWidth());
        store(settings, "Height", form.outerHeight());
    }
    store(settings, "TreeWidth", form.treeWidth());
    store(settings, "AudioExt", form.ui_.eAudioExt->text());
    store(settings, "VideoExt", form.ui_.eVideoExt->text());
    store(settings, "SubExt", form.ui_.eSubExt->text());
    store(settings, "Workdir", form.ui_.eWorkdir->text());
    store(settings, "EVOdir", QString::fromStdString(input.EVOdir));
    store(settings, "XPLdir", QString::fromStdString(input.XPLdir));
    store(settings, "Continue", form.ui_.cbContinue->isChecked() ? 1 : 0);
    store(settings, "FastCheck", form.ui_.cbFastCheck->isChecked() ? 1 : 0);
    store(settings, "CountFrames", form.ui_.cbCountFr->isChecked() ? 1 : 0);
    storeOnceChanged(settings, "Matroska", form.ui_.cbMatroska->isChecked() ? 1 : 0);
    storeOnceChanged(settings, "MakeMkv", form.ui_.cbMakeMkv->isChecked() ? 1 : 0);
    storeOnceChanged(settings, "SubpictureForm", static_cast<int>(form.subpictureChoice_.chosen()));
    if (!settings.contains("Install")) store(settings, "Install", oleDateBytes(oleDateNow()));
}

}  // namespace tarnwell
