#include "librarysync/LibrarySyncDialog.h"
#include "core/run/RunSummary.h"

#include "codecs/decoder.h"
#include "core/run/ConversionRun.h"
#include "core/run/LibraryRun.h"
#include "librarysync/SyncEstimate.h"
#include "options/OptionsSummary.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace librarysync {
namespace {

constexpr int SourceRole = Qt::UserRole;
constexpr int DestinationRole = Qt::UserRole + 1;
constexpr int ReasonRole = Qt::UserRole + 2;

// The core's reasons in the dialog's language; one it has no wording for here is shown as it is.
QString reasonText(const QString& reason) {
    static const QHash<QString, QString> words{
        {QStringLiteral("new"), QStringLiteral("新しいファイル")},
        {QStringLiteral("source changed"), QStringLiteral("元のファイルが変わった")},
        {QStringLiteral("settings changed"), QStringLiteral("設定が変わった")},
        {QStringLiteral("up to date"), QStringLiteral("最新")},
        {QStringLiteral("its source is gone"), QStringLiteral("元のファイルがない")},
        {QStringLiteral("not made by mp3recast-cli"),
         QStringLiteral("このプログラムで作ったファイルではない")},
    };
    return words.value(reason, reason);
}

QString actionText(core::PreviewEntry::Action action) {
    switch (action) {
    case core::PreviewEntry::Action::Convert:
        return QStringLiteral("変換");
    case core::PreviewEntry::Action::Copy:
        return QStringLiteral("コピー");
    case core::PreviewEntry::Action::Skip:
        return QStringLiteral("スキップ");
    case core::PreviewEntry::Action::UpToDate:
        return QStringLiteral("最新");
    case core::PreviewEntry::Action::Delete:
        return QStringLiteral("削除");
    }
    return {};
}

} // namespace

