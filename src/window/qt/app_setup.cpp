#include "window/qt/app_setup.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include "common/translate.h"

namespace mivo::qt {

namespace {

// VL PGothic first: it is small, holds Latin and Japanese in one design (captions such as
// "Html保存フォルダ" mix both) and draws the backslash as a backslash, which matters for the
// paths the window shows. Noto Sans CJK JP looks better but weighs fifty times as much; it is
// taken when it is the one installed. IPA fonts are left out: they draw "\" as a yen sign.
constexpr const char* kPreferredFamilies[] = {"VL PGothic", "VL Gothic", "Noto Sans CJK JP",
                                              "Droid Sans Fallback"};

const char* chosenFamily = "";

} // namespace

void setUpApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Mivo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Mivo"));
    QApplication::setDesktopFileName(QStringLiteral("mivo"));
    app.setWindowIcon(programIcon());

    // Qt's own dialogs and context menus in Japanese, to match the window (Debian's
    // qt6-translations-l10n); without the package they stay in English, as they are for an
    // English window.
    auto* translator = new QTranslator(&app);
    if (currentLanguage() == UiLanguage::Japanese &&
        translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    } else {
        delete translator;
    }

    const QStringList installed = QFontDatabase::families();
    for (const char* family : kPreferredFamilies) {
        if (installed.contains(QLatin1StringView(family), Qt::CaseInsensitive)) {
            chosenFamily = family;
            QFont font = QApplication::font();
            font.setFamilies({QString::fromLatin1(family)});
            QApplication::setFont(font);
            break;
        }
    }
}

QIcon programIcon() {
    return QIcon(QStringLiteral(":/mivo/mivo.png"));
}

const char* captionFontFamily() {
    return chosenFamily;
}

} // namespace mivo::qt
