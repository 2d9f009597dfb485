#include "app/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/browse_glyph.h"
#include "app/jpeg_image.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "app/typing_limit.h"
#include "app/ui_fonts.h"
#include "app/ui_text.h"
#include "engine/version.h"
#include "jobs/disc_titles.h"

// Resources of a static library must be registered by name, outside any namespace.
static QByteArray logoJpegBytes() {
    Q_INIT_RESOURCE(app_resources);
    QFile file(QStringLiteral(":/tarnwell/logo.jpg"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

namespace tarnwell {

namespace {

QString boxName(SlotKind kind, int n) {
    const auto digits = QString::fromStdString(slotDigits(kind, n));
    switch (kind) {
        case SlotKind::Video:
            return QStringLiteral("cbVideo") + digits;
        case SlotKind::Audio:
            return QStringLiteral("cbAudio") + digits;
        case SlotKind::Subpicture:
            return QStringLiteral("cbSub") + digits;
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

// A folder holding HVDVD_TS, or HVDVD_TS or ADV_OBJ itself, letter case ignored. Any other
// folder dropped is passed over, as it always was.
bool isDiscFolder(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir()) return false;
    const auto named = [](const QString& name) {
        return name.compare(QStringLiteral("HVDVD_TS"), Qt::CaseInsensitive) == 0;
    };
    if (named(info.fileName()) ||
        info.fileName().compare(QStringLiteral("ADV_OBJ"), Qt::CaseInsensitive) == 0)
        return true;
    const QStringList folders = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return std::any_of(folders.begin(), folders.end(), named);
}

}  // namespace

TfMain::TfMain(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(QStringLiteral("Tarnwell ") + QString::fromLatin1(kVersion));
    setWindowIconText(QString::fromLatin1(kApplicationTitle));
    setFont(controlFont());

    createControls();
    setTabOrder();
    bindCore();

    updateMinimumSize();
    resize(kDesignClientWidth, kDesignClientHeight);
    move(0, 0);
    FormResize();
}

TfMain::~TfMain() {
    commands_.input().onFieldsChanged = nullptr;
}

void TfMain::createControls() {
    ui_.eEVOfile = named(new QLineEdit(this), "eEVOfile");
    ui_.eEVOfile->setReadOnly(true);
    ui_.eEVOfile->setToolTip(
        tooltipOf(QStringLiteral("Drop here the source EVO file|You cannot write here directly")));
    layout_.add(ui_.eEVOfile, {8, 8, 249, 21}, AnchorLeft | AnchorTop | AnchorRight);

    ui_.bbEVO = named(new QToolButton(this), "bbEVO");
    ui_.bbEVO->setIcon(browseIcon());
    ui_.bbEVO->setIconSize(QSize(16, 16));
    ui_.bbEVO->setToolTip(QStringLiteral("Browse an EVO file"));
    layout_.add(ui_.bbEVO, {263, 6, 25, 25}, AnchorTop | AnchorRight);

    ui_.bCheck = named(new QPushButton(QStringLiteral("Read EVO"), this), "bCheck");
    ui_.bCheck->setToolTip(QStringLiteral("Read the source EVO file to detect streams"));
    layout_.add(ui_.bCheck, {294, 7, 60, 25}, AnchorTop | AnchorRight);

    ui_.eXPLfile = named(new QLineEdit(this), "eXPLfile");
    ui_.eXPLfile->setReadOnly(true);
    ui_.eXPLfile->setToolTip(QStringLiteral("Drop here the VPLST000.XPL"));
    layout_.add(ui_.eXPLfile, {8, 40, 249, 21}, AnchorLeft | AnchorTop | AnchorRight);

    ui_.bbXPL = named(new QToolButton(this), "bbXPL");
    ui_.bbXPL->setIcon(browseIcon());
    ui_.bbXPL->setIconSize(QSize(16, 16));
    ui_.bbXPL->setToolTip(QStringLiteral("Browse the HD DVD disc's VPLST000.XPL"));
    layout_.add(ui_.bbXPL, {263, 38, 25, 25}, AnchorTop | AnchorRight);

    ui_.bReadXPL = named(new QPushButton(QStringLiteral("Read XPL"), this), "bReadXPL");
    ui_.bReadXPL->setToolTip(QStringLiteral("Read the XPL file to detect stream infos"));
    layout_.add(ui_.bReadXPL, {294, 38, 60, 25}, AnchorTop | AnchorRight);

    ui_.PageControl = named(new QTabWidget(this), "PageControl");
    layout_.add(ui_.PageControl, {8, 69, 346, 219}, AnchorAll);

    ui_.tsStatus = named(new QWidget(ui_.PageControl), "tsStatus");
    ui_.mMessage = named(new QPlainTextEdit(ui_.tsStatus), "mMessage");
    ui_.mMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    ui_.mMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui_.mMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* statusLayout = new QVBoxLayout(ui_.tsStatus);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->addWidget(ui_.mMessage);
    ui_.PageControl->addTab(ui_.tsStatus, QStringLiteral("Status"));

    ui_.tsVideo = named(new QWidget(ui_.PageControl), "tsVideo");
    createStreamPage(ui_.tsVideo, SlotKind::Video);
    ui_.PageControl->addTab(ui_.tsVideo, QStringLiteral("Video"));
    ui_.tsAudio = named(new QWidget(ui_.PageControl), "tsAudio");
    createStreamPage(ui_.tsAudio, SlotKind::Audio);
    ui_.PageControl->addTab(ui_.tsAudio, QStringLiteral("Audio"));
    ui_.tsSubpicture = named(new QWidget(ui_.PageControl), "tsSubpicture");
    createStreamPage(ui_.tsSubpicture, SlotKind::Subpicture);
    ui_.PageControl->addTab(ui_.tsSubpicture, QStringLiteral("Subpicture"));
    const QString pageHints[] = {QStringLiteral("Check the desired video stream"),
                                 QStringLiteral("Check the desired audio streams"),
                                 QStringLiteral("Check the desired subpicture streams")};
    for (int page = 1; page <= 3; ++page) {
        ui_.PageControl->setTabToolTip(page, pageHints[page - 1]);
        ui_.PageControl->widget(page)->setToolTip(pageHints[page - 1]);
    }

    createXplPage();
    createOptionsPage();
    titles_.create(ui_.PageControl, [this] { return static_cast<bool>(jobs_.makeMkvJob); });
    ui_.PageControl->setCurrentIndex(kStatusPage);

    ui_.bDemux = named(new QPushButton(QStringLiteral("Demux"), this), "bDemux");
    QFont bold = ui_.bDemux->font();
    bold.setBold(true);
    ui_.bDemux->setFont(bold);
    ui_.bDemux->setToolTip(QStringLiteral("Demux the source EVO to streams"));
    layout_.add(ui_.bDemux, {8, 294, 60, 25}, AnchorLeft | AnchorBottom);

    ui_.bRebuild = named(new QPushButton(QStringLiteral("Rebuild"), this), "bRebuild");
    layout_.add(ui_.bRebuild, {74, 294, 60, 25}, AnchorLeft | AnchorBottom);

    ui_.imLogo = named(new QLabel(this), "imLogo");
    ui_.imLogo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui_.imLogo->setPixmap(QPixmap::fromImage(decodeJpeg(logoJpegBytes())));
    ui_.imLogo->setToolTip(QStringLiteral("HD DVD logo :-)"));
    layout_.add(ui_.imLogo, {153, 292, 125, 31}, AnchorBottom);

    ui_.bCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "bCancel");
    ui_.bCancel->setToolTip(QStringLiteral("You can stop the actual process"));
    layout_.add(ui_.bCancel, {294, 294, 60, 25}, AnchorRight | AnchorBottom);

    ui_.StatusBar = named(new StatusLine(this), "StatusBar");
    ui_.StatusBar->setPanel(0, QStringLiteral(" Ready"), 40);
    ui_.StatusBar->setPanel(1, QStringLiteral(" Select or drop an EVO file to demux"), 50);
    ui_.StatusBar->setToolTip(QStringLiteral(" Select or drop an EVO file to demux"));
    layout_.add(ui_.StatusBar,
                {0, kDesignClientHeight - kStatusBarHeight, kDesignClientWidth, kStatusBarHeight},
                AnchorLeft | AnchorRight | AnchorBottom);

    // Drops land on the window itself, wherever they are let go.
    for (auto* child : findChildren<QWidget*>()) child->setAcceptDrops(false);

    connect(ui_.bbEVO, &QToolButton::clicked, this, &TfMain::bbEVOClick);
    connect(ui_.bCheck, &QPushButton::clicked, this, &TfMain::bCheckClick);
    connect(ui_.bbXPL, &QToolButton::clicked, this, &TfMain::bbXPLClick);
    connect(ui_.bReadXPL, &QPushButton::clicked, this, &TfMain::bReadXPLClick);
    connect(ui_.bDemux, &QPushButton::clicked, this, &TfMain::bDemuxClick);
    connect(ui_.bRebuild, &QPushButton::clicked, this, &TfMain::bRebuildClick);
    connect(ui_.bCancel, &QPushButton::clicked, this, &TfMain::bCancelClick);
    connect(titles_.makeMkvButton(), &QPushButton::clicked, this, &TfMain::bMakeMkvClick);

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
        boxes_.attach(kind, n, box);
    }
}

void TfMain::createXplPage() {
    ui_.tsXPL = named(new QWidget(ui_.PageControl), "tsXPL");
    ui_.splXPL = named(new QSplitter(Qt::Horizontal, ui_.tsXPL), "splXPL");
    ui_.splXPL->setChildrenCollapsible(false);

    ui_.tvXPL = named(new QTreeWidget(ui_.splXPL), "tvXPL");
    ui_.tvXPL->setHeaderHidden(true);
    ui_.tvXPL->setColumnCount(1);
    ui_.tvXPL->setIndentation(19);
    ui_.tvXPL->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ui_.tvXPL->setToolTip(QStringLiteral("Infos from your XPL file"));
    ui_.tvXPL->setMinimumWidth(kSplitterMinimum);

    ui_.mXPL = named(new QPlainTextEdit(ui_.splXPL), "mXPL");
    ui_.mXPL->setFont(monospaceFont());
    ui_.mXPL->setReadOnly(true);
    ui_.mXPL->setLineWrapMode(QPlainTextEdit::NoWrap);
    ui_.mXPL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui_.mXPL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui_.mXPL->setToolTip(QStringLiteral("This is your XPL file (part of it)"));
    ui_.mXPL->setMinimumWidth(kSplitterMinimum);

    // The tree keeps its width when the window is resized; the text view takes the rest.
    ui_.splXPL->setStretchFactor(0, 0);
    ui_.splXPL->setStretchFactor(1, 1);
    connect(ui_.splXPL, &QSplitter::splitterMoved, this,
            [this](int position, int) { pendingTreeWidth_ = position; });

    auto* xplLayout = new QVBoxLayout(ui_.tsXPL);
    xplLayout->setContentsMargins(0, 0, 0, 0);
    xplLayout->addWidget(ui_.splXPL);
    ui_.PageControl->addTab(ui_.tsXPL, QStringLiteral("XPL"));
    setTreeWidth(kDesignTreeWidth);
}

void TfMain::createOptionsPage() {
    ui_.tsOption = named(new QWidget(ui_.PageControl), "tsOption");

    ui_.gbFile = named(new QGroupBox(ui_.tsOption), "gbFile");
    ui_.gbFile->setGeometry(3, 0, 320, 78);
    ui_.lVideoExt = named(
        new QLabel(QStringLiteral("Extensions (video, audio, subtitle)"), ui_.gbFile), "lVideoExt");
    ui_.lVideoExt->move(13, 19);
    ui_.lVideoExt->adjustSize();
    const struct {
        QLineEdit** field;
        const char* name;
        int left;
        TextOption option;
    } extensions[] = {{&ui_.eVideoExt, "eVideoExt", 182, TextOption::VideoExt},
                      {&ui_.eAudioExt, "eAudioExt", 226, TextOption::AudioExt},
                      {&ui_.eSubExt, "eSubExt", 270, TextOption::SubExt}};
    for (const auto& extension : extensions) {
        const std::string_view text = defaultText(extension.option);
        auto* field =
            named(new QLineEdit(QString::fromLatin1(text.data(), text.size()), ui_.gbFile),
                  extension.name);
        field->setGeometry(extension.left, 16, 38, 21);
        field->setValidator(new TypingLimit(field, static_cast<int>(kMaxExtensionLength)));
        *extension.field = field;
    }
    ui_.lWorkdir = named(new QLabel(QStringLiteral("Output folder"), ui_.gbFile), "lWorkdir");
    ui_.lWorkdir->move(12, 48);
    ui_.lWorkdir->adjustSize();
    ui_.eWorkdir = named(new QLineEdit(ui_.gbFile), "eWorkdir");
    ui_.eWorkdir->setGeometry(84, 45, 224, 21);

    ui_.cbContinue = named(new QCheckBox(QStringLiteral("Continue with second  EVO"), ui_.tsOption),
                           "cbContinue");
    ui_.cbContinue->setChecked(defaultChecked(Option::Continue));
    ui_.cbContinue->setToolTip(
        QStringLiteral("Demux continues with e.g. FEATURE_2.EVO if it exists"));
    placeOptionBox(ui_.cbContinue, {3, 84, 149, 17});
    ui_.cbFastCheck =
        named(new QCheckBox(QStringLiteral("Fast EVO checking"), ui_.tsOption), "cbFastCheck");
    ui_.cbFastCheck->setChecked(defaultChecked(Option::FastCheck));
    ui_.cbFastCheck->setToolTip(
        QStringLiteral("Read EVO checks only the first ~300 MB of the file"));
    placeOptionBox(ui_.cbFastCheck, {3, 107, 112, 17});
    ui_.cbCountFr = named(new QCheckBox(QStringLiteral("Count frames"), ui_.tsOption), "cbCountFr");
    ui_.cbCountFr->setChecked(defaultChecked(Option::CountFrames));
    placeOptionBox(ui_.cbCountFr, {3, 130, 91, 17});

    // The newer options take the free room to the right of the boxes and below them.
    ui_.cbMatroska =
        named(new QCheckBox(QStringLiteral("Matroska-ready files"), ui_.tsOption), "cbMatroska");
    ui_.cbMatroska->setToolTip(
        QStringLiteral("Demux writes files for mkvmerge: codec extensions, LPCM as WAV, "
                       "subpictures as PGS, delays in the names, chapters and an option file"));
    ui_.cbMatroska->setChecked(defaultChecked(Option::MatroskaReady));
    placeOptionBox(ui_.cbMatroska, {185, 84, 130, 17});
    ui_.cbMakeMkv =
        named(new QCheckBox(QStringLiteral("Make MKV with mkvmerge"), ui_.tsOption), "cbMakeMkv");
    ui_.cbMakeMkv->setToolTip(QStringLiteral(
        "After Demux, mkvmerge (when installed) makes the MKV file from the Matroska-ready files"));
    ui_.cbMakeMkv->setChecked(defaultChecked(Option::MakeMkv));
    placeOptionBox(ui_.cbMakeMkv, {185, 107, 150, 17});
    // Making the MKV needs the Matroska-ready files: the box is ticked and held while it is on.
    QObject::connect(ui_.cbMakeMkv, &QCheckBox::toggled, this, [this](bool on) {
        if (on) ui_.cbMatroska->setChecked(true);
        ui_.cbMatroska->setEnabled(!on);
    });
    ui_.lSubForm = named(new QLabel(QStringLiteral("Subpictures as"), ui_.tsOption), "lSubForm");
    ui_.lSubForm->move(3, 157);
    ui_.lSubForm->adjustSize();
    ui_.cbxSubForm = named(new QComboBox(ui_.tsOption), "cbxSubForm");
    ui_.cbxSubForm->setToolTip(QStringLiteral(
        "How Demux writes the subpicture streams; Matroska-ready files always take PGS"));
    ui_.cbxSubForm->setGeometry(87, 153, 150, 21);
    ui_.lSubForm->setBuddy(ui_.cbxSubForm);
    subpictureChoice_.bind(ui_.cbMatroska, ui_.cbxSubForm);

    ui_.PageControl->addTab(ui_.tsOption, QStringLiteral("Options"));
}

void TfMain::setTabOrder() {
    QWidget* order[] = {ui_.eEVOfile, ui_.bbEVO,       ui_.bCheck, ui_.eXPLfile, ui_.bbXPL,
                        ui_.bReadXPL, ui_.PageControl, ui_.bDemux, ui_.bRebuild, ui_.bCancel};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    for (auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture})
        for (int n = 1; n < StreamSelection::slotCount(kind); ++n)
            QWidget::setTabOrder(streamBox(kind, n - 1), streamBox(kind, n));
    QWidget* options[] = {ui_.eVideoExt,  ui_.eAudioExt,   ui_.eSubExt,   ui_.eWorkdir,
                          ui_.cbContinue, ui_.cbFastCheck, ui_.cbCountFr, ui_.cbMatroska,
                          ui_.cbMakeMkv,  ui_.cbxSubForm};
    for (std::size_t i = 1; i < std::size(options); ++i)
        QWidget::setTabOrder(options[i - 1], options[i]);
    QWidget::setTabOrder(ui_.tvXPL, ui_.mXPL);
}

void TfMain::bindCore() {
    boxes_.bind();
    playlistView_.bind(ui_.tvXPL, ui_.mXPL);
    commands_.input().onFieldsChanged = [this] { showInputFields(); };
    jobs_.onJobActive = [this](bool active) { titles_.updateButton(active); };
    jobs_.makeMkvJob = [this](const disc::Disc& disc, const std::vector<int>& titles) {
        makeTitleMkvs(disc, titles);
    };
    host_.applyCommandStates();
}

void TfMain::showInputFields() {
    const auto& input = commands_.input();
    ui_.eEVOfile->setText(qt(input.evoField()));
    ui_.eXPLfile->setText(qt(input.xplField()));
}

void TfMain::bCheckClick() {
    jobs_.run(Command::ReadEvo);
}

void TfMain::bDemuxClick() {
    jobs_.run(Command::Demux);
}

void TfMain::bReadXPLClick() {
    if (commands_.jobRunning()) return;
    jobs_.run(Command::ReadXpl);
    // Beside the job, which reads only the title of the EVO: every title of the same file.
    showDiscOf(qt(commands_.input().xplField()));
}

void TfMain::showDiscOf(const QString& path) {
    try {
        titles_.showDisc(disc::openDisc(std::filesystem::path(path.toStdString())));
    } catch (const std::exception& e) {
        titles_.showError(QString::fromUtf8(e.what()));
    }
}

void TfMain::bRebuildClick() {
    jobs_.run(Command::Rebuild);
}

void TfMain::bMakeMkvClick() {
    if (const disc::Disc* disc = titles_.disc()) jobs_.runMakeMkv(*disc, titles_.tickedTitles());
}

void TfMain::makeTitleMkvs(const disc::Disc& disc, std::vector<int> numbers) {
    std::sort(numbers.begin(), numbers.end());
    std::vector<TitlePlan> plans;
    for (const int number : numbers)
        for (const auto& title : disc.titles)
            if (title.number == number) plans.push_back(titlePlan(disc, title));
    // As Demux: an empty output folder is the current one.
    const TitleMkvOptions options{host_.optionText(TextOption::Workdir), false, {}};
    std::vector<TitleMkvResult> results;
    if (!commands_.makeTitleMkvs(plans, options, results)) return;
    // Each title's outcome once more at the end, where the user looks after a long run.
    for (const auto& result : results) {
        const auto title = "Title " + std::to_string(result.number) + ": ";
        if (result.done())
            host_.log(title + "made " + result.matroskaFile);
        else if (result.cancelled)
            host_.log(title + "cancelled");
        else
            host_.log(result.error);
    }
}

void TfMain::bCancelClick() {
    commands_.bCancelClick();
}

void TfMain::bbEVOClick() {
    auto& input = commands_.input();
    odEVOfile.initialDir = qt(input.EVOdir);
    // Chosen or cancelled, the field gets the dialog's file name.
    odEVOfile.execute(this);
    input.chooseEvo(odEVOfile.fileName.toStdString(), host_);
}

void TfMain::bbXPLClick() {
    auto& input = commands_.input();
    odXPL.initialDir = qt(input.XPLdir);
    odXPL.fileName = qt(input.xplDialogFileName);
    if (odXPL.execute(this)) input.xplDialogFileName = odXPL.fileName.toStdString();
    input.chooseXpl(odXPL.fileName.toStdString(), host_);
}

void TfMain::WMDropFiles(const QStringList& files) {
    if (files.isEmpty()) return;
    if (isDiscFolder(files.front())) {
        showDiscOf(files.front());
        ui_.PageControl->setCurrentWidget(titles_.page());
        return;
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(files.size()));
    for (const auto& file : files) paths.push_back(file.toStdString());
    commands_.input().dropFiles(paths, host_);
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
        commands_.selection().Resetcbs();
    } catch (const std::exception& e) {
        jobs_.showError(QString::fromUtf8(e.what()));
    }
}

void TfMain::closeEvent(QCloseEvent* event) {
    if (jobs_.holdClose()) {
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
        jobs_.showError(QString::fromUtf8(e.what()));
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
    ui_.imLogo->move(logoLeft(outerWidth()), ui_.imLogo->y());
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
    const QList<int> sizes = ui_.splXPL->sizes();
    return ui_.splXPL->isVisible() && !sizes.isEmpty() ? sizes.front() : pendingTreeWidth_;
}

void TfMain::setTreeWidth(int width) {
    pendingTreeWidth_ = std::max(width, kSplitterMinimum);
    const int total = std::max(ui_.splXPL->width(), pendingTreeWidth_ + kSplitterMinimum);
    ui_.splXPL->setSizes({pendingTreeWidth_, total - pendingTreeWidth_});
}

}  // namespace tarnwell