LibrarySyncDialog::LibrarySyncDialog(const SyncChoice& initial, int bitRate, int channelMode,
                                     const QString& workerProgram, QWidget* parent)
    : QDialog(parent), m_bitRate(bitRate), m_channelMode(channelMode), m_workerProgram(workerProgram),
      m_options(initial.options) {
    setObjectName(QStringLiteral("LibrarySyncDialog"));
    setWindowTitle(QStringLiteral("ライブラリを同期"));
    setModal(true);

    auto* fields = new QGridLayout;
    auto addFolder = [&](int row, const QString& label, const QString& name, const QString& text,
                         const QString& tip) {
        auto* field = new QLineEdit(text);
        field->setObjectName(name);
        field->setToolTip(tip);
        auto* browse = new QPushButton(QStringLiteral("参照..."));
        browse->setObjectName(name + QStringLiteral("Browse"));
        browse->setToolTip(QStringLiteral("フォルダを選びます"));
        auto* caption = new QLabel(label);
        caption->setBuddy(field);
        fields->addWidget(caption, row, 0);
        fields->addWidget(field, row, 1);
        fields->addWidget(browse, row, 2);
        connect(browse, &QPushButton::clicked, this, [this, field] { chooseFolder(field); });
        connect(field, &QLineEdit::textChanged, this, &LibrarySyncDialog::fieldsChanged);
        return field;
    };
    m_source =
        addFolder(0, QStringLiteral("ライブラリのフォルダ"), QStringLiteral("SourceFolder"), initial.source,
                  QStringLiteral("この下の MP3 ファイルをすべて、サブフォルダも含めて同期します"));
    m_destination =
        addFolder(1, QStringLiteral("同期先のフォルダ"), QStringLiteral("DestinationFolder"),
                  initial.destination, QStringLiteral("変換したコピーを同じフォルダ構成で置くフォルダです"));

    m_prune = new QCheckBox(QStringLiteral("元のファイルがなくなったコピーを削除する"));
    m_prune->setObjectName(QStringLiteral("Prune"));
    m_prune->setToolTip(QStringLiteral("この同期で作ったコピーのうち、元のファイルが消えたものを削除します"));
    m_prune->setChecked(initial.prune);
    connect(m_prune, &QCheckBox::toggled, this, &LibrarySyncDialog::fieldsChanged);
    fields->addWidget(m_prune, 2, 1, 1, 2);

    m_encoding = new QLabel(encodingText(bitRate, channelMode, m_options.run.vbrQuality));
    m_encoding->setObjectName(QStringLiteral("Encoding"));
    m_encoding->setToolTip(QStringLiteral("メインウィンドウで選んだビットレートとモードです"));
    fields->addWidget(new QLabel(QStringLiteral("エンコード")), 3, 0);
    fields->addWidget(m_encoding, 3, 1, 1, 2);

    m_optionsText = new QLabel;
    m_optionsText->setObjectName(QStringLiteral("OptionsText"));
    m_optionsButton = new QPushButton(QStringLiteral("オプション..."));
    m_optionsButton->setObjectName(QStringLiteral("OptionsButton"));
    m_optionsButton->setToolTip(QStringLiteral("この同期に使う変換オプションを選びます"));
    connect(m_optionsButton, &QPushButton::clicked, this, &LibrarySyncDialog::chooseOptions);
    fields->addWidget(m_optionsText, 4, 0, 1, 2);
    fields->addWidget(m_optionsButton, 4, 2);
    fields->setColumnStretch(1, 1);

    m_entries = new QTreeWidget;
    m_entries->setObjectName(QStringLiteral("Entries"));
    m_entries->setHeaderLabels({QStringLiteral("処理"), QStringLiteral("ファイル"), QStringLiteral("理由")});
    m_entries->setRootIsDecorated(false);
    m_entries->setUniformRowHeights(true);
    m_entries->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_entries->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_entries->header()->setStretchLastSection(false);
    m_entries->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

    m_spaceText = new QLabel;
    m_spaceText->setObjectName(QStringLiteral("SpaceText"));
    m_spaceText->setWordWrap(true);

    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setFormat(QStringLiteral("%v / %m（%p%）"));
    // Without a list there is no count to show yet.
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_timeLeft = new QLabel;
    m_timeLeft->setObjectName(QStringLiteral("TimeLeft"));
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_timeLeft);

    m_summaryText = new QLabel;
    m_summaryText->setObjectName(QStringLiteral("SummaryText"));
    m_summaryText->setWordWrap(true);
    m_summaryText->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_previewButton = new QPushButton(QStringLiteral("確認"));
    m_previewButton->setObjectName(QStringLiteral("PreviewButton"));
    m_previewButton->setToolTip(QStringLiteral("何も変えずに、同期で行うことを一覧にします"));
    m_startButton = new QPushButton(QStringLiteral("開始"));
    m_startButton->setObjectName(QStringLiteral("StartButton"));
    m_startButton->setToolTip(QStringLiteral("同期を始めます"));
    m_closeButton = new QPushButton(QStringLiteral("閉じる"));
    m_closeButton->setObjectName(QStringLiteral("CloseButton"));
    connect(m_previewButton, &QPushButton::clicked, this, [this] { static_cast<void>(preview()); });
    // One button starts and, while the run goes, stops it, as the window's conversion button does.
    connect(m_startButton, &QPushButton::clicked, this, [this] { isRunning() ? stop() : start(); });
    connect(m_closeButton, &QPushButton::clicked, this, &LibrarySyncDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_previewButton);
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_entries, 1);
    layout->addWidget(m_spaceText);
    layout->addLayout(progressRow);
    layout->addWidget(m_summaryText);
    layout->addLayout(buttons);

    showOptions();
    resize(760, 560);
}

LibrarySyncDialog::~LibrarySyncDialog() = default;

SyncChoice LibrarySyncDialog::choice() const {
    return {m_source->text().trimmed(), m_destination->text().trimmed(), m_prune->isChecked(), m_options};
}

core::RunRequest LibrarySyncDialog::request() const {
    const SyncChoice chosen = choice();
    core::RunRequest request;
    request.sources = {chosen.source};
    request.recursive = true;
    request.destination = chosen.destination;
    request.bitRate = m_bitRate;
    request.channelMode = m_channelMode;
    request.options = chosen.options.run;
    // Keeping a copy in step is what the dialog is for: only what is missing or out of date is made.
    request.options.update = true;
    request.prune = chosen.prune;
    request.workers = chosen.options.jobs > 0 ? chosen.options.jobs : core::defaultWorkerCount();
    request.workerProgram =
        m_workerProgram.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("mp3recast-cli"))
            : m_workerProgram;
    return request;
}

