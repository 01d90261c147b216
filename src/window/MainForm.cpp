#include "window/MainForm.h"

#include "conversion/ConversionPanel.h"
#include "lists/DestinationPanel.h"
#include "lists/SourcePanel.h"
#include "playlist/PlaylistPanel.h"
#include "tageditor/frmTagInput.h"
#include "ui/Dialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLockFile>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

// The icons are resources of this static window library, which Qt registers only when asked to.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {

constexpr int ClientWidth = 1018; // 15270 twips
constexpr int ClientHeight = 691; // 10365 twips
constexpr int MenuBarHeight = 24;
constexpr int StatusBarHeight = 22;

} // namespace

MainForm::MainForm(const ProgramInfo& program, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_program(program), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("MainForm"));
    // A fixed single border: minimize box, close box, no maximize box.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    registerResources();
    // The 16-pixel icon drawn for the title bar, larger drawings for task bars and switchers.
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/mp3recast/icons/mp3recast-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);

    m_endProgram = [this] {
        hide();
        QCoreApplication::exit(0);
    };

    // The controls keep the places of the layout table inside a client area of their own; the window
    // grows by the menu bar above it and the status bar below it.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    createControls();
    applyTabOrder();
    connectPanels();
    createMenus();
    // Fixed heights, unless the font needs more: the controls then sit at the same place on every desktop,
    // and scripts that click them by position know where.
    const int menuHeight = qMax(MenuBarHeight, m_menuBar->sizeHint().height());
    const int statusHeight = qMax(StatusBarHeight, m_statusBar->sizeHint().height());
    m_menuBar->setGeometry(0, 0, ClientWidth, menuHeight);
    m_client->setGeometry(0, menuHeight, ClientWidth, ClientHeight);
    m_statusBar->setGeometry(0, menuHeight + ClientHeight, ClientWidth, statusHeight);
    setFixedSize(ClientWidth, menuHeight + ClientHeight + statusHeight);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(width() / 2, height() / 2));
    }
}

MainForm::~MainForm() = default;

void MainForm::connectPanels() {
    const PanelContext context{*this, m_dialogs, m_program, *this};
    m_source = std::make_unique<SourcePanel>(context);
    m_conversion = std::make_unique<ConversionPanel>(context, m_source->queue());
    m_destination = std::make_unique<DestinationPanel>(context);
    m_playlist = std::make_unique<PlaylistPanel>(context, m_destination->listing());

    // The destination folder is the run's and the playlist's.
    m_conversion->setDestinationFolder(m_destination->folder());
    m_playlist->setDestinationFolder(m_destination->folder());
    connect(m_destination.get(), &DestinationPanel::folderChanged, m_conversion.get(),
            &ConversionPanel::setDestinationFolder);
    connect(m_destination.get(), &DestinationPanel::folderChanged, m_playlist.get(),
            &PlaylistPanel::setDestinationFolder);
    // The work folder's free space is shown with every listing, and another work folder lists again.
    connect(m_destination.get(), &DestinationPanel::listingShown, m_conversion.get(),
            &ConversionPanel::showWorkSpace);
    connect(m_conversion.get(), &ConversionPanel::workFolderChosen, m_destination.get(),
            &DestinationPanel::GetDiskFree);
    // A run's placed files join the listing; a run through the whole queue empties it.
    connect(m_conversion.get(), &ConversionPanel::fileDone, m_destination.get(),
            &DestinationPanel::showPlacedFile);
    connect(m_conversion.get(), &ConversionPanel::queueConverted, m_source.get(),
            &SourcePanel::AllRemove_Click);
    connect(m_source.get(), &SourcePanel::tagEditRequested, this, &MainForm::openTagEditor);
    connect(m_destination.get(), &DestinationPanel::tagEditRequested, this, &MainForm::openTagEditor);

    context.onClick(ProgExit, this, [this] { ProgExit_Click(); });
}

core::ConversionQueue& MainForm::queue() {
    return m_source->queue();
}

void MainForm::GetDiskFree() {
    m_destination->GetDiskFree();
}

void MainForm::RefreshSourceList(const QString& folder) {
    m_source->RefreshSourceList(folder);
}

void MainForm::setWorkers(int jobs, const QString& program) {
    m_conversion->setWorkers(jobs, program);
}

int MainForm::workers() const {
    return m_conversion->workers();
}

void MainForm::openTagEditor(const QString& path) {
    frmTagInput editor(this, m_dialogs, m_program.title, path);
    editor.Form_Load();
    editor.exec();
}

void MainForm::EnableControls(bool enabled) {
    setCursor(enabled ? Qt::ArrowCursor : Qt::WaitCursor);
    if (!enabled && !m_busy)
        m_focusBeforeBusy = focusWidget();
    m_busy = !enabled;
    for (QWidget* control : m_busyControls)
        control->setEnabled(enabled);
    setMenusEnabled(enabled);

    if (enabled && m_focusBeforeBusy) {
        if (m_focusBeforeBusy->isEnabled() && m_focusBeforeBusy->isVisible())
            m_focusBeforeBusy->setFocus(Qt::OtherFocusReason);
        m_focusBeforeBusy = nullptr;
    }
}

void MainForm::runHandler(const std::function<void()>& handler) {
    if (m_ended)
        return;
    clearRunSummary();
    ui::runGuarded(m_dialogs, this, m_program.title, handler, [this] { EnableControls(true); });
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
