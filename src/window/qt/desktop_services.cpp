#include "window/qt/desktop_services.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include "window/qt/main_view.h"

namespace mivo::qt {

namespace {

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

/// An address ("https://...", "mailto:...") rather than a file: a scheme of two letters or
/// more followed by ":" (a single letter would be a drive, which Linux has none of anyway).
bool looksLikeAddress(const QString& target) {
    const QUrl url(target, QUrl::StrictMode);
    return url.isValid() && url.scheme().size() >= 2 && !target.startsWith(QLatin1Char('/'));
}

/// A program to start rather than a document to open: an executable file that is a binary or
/// a script. A document that merely carries the executable bit (as on some USB sticks) is
/// still opened with its application.
bool isProgram(const QFileInfo& info) {
    if (!info.isFile() || !info.isExecutable()) {
        return false;
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(4);
    return head.startsWith("\x7f"
                           "ELF") ||
           head.startsWith("#!");
}

} // namespace

QWidget* DesktopServices::owner() const {
    return view_ != nullptr ? view_->window() : nullptr;
}

bool DesktopServices::shellOpen(const std::string& target, const std::string& parameters) {
    const QString text = toQt(target);
    if (text.isEmpty()) {
        return false;
    }
    if (looksLikeAddress(text)) {
        return QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode));
    }
    // A relative name is taken from the current folder, as the desktop shell would.
    const QFileInfo info(QDir::current(), text);
    if (!info.exists()) {
        return false;
    }
    if (isProgram(info)) {
        QStringList arguments;
        if (!parameters.empty()) {
            arguments = QProcess::splitCommand(toQt(parameters));
        }
        return QProcess::startDetached(info.absoluteFilePath(), arguments, info.absolutePath());
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

bool DesktopServices::showOpenDialog(FileDialog& dialog) {
    QFileDialog box(owner(), toQt(dialog.DialogTitle));
    box.setFileMode(QFileDialog::ExistingFile);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    // "*.*" means every file; on Linux many have no dot in their name.
    const bool everyFile = dialog.Filter.empty() || dialog.Filter == "*.*" || dialog.Filter == "*";
    box.setNameFilter(everyFile
                          ? QStringLiteral("すべてのファイル (*)")
                          : toQt(dialog.Filter) + QStringLiteral(" (") +
                                toQt(dialog.Filter).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                                QLatin1Char(')'));
    if (!dialog.InitDir.empty() && QFileInfo(toQt(dialog.InitDir)).isDir()) {
        box.setDirectory(toQt(dialog.InitDir));
    }
    if (!dialog.FileName.empty()) {
        box.selectFile(toQt(dialog.FileName));
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return false;
    }
    dialog.FileName = box.selectedFiles().constFirst().toStdString();
    return true;
}

void DesktopServices::showMessage(const std::string& text, const std::string& caption) {
    QMessageBox::information(owner(), toQt(caption), toQt(text), QMessageBox::Ok);
}

bool DesktopServices::askRetry(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Warning, toQt(caption), toQt(text), QMessageBox::NoButton,
                    owner());
    QPushButton* retry = box.addButton(QStringLiteral("再試行"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("保存せずに終了"), QMessageBox::DestructiveRole);
    box.setDefaultButton(retry);
    box.exec();
    return box.clickedButton() == retry;
}

void DesktopServices::repaintStatus() {
    ++repaintCount_;
    if (view_ != nullptr) {
        view_->repaintStatus();
    }
}

bool DesktopServices::loadPicture(const std::string& path, long& outWidth, long& outHeight) {
    QImageReader reader(toQt(path));
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        return false;
    }
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        return false;
    }
    outWidth = size.width();
    outHeight = size.height();
    return true;
}

void DesktopServices::closeWindow() {
    if (view_ != nullptr) {
        view_->closeWidget();
    }
}

} // namespace mivo::qt