bool LibrarySyncDialog::preview() {
    m_entries->clear();
    m_preview.reset();
    m_bytesToWrite = 0;
    const SyncChoice chosen = choice();
    auto refuse = [this](const QString& text) {
        m_spaceText->setText(text);
        m_startButton->setEnabled(false);
        return false;
    };
    if (chosen.source.isEmpty())
        return refuse(QStringLiteral("ライブラリのフォルダを指定してください。"));
    if (chosen.destination.isEmpty())
        return refuse(QStringLiteral("同期先のフォルダを指定してください。"));
    if (!QFileInfo(chosen.source).isDir())
        return refuse(QStringLiteral("ライブラリのフォルダ %1 がありません。").arg(chosen.source));

    const core::RunRequest asked = request();
    m_preview = core::previewRun(asked);
    showEntries(*m_preview);
    m_progress->setRange(0, qMax(1, int(m_preview->jobsToRun().size())));
    m_progress->setValue(0);
    m_progress->setTextVisible(true);
    const int vbr = asked.options.vbrQuality;
    for (const core::PreviewEntry& entry : m_preview->entries())
        m_bytesToWrite += estimatedBytes(entry, asked.bitRate, vbr);

    const QString counts = QStringLiteral("変換 %1・コピー %2・スキップ %3・最新 %4・削除 %5")
                               .arg(m_preview->count(core::PreviewEntry::Action::Convert))
                               .arg(m_preview->count(core::PreviewEntry::Action::Copy))
                               .arg(m_preview->count(core::PreviewEntry::Action::Skip))
                               .arg(m_preview->count(core::PreviewEntry::Action::UpToDate))
                               .arg(m_preview->count(core::PreviewEntry::Action::Delete));
    QString text = counts + QStringLiteral("　書き込み 約 %1 バイト").arg(byteCount(m_bytesToWrite));
    const std::optional<qint64> free =
        m_freeSpaceOverride           ? m_freeSpaceOverride
        : m_preview->destinationSpace ? std::optional<qint64>(m_preview->destinationSpace->bytesAvailable)
                                      : std::nullopt;
    if (free)
        text += QStringLiteral("／空き %1 バイト").arg(byteCount(*free));
    if (!m_preview->pruneRefusal.isEmpty())
        text += QStringLiteral("\n削除はしません：") + m_preview->pruneRefusal;
    if (free && m_bytesToWrite > *free)
        return refuse(
            text +
            QStringLiteral("\n空き容量が %1 バイト足りません。").arg(byteCount(m_bytesToWrite - *free)));
    m_spaceText->setText(text);
    const bool work = !m_preview->jobsToRun().isEmpty() || !m_preview->deletions.isEmpty();
    m_startButton->setEnabled(work);
    return work;
}

void LibrarySyncDialog::showEntries(const core::RunPreview& preview) {
    const QDir source(choice().source), destination(choice().destination);
    QList<QTreeWidgetItem*> items;
    for (const core::PreviewEntry& entry : preview.entries()) {
        // A deletion has no source: its copy is named by its place in the destination.
        const QString file = entry.source.isEmpty() ? destination.relativeFilePath(entry.destination)
                                                    : source.relativeFilePath(entry.source);
        auto* item = new QTreeWidgetItem(
            {actionText(entry.action), QDir::toNativeSeparators(file), reasonText(entry.reason)});
        item->setData(0, SourceRole, entry.source);
        item->setData(0, DestinationRole, entry.destination);
        item->setData(0, ReasonRole, entry.reason);
        item->setToolTip(1, entry.source.isEmpty() ? entry.destination : entry.source);
        items << item;
    }
    m_entries->addTopLevelItems(items);
}

