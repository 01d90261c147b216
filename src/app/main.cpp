#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "shell/ProgramInfo.h"
#include "shell/Translations.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MP3Recast"));
    QApplication::setApplicationVersion(QStringLiteral("0.9.5"));
    installTranslations(app);

    // Japanese captions need a CJK face; the system's sans-serif for Japanese at dialog size.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);

    QtDialogs dialogs;
    MainForm form(ProgramInfo::current(), dialogs);
    if (!form.Form_Load())
        return 0;
    form.show();
    return QApplication::exec();
}
