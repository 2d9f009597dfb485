#include "app/window_host.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include "app/ole_date.h"
#include "app/status_line.h"
#include "app/ui_text.h"

namespace tarnwell {

WindowHost::WindowHost(QWidget& window, const MainControls& controls)
    : window_(window), ui_(controls) {}

// --- Reporting -----------------------------------------------------------------------------------

void WindowHost::log(std::string_view text) {
    // The first line goes into the empty document's first block; later ones start new lines.
    if (!logStarted_ && ui_.mMessage->document()->isEmpty())
        ui_.mMessage->setPlainText(qt(text));
    else
        ui_.mMessage->appendPlainText(qt(text));
    logStarted_ = true;
    auto* bar = ui_.mMessage->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void WindowHost::slog(std::string_view text, std::uint8_t panel) {
    if (panel > 1) return;
    StatusLine* line = ui_.StatusBar;
    const QString shown = QLatin1Char(' ') + qt(text);
    const int width = QFontMetrics(line->font()).horizontalAdvance(shown + QLatin1Char('a'));
    line->setPanel(panel, shown, width);
    if (panel == 1) line->setToolTip(qt(text));
    line->repaint();
}

// --- Host ----------------------------------------------------------------------------------------

void WindowHost::processEvents() {
    QCoreApplication::processEvents();
    if (onEventsProcessed) onEventsProcessed();
}

void WindowHost::repaint() {
    window_.repaint();
}

void WindowHost::setCommandEnabled(Command command, bool enabled) {
    commandEnabled_[index(command)] = enabled;
    applyCommandStates();
}

void WindowHost::showPage(int page) {
    ui_.PageControl->setCurrentIndex(page);
}

bool WindowHost::isOptionChecked(Option option) const {
    switch (option) {
        case Option::Continue:
            return ui_.cbContinue->isChecked();
        case Option::FastCheck:
            return ui_.cbFastCheck->isChecked();
        case Option::CountFrames:
            return ui_.cbCountFr->isChecked();
        case Option::MatroskaReady:
            return ui_.cbMatroska->isChecked();
        case Option::MakeMkv:
            return ui_.cbMakeMkv->isChecked();
    }
    return false;
}

SubpictureForm WindowHost::subpictureForm() const {
    // With "Matroska-ready files" ticked the choice shows PGS, whatever the user picked.
    return static_cast<SubpictureForm>(ui_.cbxSubForm->currentIndex());
}

std::string WindowHost::optionText(TextOption option) const {
    switch (option) {
        case TextOption::Workdir:
            return ui_.eWorkdir->text().toStdString();
        case TextOption::VideoExt:
            return ui_.eVideoExt->text().toStdString();
        case TextOption::AudioExt:
            return ui_.eAudioExt->text().toStdString();
        case TextOption::SubExt:
            return ui_.eSubExt->text().toStdString();
    }
    return {};
}

bool WindowHost::confirm(std::string_view question) {
    if (confirmHook) return confirmHook(qt(question));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), qt(question),
                    QMessageBox::NoButton, &window_);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

double WindowHost::now() const {
    return oleDateNow();
}

// --- Command buttons -----------------------------------------------------------------------------

QPushButton* WindowHost::commandButton(Command command) const {
    switch (command) {
        case Command::ReadEvo:
            return ui_.bCheck;
        case Command::Demux:
            return ui_.bDemux;
        case Command::ReadXpl:
            return ui_.bReadXPL;
        case Command::Rebuild:
            return ui_.bRebuild;
        case Command::Cancel:
            return ui_.bCancel;
    }
    return nullptr;
}

void WindowHost::setJobActive(bool active) {
    jobActive_ = active;
    applyCommandStates();
}

void WindowHost::applyCommandStates() {
    for (int c = 0; c < kCommandCount; ++c) {
        const auto command = static_cast<Command>(c);
        const bool usable = !jobActive_ || command == Command::Cancel;
        commandButton(command)->setEnabled(commandEnabled_[c] && usable);
    }
}

}  // namespace tarnwell