void LibrarySyncDialog::start() {
    if (isRunning() || !preview())
        return;
    m_summaryText->clear();
    m_timeLeft->clear();
    core::LibraryRun run(request());
    m_run = &run;
    setIdle(false);

    QList<qint64> durations;
    qint64 total = 0, done = 0;
    QElapsedTimer clock;
    connect(&run, &core::LibraryRun::jobsReady, this, [&](int count) {
        for (const core::ConversionJob& job : run.jobs()) {
            durations << core::audioDurationMs(job.source);
            total += durations.last();
        }
        m_progress->setRange(0, qMax(1, count));
        m_progress->setValue(0);
        clock.start();
        QCoreApplication::processEvents();
    });
    connect(&run, &core::LibraryRun::measuring, this, [this](const QString& source) {
        m_timeLeft->setText(QStringLiteral("音量を測定中：") + QFileInfo(source).fileName());
        QCoreApplication::processEvents();
    });
    // The dialog's events run whenever a percentage changes and at the converter's pauses, so that
    // 「中止」 is seen while a file converts.
    connect(&run, &core::LibraryRun::progress, this, [&](int index, int percent) {
        const qint64 current = durations.value(index) * percent / 100;
        const qint64 left = core::timeLeftMs(done + current, total, clock.elapsed());
        if (left >= 0)
            m_timeLeft->setText(QStringLiteral("残り ") + core::clockText(left));
        QCoreApplication::processEvents();
    });
    connect(&run, &core::LibraryRun::paused, this, [] { QCoreApplication::processEvents(); });
    connect(&run, &core::LibraryRun::fileFinished, this, [&](int index, const core::Outcome& outcome) {
        if (outcome.failure == core::Failure::Cancelled)
            return;
        done += durations.value(index);
        m_progress->setValue(m_progress->value() + 1);
        QCoreApplication::processEvents();
    });

    const core::RunResult result = run.run();
    m_run = nullptr;
    m_summary = result.summary;
    m_timeLeft->clear();
    switch (result.end) {
    case core::RunResult::End::Refused:
        m_summaryText->setText(QStringLiteral("同期できませんでした：") + result.reason);
        break;
    case core::RunResult::End::Stopped:
        m_summaryText->setText(QStringLiteral("中止しました。") + options::runSummaryStatusText(m_summary));
        break;
    case core::RunResult::End::Finished:
        m_summaryText->setText(options::runSummaryStatusText(m_summary));
        break;
    }
    setIdle(true);
    // What the list showed is done now; another 確認 shows what is left.
    m_startButton->setEnabled(false);
    emit syncFinished(m_summary, m_summary.elapsedMs);
}

void LibrarySyncDialog::stop() {
    if (m_run)
        m_run->cancel();
}

void LibrarySyncDialog::reject() {
    // Closing while the run goes stops it first; the dialog closes once nothing partial is left.
    if (isRunning()) {
        stop();
        return;
    }
    QDialog::reject();
}

void LibrarySyncDialog::setIdle(bool idle) {
    m_startButton->setText(idle ? QStringLiteral("開始") : QStringLiteral("中止"));
    m_startButton->setToolTip(idle ? QStringLiteral("同期を始めます")
                                   : QStringLiteral("変換中のファイルを破棄して同期を止めます"));
    for (QWidget* widget : {static_cast<QWidget*>(m_source), static_cast<QWidget*>(m_destination),
                            static_cast<QWidget*>(m_prune), static_cast<QWidget*>(m_optionsButton),
                            static_cast<QWidget*>(m_previewButton), static_cast<QWidget*>(m_closeButton)})
        widget->setEnabled(idle);
    for (QPushButton* browse : findChildren<QPushButton*>())
        if (browse->objectName().endsWith(QStringLiteral("Browse")))
            browse->setEnabled(idle);
}

void LibrarySyncDialog::chooseFolder(QLineEdit* field) {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), field->text());
    if (!folder.isEmpty())
        field->setText(QDir::toNativeSeparators(folder));
}

void LibrarySyncDialog::chooseOptions() {
    if (const std::optional<options::Choice> chosen = options::OptionsDialog::ask(this, m_options)) {
        m_options = *chosen;
        showOptions();
        fieldsChanged();
    }
}

void LibrarySyncDialog::showOptions() {
    core::RunOptions shown = m_options.run;
    shown.update = true;
    const QString text = options::optionsStatusText(shown);
    m_optionsText->setText(text.isEmpty() ? QStringLiteral("オプション：なし") : text);
    m_encoding->setText(encodingText(m_bitRate, m_channelMode, m_options.run.vbrQuality));
}

void LibrarySyncDialog::fieldsChanged() {
    // A list made for other fields no longer says what 開始 would do.
    m_entries->clear();
    m_preview.reset();
    m_bytesToWrite = 0;
    m_spaceText->clear();
    m_startButton->setEnabled(true);
}

} // namespace librarysync
