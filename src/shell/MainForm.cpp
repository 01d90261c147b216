#include "shell/MainForm.h"

#include "shell/Dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QLockFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <exception>

// The icon lives in the core library's resources, which a static library must register itself.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

constexpr int ClientWidth = 1018; // 15270 twips
constexpr int ClientHeight = 691; // 10365 twips

} // namespace

MainForm::MainForm(const ProgramInfo& program, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_program(program), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("MainForm"));
    // A fixed single border: minimize box, close box, no maximize box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(ClientWidth, ClientHeight);
    registerResources();
    // The original 16-pixel icon for the title bar, larger drawings for task bars and switchers.
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/mp3recast/icons/mp3recast-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);

    endProgram = [this] {
        hide();
        QCoreApplication::exit(0);
    };

    createControls();
    applyTabOrder();
    connectEvents();
    acceptFileDrops();
    connectQueue();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(ClientWidth / 2, ClientHeight / 2));
    }
}

MainForm::~MainForm() = default;

void MainForm::connectEvents() {
    auto onClick = [this](QPushButton* button, void (MainForm::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runHandler([this, handler] { (this->*handler)(); }); });
    };
    onClick(ProgExit, &MainForm::ProgExit_Click);
    onClick(ConvertStart, &MainForm::ConvertStart_Click);
    onClick(OneSelect, &MainForm::OneSelect_Click);
    onClick(AllSelect, &MainForm::AllSelect_Click);
    onClick(OneRemove, &MainForm::OneRemove_Click);
    onClick(AllRemove, &MainForm::AllRemove_Click);
    onClick(MakeNewDir, &MainForm::MakeNewDir_Click);
    onClick(DeleteFile, &MainForm::DeleteFile_Click);
    onClick(MakePlayList, &MainForm::MakePlayList_Click);
    onClick(SavePlayList, &MainForm::SavePlayList_Click);

    for (int i = 0; i < int(SelctFolder.size()); ++i)
        connect(SelctFolder[i], &QPushButton::clicked, this,
                [this, i] { runHandler([this, i] { SelctFolder_Click(i); }); });

    // An option's click event fires whenever it becomes the selected one, by the user or by start-up.
    for (int i = 0; i < int(ListSort.size()); ++i) {
        connect(ListSort[i], &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                runHandler([this] { ListSort_Click(); });
        });
    }

    // The Delete key in the destination list asks and deletes as "選択ﾌｧｲﾙ削除" does.
    auto* deleteKey = new QShortcut(QKeySequence::Delete, DFileList, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { runHandler([this] { DeleteFile_Click(); }); });

    // A stored 2 shows the partly checked state; the user's click only ever checks or clears the box.
    connect(SetPathCheck, &QCheckBox::clicked, this, [this] { SetPathCheck->setTristate(false); });

    connect(SFileList, &QListWidget::itemDoubleClicked, this,
            [this] { runHandler([this] { SFileList_DblClick(); }); });
    connect(DFileList, &QListWidget::itemDoubleClicked, this,
            [this] { runHandler([this] { DFileList_DblClick(); }); });
}

void MainForm::EnableControls(bool enabled) {
    setCursor(enabled ? Qt::ArrowCursor : Qt::WaitCursor);
    if (!enabled && !m_busy)
        m_focusBeforeBusy = focusWidget();
    m_busy = !enabled;

    QWidget* const controls[] = {
        SetPathCheck,
        AllRemove,
        AllSelect,
        ConvertStart,
        DeleteFile,
        MakePlayList,
        OneRemove,
        OneSelect,
        ProgExit,
        SavePlayList,
        MakeNewDir,
        SelctFolder[0],
        SelctFolder[1],
        SelctFolder[2],
        DFileList,
        SFileList,
        SelectList,
        Bits[0],
        Bits[1],
        Bits[2],
        Bits[3],
        Bits[4],
        Bits[5],
        Bits[6],
        Bits[7],
        Bits[8],
        Bits[9],
        Bits[10],
        Bits[11],
        Bits[12],
        Bits[13],
        Stereo[0],
        Stereo[1],
        Stereo[2],
        M3UText,
        PlayListName,
        SelectFolderText[0],
        SelectFolderText[1],
        SelectFolderText[2],
    };
    for (QWidget* control : controls)
        control->setEnabled(enabled);

    if (enabled && m_focusBeforeBusy) {
        if (m_focusBeforeBusy->isEnabled() && m_focusBeforeBusy->isVisible())
            m_focusBeforeBusy->setFocus(Qt::OtherFocusReason);
        m_focusBeforeBusy = nullptr;
    }
}

void MainForm::runHandler(const std::function<void()>& handler) {
    if (ended)
        return;
    try {
        handler();
    } catch (const std::exception& failure) {
        EnableControls(true);
        m_dialogs.message(this, m_program.title, QString::fromUtf8(failure.what()), Dialogs::Icon::Critical);
    } catch (...) {
        EnableControls(true);
        m_dialogs.message(this, m_program.title, QStringLiteral("予期しないエラーが発生しました。"),
                          Dialogs::Icon::Critical);
    }
}

void MainForm::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}
