#include "app/open_file_dialog.h"

#include <QFileDialog>
#include <QStringList>

namespace tarnwell {

bool OpenFileDialog::execute(QWidget* parent) {
    if (runner) return runner(*this);

    QFileDialog dialog(parent, title, initialDir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // A chosen link is returned as itself, not as its target.
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    dialog.setSizeGripEnabled(true);
    if (!fileName.isEmpty()) dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    fileName = chosen.front();
    return true;
}

}  // namespace tarnwell
