// Renders the main window to a PNG the way a user would find it after a few clicks: folders chosen,
// files queued, the destination listed, a conversion under way. Usage: mp3recast-screenshot OUTPUT.png
// [--keep-open]; the option leaves the window open afterwards, to look at it on a real display.

#include "WindowDriver.h"
#include "ui/Dialogs.h"
#include "ui/ProgramInfo.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <cstdio>

namespace {

void makeFile(const QString& path, qint64 size) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.resize(size);
}

// A folder made empty for the rendering and removed afterwards.
class FreshFolder {
  public:
    explicit FreshFolder(const QString& path) : m_dir(path) {
        m_dir.removeRecursively();
        m_valid = QDir().mkpath(path);
    }
    ~FreshFolder() { m_dir.removeRecursively(); }
    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

  private:
    QDir m_dir;
    bool m_valid = false;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(9);
    QApplication::setFont(font);

    // Fixed folders and, below, fixed free-space figures: the same program draws the same picture, so
    // that two renderings compare pixel for pixel.
    const FreshFolder root(QDir::temp().filePath(QStringLiteral("mp3recast-screenshot")));
    const QString music = root.filePath(QStringLiteral("ミュージック"));
    const QString out = root.filePath(QStringLiteral("変換済み"));
    // The work folder on a volume of its own where there is one (a RAM disk), as a user's might be.
    const FreshFolder ramDisk(QStringLiteral("/dev/shm/mp3recast-screenshot"));
    const QString work =
        ramDisk.isValid() ? ramDisk.filePath(QStringLiteral("作業")) : root.filePath(QStringLiteral("作業"));
    for (const QString& folder : {music, work, out})
        QDir().mkpath(folder);
    const char* sources[] = {
        "01 春の海.mp3",    "02 さくら.mp3", "03 Moonlight Serenade.mp3", "04 荒城の月.mp3",
        "05 Take Five.mp3", "06 故郷.mp3",   "07 赤とんぼ.mp3",           "08 In a Sentimental Mood.mp3"};
    qint64 size = 4'812'345;
    for (const char* name : sources)
        makeFile(music + QLatin1Char('/') + QString::fromUtf8(name), size += 731'211);
    for (const char* name : {"01 春の海.mp3", "02 さくら.mp3", "Fly Me to the Moon.mp3"})
        makeFile(out + QLatin1Char('/') + QString::fromUtf8(name), 2'400'000);

    ProgramInfo program = ProgramInfo::current();
    program.settingsFolder = root.path();
    program.lockFolder = root.path();
    QFile settings(program.settingsFilePath());
    if (settings.open(QIODevice::WriteOnly)) {
        settings.write(
            QStringLiteral("[Setting]\nBits=8\nStereo=2\nSort=1\nInPath=%1\nTempPath=%2\nOutPath=%3\n"
                           "PlayList=MP3LIST.M3U\nPlayListPathSet=0\n")
                .arg(music, work, out)
                .toUtf8());
        settings.close();
    }

    QtDialogs dialogs;
    MainForm form(program, dialogs);
    if (!form.Form_Load())
        return 1;
    // The first two are converted already: the rest are queued.
    for (int i = 2; i < ui::list(form, "SFileList")->count(); ++i)
        ui::list(form, "SFileList")->item(i)->setSelected(true);
    ui::click(form, "OneSelect");
    ui::list(form, "SFileList")->clearSelection();
    ui::list(form, "SFileList")->item(2)->setSelected(true);
    ui::list(form, "SelectList")->item(0)->setSelected(true);
    ui::click(form, "MakePlayList");
    // The progress fields as a conversion shows them halfway through its third file.
    ui::textBox(form, "Msg")
        ->setPlainText(QStringLiteral(
            " .. コンバート中..  \r\nアーティスト：宮城道雄\r\n"
            "曲タイトル　：春の海（箏と尺八のための二重奏）\r\nアルバム名：日本の調べ 第一集"));
    ui::field(form, "Prog")->setText(QStringLiteral("37%"));
    ui::field(form, "NowCount")->setText(QStringLiteral("3/6"));
    ui::label(form, "FreeSpace")->setText(QStringLiteral("3個   空き容量：52,613,726,208ﾊﾞｲﾄ"));
    ui::label(form, "TempFree")->setText(QStringLiteral("空き容量：12,298,682,368ﾊﾞｲﾄ"));
    form.show();
    QApplication::processEvents();

    if (!form.clientArea()
             ->grab()
             .toImage()
             .convertToFormat(QImage::Format_RGB32)
             .save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc > 2 && QByteArray(argv[2]) == "--keep-open")
        return QApplication::exec();
    return 0;
}
