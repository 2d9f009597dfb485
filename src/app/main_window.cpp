#include "app/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <exception>

#include "app/browse_glyph.h"
#include "app/jpeg_image.h"
#include "app/ole_date.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "app/typing_limit.h"
#include "app/ui_fonts.h"
#include "engine/version.h"

// Resources of a static library must be registered by name, outside any namespace.
static QByteArray logoJpegBytes() {
    Q_INIT_RESOURCE(app_resources);
    QFile file(QStringLiteral(":/tarnwell/logo.jpg"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

namespace tarnwell {

namespace {

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A hint holds a short tooltip, then optionally "|" and a long hint that isn't shown.
QString tooltipOf(const QString& hint) {
    return hint.section(QLatin1Char('|'), 0, 0);
}

// Check box captions are shown as they are; "&" is not a shortcut marker.
QString literalCaption(const std::string& caption) {
    return qt(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

int kindIndex(SlotKind kind) {
    return static_cast<int>(kind);
}

QString boxName(SlotKind kind, int n) {
    switch (kind) {
        case SlotKind::Video:
            return QStringLiteral("cbVideo%1").arg(n);
        case SlotKind::Audio:
            return QStringLiteral("cbAudio%1").arg(n, 2, 10, QLatin1Char('0'));
        case SlotKind::Subpicture:
            return QStringLiteral("cbSub%1").arg(n, 2, 10, QLatin1Char('0'));
    }
    return {};
}

constexpr int kBoxRowTops[8] = {9, 31, 53, 75, 98, 120, 142, 165};
constexpr int kBoxWidth = 140;
constexpr int kBoxHeight = 17;
constexpr int kStatusBarHeight = 21;
constexpr int kSplitterMinimum = 50;

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A check box keeps its design size, grown only where the font needs more room for the caption.
void placeOptionBox(QCheckBox* box, QRect design) {
    box->setGeometry(design.x(), design.y(), std::max(design.width(), box->sizeHint().width()),
                     design.height());
}

}  // namespace

TfMain::TfMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(QStringLiteral("Tarnwell ") + QString::fromLatin1(kVersion));
    setWindowIconText(QStringLiteral("HD DVD Tarnwell"));
    setFont(controlFont());

    commands_ =
        std::make_unique<Commands>(static_cast<ReportSink&>(*this), static_cast<Host&>(*this));
    createControls();
    setTabOrder();
    bindCore();

    updateMinimumSize();
    resize(kDesignClientWidth, kDesignClientHeight);
    move(0, 0);
    FormResize();
}

TfMain::~TfMain() {
    commands_->playlist().removeObserver(this);
    commands_->selection().removeObserver(this);
    commands_->input().onFieldsChanged = nullptr;
}

void TfMain::createControls() {
    eEVOfile = named(new QLineEdit(this), "eEVOfile");
    eEVOfile->setReadOnly(true);
    eEVOfile->setToolTip(
        tooltipOf(QStringLiteral("Drop here the source EVO file|You cannot write here directly")));
    layout_.add(eEVOfile, {8, 8, 249, 21}, AnchorLeft | AnchorTop | AnchorRight);

    bbEVO = named(new QToolButton(this), "bbEVO");
    bbEVO->setIcon(browseIcon());
    bbEVO->setIconSize(QSize(16, 16));
    bbEVO->setToolTip(QStringLiteral("Browse an EVO file"));
    layout_.add(bbEVO, {263, 6, 25, 25}, AnchorTop | AnchorRight);

    bCheck = named(new QPushButton(QStringLiteral("Read EVO"), this), "bCheck");
    bCheck->setToolTip(QStringLiteral("Read the source EVO file to detect streams"));
    layout_.add(bCheck, {294, 7, 60, 25}, AnchorTop | AnchorRight);

    eXPLfile = named(new QLineEdit(this), "eXPLfile");
    eXPLfile->setReadOnly(true);
    eXPLfile->setToolTip(QStringLiteral("Drop here the VPLST000.XPL"));
    layout_.add(eXPLfile, {8, 40, 249, 21}, AnchorLeft | AnchorTop | AnchorRight);

    bbXPL = named(new QToolButton(this), "bbXPL");
    bbXPL->setIcon(browseIcon());
    bbXPL->setIconSize(QSize(16, 16));
    bbXPL->setToolTip(QStringLiteral("Browse the HD DVD disc's VPLST000.XPL"));
    layout_.add(bbXPL, {263, 38, 25, 25}, AnchorTop | AnchorRight);

    bReadXPL = named(new QPushButton(QStringLiteral("Read XPL"), this), "bReadXPL");
    bReadXPL->setToolTip(QStringLiteral("Read the XPL file to detect stream infos"));
    layout_.add(bReadXPL, {294, 38, 60, 25}, AnchorTop | AnchorRight);

    PageControl = named(new QTabWidget(this), "PageControl");
    layout_.add(PageControl, {8, 69, 346, 219}, AnchorAll);

    tsStatus = named(new QWidget(PageControl), "tsStatus");
    mMessage = named(new QPlainTextEdit(tsStatus), "mMessage");
    mMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    mMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* statusLayout = new QVBoxLayout(tsStatus);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->addWidget(mMessage);
    PageControl->addTab(tsStatus, QStringLiteral("Status"));

    tsVideo = named(new QWidget(PageControl), "tsVideo");
    createStreamPage(tsVideo, SlotKind::Video);
    PageControl->addTab(tsVideo, QStringLiteral("Video"));
    tsAudio = named(new QWidget(PageControl), "tsAudio");
    createStreamPage(tsAudio, SlotKind::Audio);
    PageControl->addTab(tsAudio, QStringLiteral("Audio"));
    tsSubpicture = named(new QWidget(PageControl), "tsSubpicture");
    createStreamPage(tsSubpicture, SlotKind::Subpicture);
    PageControl->addTab(tsSubpicture, QStringLiteral("Subpicture"));
    const QString pageHints[] = {QStringLiteral("Check the desired video stream"),
                                 QStringLiteral("Check the desired audio streams"),
                                 QStringLiteral("Check the desired subpicture streams")};
    for (int page = 1; page <= 3; ++page) {
        PageControl->setTabToolTip(page, pageHints[page - 1]);
        PageControl->widget(page)->setToolTip(pageHints[page - 1]);
    }

    createXplPage();
    createOptionsPage();
    PageControl->setCurrentIndex(kStatusPage);

    bDemux = named(new QPushButton(QStringLiteral("Demux"), this), "bDemux");
    QFont bold = bDemux->font();
    bold.setBold(true);
    bDemux->setFont(bold);
    bDemux->setToolTip(QStringLiteral("Demux the source EVO to streams"));
    layout_.add(bDemux, {8, 294, 60, 25}, AnchorLeft | AnchorBottom);

    bRebuild = named(new QPushButton(QStringLiteral("Rebuild"), this), "bRebuild");
    layout_.add(bRebuild, {74, 294, 60, 25}, AnchorLeft | AnchorBottom);

    imLogo = named(new QLabel(this), "imLogo");
    imLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imLogo->setPixmap(QPixmap::fromImage(decodeJpeg(logoJpegBytes())));
    imLogo->setToolTip(QStringLiteral("HD DVD logo :-)"));
    layout_.add(imLogo, {153, 292, 125, 31}, AnchorBottom);

    bCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "bCancel");
    bCancel->setToolTip(QStringLiteral("You can stop the actual process"));
    layout_.add(bCancel, {294, 294, 60, 25}, AnchorRight | AnchorBottom);

    StatusBar = named(new StatusLine(this), "StatusBar");
    StatusBar->setPanel(0, QStringLiteral(" Ready"), 40);
    StatusBar->setPanel(1, QStringLiteral(" Select or drop an EVO file to demux"), 50);
    StatusBar->setToolTip(QStringLiteral(" Select or drop an EVO file to demux"));
    layout_.add(StatusBar,
                {0, kDesignClientHeight - kStatusBarHeight, kDesignClientWidth, kStatusBarHeight},
                AnchorLeft | AnchorRight | AnchorBottom);

    // Drops land on the window itself, wherever they are let go.
    for (auto* child : findChildren<QWidget*>()) child->setAcceptDrops(false);

    connect(bbEVO, &QToolButton::clicked, this, &TfMain::bbEVOClick);
    connect(bCheck, &QPushButton::clicked, this, &TfMain::bCheckClick);
    connect(bbXPL, &QToolButton::clicked, this, &TfMain::bbXPLClick);
    connect(bReadXPL, &QPushButton::clicked, this, &TfMain::bReadXPLClick);
    connect(bDemux, &QPushButton::clicked, this, &TfMain::bDemuxClick);
    connect(bRebuild, &QPushButton::clicked, this, &TfMain::bRebuildClick);
    connect(bCancel, &QPushButton::clicked, this, &TfMain::bCancelClick);

    odEVOfile.title = QStringLiteral("Choose the EVO file to demux");
    odEVOfile.filter = QStringLiteral("EVO files (*.EVO)");
    odEVOfile.defaultSuffix = QStringLiteral("EVO");
    odEVOfile.fileMustExist = true;
    odXPL.filter = QStringLiteral("XPL (VPLST000.XPL)");
    odXPL.defaultSuffix = QStringLiteral("xpl");
}

void TfMain::createStreamPage(QWidget* page, SlotKind kind) {
    for (int n = 0; n < StreamSelection::slotCount(kind); ++n) {
        auto* box = new QCheckBox(page);
        box->setObjectName(boxName(kind, n));
        box->setGeometry(n < 8 ? 9 : 165, kBoxRowTops[n % 8], kBoxWidth, kBoxHeight);
        streamBoxes_[kindIndex(kind)][n] = box;
        connect(box, &QCheckBox::clicked, this, [this, kind, n] {
            commands_->selection().click(kind, n);
            // The model decides; the box shows what it holds.
            showSlot(kind, n);
        });
    }
}

void TfMain::createXplPage() {
    tsXPL = named(new QWidget(PageControl), "tsXPL");
    splXPL = named(new QSplitter(Qt::Horizontal, tsXPL), "splXPL");
    splXPL->setChildrenCollapsible(false);

    tvXPL = named(new QTreeWidget(splXPL), "tvXPL");
    tvXPL->setHeaderHidden(true);
    tvXPL->setColumnCount(1);
    tvXPL->setIndentation(19);
    tvXPL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvXPL->setToolTip(QStringLiteral("Infos from your XPL file"));
    tvXPL->setMinimumWidth(kSplitterMinimum);

    mXPL = named(new QPlainTextEdit(splXPL), "mXPL");
    mXPL->setFont(monospaceFont());
    mXPL->setReadOnly(true);
    mXPL->setLineWrapMode(QPlainTextEdit::NoWrap);
    mXPL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mXPL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mXPL->setToolTip(QStringLiteral("This is your XPL file (part of it)"));
    mXPL->setMinimumWidth(kSplitterMinimum);

    // The tree keeps its width when the window is resized; the text view takes the rest.
    splXPL->setStretchFactor(0, 0);
    splXPL->setStretchFactor(1, 1);
    connect(splXPL, &QSplitter::splitterMoved, this,
            [this](int position, int) { pendingTreeWidth_ = position; });

    auto* xplLayout = new QVBoxLayout(tsXPL);
    xplLayout->setContentsMargins(0, 0, 0, 0);
    xplLayout->addWidget(splXPL);
    PageControl->addTab(tsXPL, QStringLiteral("XPL"));
    setTreeWidth(kDesignTreeWidth);
}

void TfMain::createOptionsPage() {
    tsOption = named(new QWidget(PageControl), "tsOption");

    gbFile = named(new QGroupBox(tsOption), "gbFile");
    gbFile->setGeometry(3, 0, 320, 78);
    lVideoExt = named(new QLabel(QStringLiteral("Extensions (video, audio, subtitle)"), gbFile),
                      "lVideoExt");
    lVideoExt->move(13, 19);
    lVideoExt->adjustSize();
    const struct {
        QLineEdit** field;
        const char* name;
        int left;
        const char* text;
    } extensions[] = {{&eVideoExt, "eVideoExt", 182, "mpv"},
                      {&eAudioExt, "eAudioExt", 226, "mpa"},
                      {&eSubExt, "eSubExt", 270, "sup"}};
    for (const auto& extension : extensions) {
        auto* field =
            named(new QLineEdit(QString::fromLatin1(extension.text), gbFile), extension.name);
        field->setGeometry(extension.left, 16, 38, 21);
        field->setValidator(new TypingLimit(field, 5));
        *extension.field = field;
    }
    lWorkdir = named(new QLabel(QStringLiteral("Output folder"), gbFile), "lWorkdir");
    lWorkdir->move(12, 48);
    lWorkdir->adjustSize();
    eWorkdir = named(new QLineEdit(gbFile), "eWorkdir");
    eWorkdir->setGeometry(84, 45, 224, 21);

    cbContinue =
        named(new QCheckBox(QStringLiteral("Continue with second  EVO"), tsOption), "cbContinue");
    cbContinue->setChecked(true);
    cbContinue->setToolTip(QStringLiteral("Demux continues with e.g. FEATURE_2.EVO if it exists"));
    placeOptionBox(cbContinue, {3, 84, 149, 17});
    cbFastCheck =
        named(new QCheckBox(QStringLiteral("Fast EVO checking"), tsOption), "cbFastCheck");
    cbFastCheck->setChecked(true);
    cbFastCheck->setToolTip(QStringLiteral("Read EVO checks only the first ~300 MB of the file"));
    placeOptionBox(cbFastCheck, {3, 107, 112, 17});
    cbCountFr = named(new QCheckBox(QStringLiteral("Count frames"), tsOption), "cbCountFr");
    cbCountFr->setChecked(true);
    placeOptionBox(cbCountFr, {3, 130, 91, 17});

    PageControl->addTab(tsOption, QStringLiteral("Options"));
}

void TfMain::setTabOrder() {
    QWidget* order[] = {eEVOfile, bbEVO,       bCheck, eXPLfile, bbXPL,
                        bReadXPL, PageControl, bDemux, bRebuild, bCancel};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    for (auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture})
        for (int n = 1; n < StreamSelection::slotCount(kind); ++n)
            QWidget::setTabOrder(streamBox(kind, n - 1), streamBox(kind, n));
    QWidget* options[] = {eVideoExt,  eAudioExt,   eSubExt,  eWorkdir,
                          cbContinue, cbFastCheck, cbCountFr};
    for (std::size_t i = 1; i < std::size(options); ++i)
        QWidget::setTabOrder(options[i - 1], options[i]);
    QWidget::setTabOrder(tvXPL, mXPL);
}

void TfMain::bindCore() {
    commands_->selection().addObserver(this);
    for (auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture})
        for (int n = 0; n < StreamSelection::slotCount(kind); ++n) showSlot(kind, n);

    commands_->playlist().addObserver(this);
    treeChanged();
    tagViewVisible(commands_->playlist().tagViewVisible);

    commands_->input().onFieldsChanged = [this] { showInputFields(); };
    applyCommandStates();
}

// --- Reporting ---------------------------------------------------------------------------------

void TfMain::log(std::string_view text) {
    // The first line goes into the empty document's first block; later ones start new lines.
    if (!logStarted_ && mMessage->document()->isEmpty())
        mMessage->setPlainText(qt(text));
    else
        mMessage->appendPlainText(qt(text));
    logStarted_ = true;
    auto* bar = mMessage->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TfMain::slog(std::string_view text, std::uint8_t panel) {
    if (panel > 1) return;
    const QString shown = QLatin1Char(' ') + qt(text);
    const int width = QFontMetrics(StatusBar->font()).horizontalAdvance(shown + QLatin1Char('a'));
    StatusBar->setPanel(panel, shown, width);
    if (panel == 1) StatusBar->setToolTip(qt(text));
    StatusBar->repaint();
}

// --- Host ----------------------------------------------------------------------------------------

void TfMain::processEvents() {
    QCoreApplication::processEvents();
    // A close asked for while a job runs stops it, whatever the job cleared since.
    if (closePending_) commands_->state().CancelRequested = true;
}

void TfMain::repaint() {
    QWidget::repaint();
}

void TfMain::setCommandEnabled(Command command, bool enabled) {
    commandEnabled_[index(command)] = enabled;
    applyCommandStates();
}

void TfMain::showPage(int page) {
    PageControl->setCurrentIndex(page);
}

bool TfMain::isOptionChecked(Option option) const {
    switch (option) {
        case Option::Continue:
            return cbContinue->isChecked();
        case Option::FastCheck:
            return cbFastCheck->isChecked();
        case Option::CountFrames:
            return cbCountFr->isChecked();
    }
    return false;
}

std::string TfMain::optionText(TextOption option) const {
    switch (option) {
        case TextOption::Workdir:
            return eWorkdir->text().toStdString();
        case TextOption::VideoExt:
            return eVideoExt->text().toStdString();
        case TextOption::AudioExt:
            return eAudioExt->text().toStdString();
        case TextOption::SubExt:
            return eSubExt->text().toStdString();
    }
    return {};
}

bool TfMain::confirm(std::string_view question) {
    if (confirmHook) return confirmHook(qt(question));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), qt(question),
                    QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

double TfMain::now() const {
    return oleDateNow();
}

// --- Commands ------------------------------------------------------------------------------------

QPushButton* TfMain::commandButton(Command command) const {
    switch (command) {
        case Command::ReadEvo:
            return bCheck;
        case Command::Demux:
            return bDemux;
        case Command::ReadXpl:
            return bReadXPL;
        case Command::Rebuild:
            return bRebuild;
        case Command::Cancel:
            return bCancel;
    }
    return nullptr;
}

void TfMain::applyCommandStates() {
    // While a job runs only Cancel may act; the others show disabled and get their own state
    // back when the job ends.
    for (int c = 0; c < kCommandCount; ++c) {
        const auto command = static_cast<Command>(c);
        const bool usable = !jobActive_ || command == Command::Cancel;
        commandButton(command)->setEnabled(commandEnabled_[c] && usable);
    }
}

template <typename Job>
void TfMain::runJob(Command own, Job&& job) {
    if (commands_->jobRunning()) return;  // a second job is refused
    jobActive_ = true;
    applyCommandStates();
    bool failed = false;
    QString error;
    try {
        job();
    } catch (const std::exception& e) {
        failed = true;
        error = QString::fromUtf8(e.what());
    }
    jobActive_ = false;
    if (failed) restoreAfterError(own);
    applyCommandStates();
    if (failed) showError(error);
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

void TfMain::restoreAfterError(Command own) {
    // The job's guarded block closed its files; give the user the buttons back.
    auto& input = commands_->input();
    switch (own) {
        case Command::ReadEvo:
            commandEnabled_[index(own)] = !input.evoField().empty();
            break;
        case Command::ReadXpl:
            commandEnabled_[index(own)] = !input.XPLname.empty();
            break;
        default:
            commandEnabled_[index(own)] = true;
            break;
    }
    commandEnabled_[index(Command::Cancel)] = false;
    commands_->playlist().setTagViewVisible(true);
}

void TfMain::showError(const QString& text) {
    if (errorHook) {
        errorHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString(), text, QMessageBox::Ok, this);
    box.exec();
}

void TfMain::bCheckClick() {
    runJob(Command::ReadEvo, [this] { commands_->bCheckClick(); });
}

void TfMain::bDemuxClick() {
    runJob(Command::Demux, [this] { commands_->bDemuxClick(); });
}

void TfMain::bReadXPLClick() {
    runJob(Command::ReadXpl, [this] { commands_->bReadXPLClick(); });
}

void TfMain::bRebuildClick() {
    runJob(Command::Rebuild, [this] { commands_->bRebuildClick(); });
}

void TfMain::bCancelClick() {
    commands_->bCancelClick();
}

void TfMain::bbEVOClick() {
    auto& input = commands_->input();
    odEVOfile.initialDir = qt(input.EVOdir);
    // Chosen or cancelled, the field gets the dialog's file name.
    odEVOfile.execute(this);
    input.chooseEvo(odEVOfile.fileName.toStdString(), *this);
}

void TfMain::bbXPLClick() {
    auto& input = commands_->input();
    odXPL.initialDir = qt(input.XPLdir);
    odXPL.fileName = qt(input.xplDialogFileName);
    if (odXPL.execute(this)) input.xplDialogFileName = odXPL.fileName.toStdString();
    input.chooseXpl(odXPL.fileName.toStdString(), *this);
}

void TfMain::WMDropFiles(const QStringList& files) {
    if (files.isEmpty()) return;
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(files.size()));
    for (const auto& file : files) paths.push_back(file.toStdString());
    commands_->input().dropFiles(paths, *this);
}

void TfMain::showInputFields() {
    const auto& input = commands_->input();
    eEVOfile->setText(qt(input.evoField()));
    eXPLfile->setText(qt(input.xplField()));
}

// --- Views of the core's models ------------------------------------------------------------------

QCheckBox* TfMain::streamBox(SlotKind kind, int n) const {
    if (n < 0 || n >= StreamSelection::slotCount(kind)) return nullptr;
    return streamBoxes_[kindIndex(kind)][n];
}

void TfMain::slotChanged(SlotKind kind, int n, SlotField) {
    showSlot(kind, n);
}

void TfMain::showSlot(SlotKind kind, int n) {
    QCheckBox* box = streamBox(kind, n);
    if (!box) return;
    const SelectionSlot& slot = commands_->selection().slot(kind, n);
    box->setEnabled(slot.Enabled);
    box->setChecked(slot.Checked);
    box->setText(literalCaption(slot.Caption));
    box->setToolTip(tooltipOf(qt(slot.Hint)));
}

void TfMain::tagLinesCleared() {
    pendingTagLines_.clear();
    mXPL->clear();
}

void TfMain::tagLineAdded(const std::string& line) {
    // While the view is hidden the lines are gathered and shown in one go.
    if (mXPL->isHidden())
        pendingTagLines_ << qt(line);
    else
        mXPL->appendPlainText(qt(line));
}

void TfMain::tagViewVisible(bool visible) {
    if (visible && !pendingTagLines_.isEmpty()) {
        const QString lines = pendingTagLines_.join(QLatin1Char('\n'));
        pendingTagLines_.clear();
        // A view filled anew starts at the top.
        if (mXPL->document()->isEmpty())
            mXPL->setPlainText(lines);
        else
            mXPL->appendPlainText(lines);
    }
    mXPL->setVisible(visible);
}

void TfMain::treeChanged() {
    tvXPL->clear();
    std::function<void(QTreeWidgetItem*, const TreeNode&)> addChildren = [&](QTreeWidgetItem* item,
                                                                             const TreeNode& node) {
        for (const auto& child : node.children) {
            auto* childItem = new QTreeWidgetItem(item, QStringList(qt(child.text)));
            addChildren(childItem, child);
        }
    };
    for (const auto& node : commands_->playlist().tree) {
        auto* item = new QTreeWidgetItem(tvXPL, QStringList(qt(node.text)));
        addChildren(item, node);
    }
    tvXPL->expandAll();
}

// --- Window events -------------------------------------------------------------------------------

void TfMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfMain::FormShow() {
    setAcceptDrops(true);
    activateWindow();
}

void TfMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Loading runs after the activation has been handled, so its error box can take the focus.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_)
        QMetaObject::invokeMethod(this, &TfMain::FormActivate, Qt::QueuedConnection);
}

void TfMain::FormActivate() {
    if (activated_) return;
    activated_ = true;
    try {
        tarnwell::RegRead(*this);
        commands_->selection().Resetcbs();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void TfMain::closeEvent(QCloseEvent* event) {
    if (commands_->jobRunning()) {
        // The job stops at its next block and closes its files; the close follows then.
        closePending_ = true;
        commands_->state().CancelRequested = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfMain::FormClose() {
    try {
        tarnwell::RegWrite(*this);
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void TfMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TfMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    updateMinimumSize();
}

int TfMain::logoLeft(int outerWidth) {
    return outerWidth > 432 ? outerWidth / 2 - 63 : 153;
}

void TfMain::FormResize() {
    layout_.apply(size());
    imLogo->move(logoLeft(outerWidth()), imLogo->y());
    updateMinimumSize();
}

// Drops are taken from the first show on.
void TfMain::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptDrops() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfMain::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptDrops() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TfMain::dropEvent(QDropEvent* event) {
    if (!acceptDrops()) return;
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    WMDropFiles(files);
    event->acceptProposedAction();
}

// --- Geometry ------------------------------------------------------------------------------------

QMargins TfMain::frameMargins() const {
    // Until the window exists on the screen it has no frame.
    const QWindow* handle = windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

int TfMain::outerWidth() const {
    const QMargins margins = frameMargins();
    return width() + margins.left() + margins.right();
}

int TfMain::outerHeight() const {
    const QMargins margins = frameMargins();
    return height() + margins.top() + margins.bottom();
}

void TfMain::setOuterWidth(int outer) {
    const QMargins margins = frameMargins();
    resize(outer - margins.left() - margins.right(), height());
}

void TfMain::setOuterHeight(int outer) {
    const QMargins margins = frameMargins();
    resize(width(), outer - margins.top() - margins.bottom());
}

void TfMain::updateMinimumSize() {
    // The minimum holds for the outer size, so it depends on the frame the platform adds.
    const QMargins margins = frameMargins();
    const QSize minimum(kMinimumOuterWidth - margins.left() - margins.right(),
                        kMinimumOuterHeight - margins.top() - margins.bottom());
    if (minimumSize() == minimum) return;
    setMinimumSize(minimum);
    // Until the settings are loaded the window keeps its design size, now that the frame is known.
    if (!activated_) resize(kDesignClientWidth, kDesignClientHeight);
}

int TfMain::treeWidth() const {
    const QList<int> sizes = splXPL->sizes();
    return splXPL->isVisible() && !sizes.isEmpty() ? sizes.front() : pendingTreeWidth_;
}

void TfMain::setTreeWidth(int width) {
    pendingTreeWidth_ = std::max(width, kSplitterMinimum);
    const int total = std::max(splXPL->width(), pendingTreeWidth_ + kSplitterMinimum);
    splXPL->setSizes({pendingTreeWidth_, total - pendingTreeWidth_});
}

}  // namespace tarnwell
