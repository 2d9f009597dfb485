#pragma once
// The controls of the main window, named as in the design. The window creates them and owns
// them as Qt children; the adapter and the views it hands them to only read these pointers.
// Every control also carries its design name as its object name.

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QWidget;

namespace tarnwell {

class StatusLine;

struct MainControls {
    QLineEdit* eEVOfile = nullptr;
    QToolButton* bbEVO = nullptr;
    QPushButton* bCheck = nullptr;
    QLineEdit* eXPLfile = nullptr;
    QToolButton* bbXPL = nullptr;
    QPushButton* bReadXPL = nullptr;
    QTabWidget* PageControl = nullptr;
    QWidget* tsStatus = nullptr;
    QPlainTextEdit* mMessage = nullptr;
    QWidget* tsVideo = nullptr;
    QWidget* tsAudio = nullptr;
    QWidget* tsSubpicture = nullptr;
    QWidget* tsXPL = nullptr;
    QSplitter* splXPL = nullptr;
    QTreeWidget* tvXPL = nullptr;
    QPlainTextEdit* mXPL = nullptr;
    QWidget* tsOption = nullptr;
    QGroupBox* gbFile = nullptr;
    QLabel* lVideoExt = nullptr;
    QLineEdit* eVideoExt = nullptr;
    QLineEdit* eAudioExt = nullptr;
    QLineEdit* eSubExt = nullptr;
    QLabel* lWorkdir = nullptr;
    QLineEdit* eWorkdir = nullptr;
    QCheckBox* cbContinue = nullptr;
    QCheckBox* cbFastCheck = nullptr;
    QCheckBox* cbCountFr = nullptr;
    QCheckBox* cbMatroska = nullptr;
    QCheckBox* cbMakeMkv = nullptr;
    QLabel* lSubForm = nullptr;
    QComboBox* cbxSubForm = nullptr;
    QPushButton* bDemux = nullptr;
    QPushButton* bRebuild = nullptr;
    QLabel* imLogo = nullptr;
    QPushButton* bCancel = nullptr;
    StatusLine* StatusBar = nullptr;
};

}  // namespace tarnwell
