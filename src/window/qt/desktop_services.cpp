#include "window/qt/desktop_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImageReader>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextCursor>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdlib>

#include "common/translate.h"
#include "window/qt/main_view.h"
#include "window/qt/termination_signals.h"

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

bool DesktopServices::windowPlace(WindowPlace& out) const {
    return view_ != nullptr && view_->currentPlace(out);
}

QWidget* DesktopServices::owner() const {
    return view_ != nullptr ? view_->window() : nullptr;
}

bool DesktopServices::shellOpen(const std::string& target, const std::string& parameters) {
    openFailure_.clear();
    const QString text = toQt(target);
    if (text.isEmpty()) {
        openFailure_ = translate("開く対象が指定されていません");
        return false;
    }
    if (looksLikeAddress(text)) {
        if (!QDesktopServices::openUrl(QUrl(text, QUrl::TolerantMode))) {
            openFailure_ =
                translate("このアドレスを開くアプリケーション(ブラウザ)が見つかりません");
            return false;
        }
        return true;
    }
    // A relative name is taken from the current folder, as the desktop shell would.
    const QFileInfo info(QDir::current(), text);
    if (!info.exists()) {
        openFailure_ = translate("ファイルまたはフォルダが見つかりません");
        return false;
    }
    if (isProgram(info)) {
        QStringList arguments;
        if (!parameters.empty()) {
            arguments = QProcess::splitCommand(toQt(parameters));
        }
        // Programs start in Mivo's current folder, as the desktop shell starts them.
        if (!QProcess::startDetached(info.absoluteFilePath(), arguments, QDir::currentPath())) {
            openFailure_ = translate("プログラムを起動できません");
            return false;
        }
        return true;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()))) {
        openFailure_ = translate("このファイルを開くアプリケーションが見つかりません");
        return false;
    }
    return true;
}

void DesktopServices::showTextViewer(const std::string& title, const std::string& text) {
    if (viewer_ == nullptr) {
        auto* dialog = new QDialog(owner(), Qt::Window);
        dialog->setObjectName(QStringLiteral("TextViewer"));
        auto* layout = new QVBoxLayout(dialog);
        auto* page = new QPlainTextEdit(dialog);
        page->setObjectName(QStringLiteral("TextViewerText"));
        page->setReadOnly(true);
        page->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        page->setAccessibleName(toQt(translate("ヘルプ")));
        layout->addWidget(page);
        auto* close = new QPushButton(toQt(translate("閉じる")), dialog);
        close->setObjectName(QStringLiteral("TextViewerClose"));
        QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::close);
        layout->addWidget(close, 0, Qt::AlignRight);
        const QFontMetrics metrics(page->font());
        dialog->resize(metrics.horizontalAdvance(QLatin1Char('M')) * 84,
                       metrics.lineSpacing() * 32);
        viewer_ = dialog;
    }
    viewer_->setWindowTitle(toQt(title));
    auto* page = viewer_->findChild<QPlainTextEdit*>(QStringLiteral("TextViewerText"));
    page->setPlainText(toQt(text));
    page->moveCursor(QTextCursor::Start);
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

QWidget* DesktopServices::textViewer() const {
    return viewer_;
}

bool DesktopServices::showOpenDialog(FileDialog& dialog) {
    if (terminationRequested()) {
        return false;
    }
    QFileDialog box(owner(), toQt(dialog.DialogTitle));
    box.setFileMode(QFileDialog::ExistingFile);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    // "*.*" means every file; on Linux many have no dot in their name.
    const bool everyFile = dialog.Filter.empty() || dialog.Filter == "*.*" || dialog.Filter == "*";
    box.setNameFilter(everyFile
                          ? toQt(translate("すべてのファイル (*)"))
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
    // The program is ending on a signal: nobody may be there to answer a box.
    if (terminationRequested()) {
        return;
    }
    QMessageBox::information(owner(), toQt(caption), toQt(text), QMessageBox::Ok);
}

void DesktopServices::showWarning(const std::string& text, const std::string& caption) {
    if (terminationRequested()) {
        return;
    }
    QMessageBox::warning(owner(), toQt(caption), toQt(text), QMessageBox::Ok);
}

void DesktopServices::showAbout(const std::string& title, const std::string& text) {
    if (terminationRequested()) {
        return;
    }
    QMessageBox::about(owner(), toQt(title), toQt(text));
}

bool DesktopServices::windowActive() const {
    return view_ != nullptr && view_->isActiveWindow();
}

void DesktopServices::notify(const std::string& summary, const std::string& body) {
    sendNotification(summary, body);
}

bool DesktopServices::sendNotification(const std::string& summary, const std::string& body) {
    // Only a session bus that is there: without its address libdbus would try to start one.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const bool busSocket =
        runtime != nullptr && *runtime != '\0' &&
        QFileInfo::exists(QString::fromLocal8Bit(runtime) + QStringLiteral("/bus"));
    if ((address == nullptr || *address == '\0') && !busSocket) {
        return false;
    }
    // A connection of its own, made when needed: the bus may have come or gone since.
    const QString name = QStringLiteral("mivo-notifications");
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Mivo") << 0U << QStringLiteral("mivo") << toQt(summary) << toQt(body)
         << QStringList() << QVariantMap() << -1;
    // No answer is waited for: a desktop without the service answers with an error nobody
    // needs to read.
    call.setAutoStartService(false);
    return bus.send(call);
}

bool DesktopServices::askRetry(const std::string& text, const std::string& caption) {
    if (terminationRequested()) {
        return false; // as "保存せずに終了"
    }
    QMessageBox box(QMessageBox::Warning, toQt(caption), toQt(text), QMessageBox::NoButton,
                    owner());
    QPushButton* retry = box.addButton(toQt(translate("再試行")), QMessageBox::AcceptRole);
    box.addButton(toQt(translate("保存せずに終了")), QMessageBox::DestructiveRole);
    box.setDefaultButton(retry);
    box.exec();
    return box.clickedButton() == retry;
}

bool DesktopServices::askYesNo(const std::string& text, const std::string& caption) {
    if (terminationRequested()) {
        return false;
    }
    return QMessageBox::question(owner(), toQt(caption), toQt(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void DesktopServices::runInBackground(std::function<void(StatusSink&)> work, StatusSink& sink,
                                      std::function<void()> finished) {
    worker_.reset(); // the last run has ended: its worker only waits to be let go
    worker_ = std::make_unique<MakeWorker>(
        std::move(work), sink,
        [this](bool starting) {
            batching_ = starting;
            if (view_ != nullptr) {
                view_->holdStatusWidgets(starting);
                if (!starting) {
                    paintStatus();
                }
            }
        },
        std::move(finished));
    worker_->start();
}

void DesktopServices::abandonRun() {
    if (worker_) {
        worker_->abandon();
    }
}

void DesktopServices::repaintStatus() {
    if (batching_) {
        return; // painted once when the batch has been handed over
    }
    paintStatus();
}

void DesktopServices::paintStatus() {
    ++repaintCount_;
    if (view_ != nullptr) {
        view_->repaintStatus();
    }
    statusPainted();
}

bool DesktopServices::loadPicture(const std::string& path, long& pictureWidth,
                                  long& pictureHeight) {
    QImageReader reader(toQt(path));
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        return false;
    }
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        return false;
    }
    pictureWidth = size.width();
    pictureHeight = size.height();
    return true;
}

void DesktopServices::closeWindow() {
    if (view_ != nullptr) {
        view_->closeWidget();
    }
}

} // namespace mivo::qt
