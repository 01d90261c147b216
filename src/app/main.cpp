#include "ui/Dialogs.h"
#include "ui/ProgramInfo.h"
#include "window/MainForm.h"
#include "window/Translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace {

constexpr int kUsageError = 2;

QString versionText(const ProgramInfo& info) {
    return QStringLiteral("%1 %2.%3.%4\n")
        .arg(info.productName)
        .arg(info.versionMajor)
        .arg(info.versionMinor)
        .arg(info.versionRevision);
}

void print(FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// --help and --version are answered before any application object exists, so they need no display; any
// other argument is refused rather than passed on to Qt, which would silently ignore most of them.
// Returns the exit status when the program is to end here.
std::optional<int> handleArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("help"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);

    const QString tryHelp = QStringLiteral("Try 'MP3Recast --help'.\n");
    if (!parser.parse(arguments)) {
        print(stderr, QStringLiteral("MP3Recast: %1\n").arg(parser.errorText()) + tryHelp);
        return kUsageError;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("MP3Recast: unexpected argument '%1'\n")
                              .arg(parser.positionalArguments().constFirst()) +
                          tryHelp);
        return kUsageError;
    }
    if (parser.isSet(help)) {
        print(stdout,
              QStringLiteral("Usage: MP3Recast [--help | --version]\n"
                             "Re-encodes MP3 files at a chosen bit rate and channel mode, keeping "
                             "their names and ID3 tags.\n"
                             "Everything is done in the window; it takes no files or other options.\n\n"
                             "  -h, --help     print this help and exit\n"
                             "  -v, --version  print the version and exit\n"));
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, versionText(ProgramInfo()));
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = handleArguments(argc, argv))
        return *status;

    QApplication app(argc, argv);
    const ProgramInfo identity;
    QApplication::setApplicationName(identity.productName);
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(identity.versionMajor)
                                            .arg(identity.versionMinor)
                                            .arg(identity.versionRevision));
    // Without the translation file Qt's own buttons stay English; the program is otherwise the same.
    static_cast<void>(ui::installTranslations(app));

    // Japanese captions need a CJK face; the system's sans-serif for Japanese at dialog size.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);

    QtDialogs dialogs;
    MainForm form(ProgramInfo::current(), dialogs);
    if (!form.Form_Load())
        return 0;
    form.watchForShutdown();
    form.show();
    return QApplication::exec();
}
