#include "options/OptionsDialog.h"

#include "core/run/ConversionRun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace options {
namespace {

// The range the command line accepts for each value, so that every choice it can make is one the dialog
// can show and give back unchanged.
constexpr int CoverMin = 16;
constexpr int CoverMaxLimit = 4096;
constexpr int CoverDefault = 500;
constexpr double LufsMin = -40.0;
constexpr double LufsMax = -5.0;
constexpr int VbrDefault = 2;
constexpr int JobsLimit = 64; // the window's own limit for Jobs in its settings

template <typename T> T* named(T* widget, const char* name, const QString& tip) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setToolTip(tip);
    return widget;
}

QCheckBox* checkBox(const QString& text, const char* name, const QString& tip) {
    return named(new QCheckBox(text), name, tip);
}

// A checkbox with the value it switches on, side by side; the value's unit follows it.
QWidget* switchedValue(QCheckBox* check, QWidget* value, const QString& unit = QString()) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(check);
    layout->addWidget(value);
    if (!unit.isEmpty())
        layout->addWidget(new QLabel(unit));
    layout->addStretch();
    return row;
}

} // namespace

OptionsDialog::OptionsDialog(const Choice& current, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptionsDialog"));
    setWindowTitle(QStringLiteral("変換オプション"));

    // Keeping a copy in step: what the sync record of each output makes possible.
    m_update = checkBox(QStringLiteral("変換先が最新のファイルは変換しない"), "UpdateCheck",
                        QStringLiteral("変換先にないか、元のファイルや設定が変わったものだけを変換します。"
                                       "ライブラリのコピーを最新に保つときに。"));
    m_checksum = checkBox(QStringLiteral("元のファイルの内容をすべて比べる"), "ChecksumCheck",
                          QStringLiteral("サイズと日付が同じでも内容を読んで比べます。"
                                         "日付を変えずに編集するソフトを使うときに（時間がかかります）。"));
    m_noUpscale =
        checkBox(QStringLiteral("元のビットレートが変換先以下ならそのままコピーする"), "NoUpscaleCheck",
                 QStringLiteral("音質が上がらない再エンコードを避け、元のファイルをコピーします"
                                "（44.1 kHz でチャンネルが合うもの）。"));
    m_keepDates = checkBox(QStringLiteral("元のファイルの更新日時を保つ"), "KeepDatesCheck",
                           QStringLiteral("変換したファイルに元のファイルの更新日時を付けます。"
                                          "日付順に並べるプレーヤーで使うときに。"));

    m_id3v23 = checkBox(QStringLiteral("タグを ID3v2.3 で書く"), "Id3v23Check",
                        QStringLiteral("ID3v2.4 を読めないカーステレオや古いプレーヤーのときに"
                                       "（2.3 にない項目は省かれます）。"));
    m_cover = checkBox(QStringLiteral("カバー画像を縮める　最大"), "CoverCheck",
                       QStringLiteral("大きなカバー画像を指定の大きさ以下の JPEG にします。"
                                      "大きな画像を表示できない機器のときに。"));
    m_coverMax =
        named(new QSpinBox, "CoverMaxSpin", QStringLiteral("カバー画像の縦横の最大ピクセル数（16～4096）。"));
    m_coverMax->setRange(CoverMin, CoverMaxLimit);
    m_coverMax->setSingleStep(50);
    m_coverMax->setValue(CoverDefault);

    m_normalize =
        named(new QComboBox, "NormalizeCombo",
              QStringLiteral("曲ごとの音量差をなくします。アルバムごとにすると曲間の強弱は残ります。"));
    m_normalize->addItem(QStringLiteral("そろえない"), int(core::Normalize::Off));
    m_normalize->addItem(QStringLiteral("曲ごとにそろえる"), int(core::Normalize::Track));
    m_normalize->addItem(QStringLiteral("アルバムごとにそろえる"), int(core::Normalize::Album));
    m_targetLufs = named(new QDoubleSpinBox, "TargetLufsSpin",
                         QStringLiteral("そろえる音量（LUFS）。-16 が標準、大きい値ほど大きな音です。"));
    m_targetLufs->setRange(LufsMin, LufsMax);
    m_targetLufs->setDecimals(1);
    m_targetLufs->setSingleStep(0.5);

    m_vbr =
        checkBox(QStringLiteral("可変ビットレート（VBR）　品質"), "VbrCheck",
                 QStringLiteral("曲の難しさに合わせてビットレートを変え、同じ大きさでより良い音にします。"));
    m_vbrQuality =
        named(new QSpinBox, "VbrQualitySpin",
              QStringLiteral("0 が最高音質（大きいファイル）、9 が最小のファイルです。2 が目安です。"));
    m_vbrQuality->setRange(0, 9);
    m_vbrQuality->setValue(VbrDefault);
    m_vbrNote = new QLabel(QStringLiteral("VBR を使うときは、ビットレートの選択は使われません。"));
    m_vbrNote->setObjectName(QStringLiteral("VbrNote"));
    QSizePolicy keepSpace = m_vbrNote->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true); // the dialog keeps its size as VBR is switched
    m_vbrNote->setSizePolicy(keepSpace);

    m_fatNames = checkBox(QStringLiteral("FAT / exFAT で使えない文字を全角にする"), "FatNamesCheck",
                          QStringLiteral("名前の : ? * などを全角に置き換えます。"
                                         "FAT32 や exFAT でフォーマットした USB メモリに書くときに。"));

    m_jobs =
        named(new QSpinBox, "JobsSpin",
              QStringLiteral("同時に変換するファイルの数。ほかの作業をしながら変換するときは減らします。"));
    m_jobs->setRange(0, JobsLimit);
    m_jobs->setSpecialValueText(QStringLiteral("CPU コアの数（%1）").arg(core::defaultWorkerCount()));

    auto* sync = new QGroupBox(QStringLiteral("ライブラリの同期"));
    sync->setObjectName(QStringLiteral("SyncGroup"));
    auto* syncLayout = new QVBoxLayout(sync);
    syncLayout->addWidget(m_update);
    auto* checksumRow = new QHBoxLayout;
    checksumRow->addSpacing(20); // under the option it refines
    checksumRow->addWidget(m_checksum);
    syncLayout->addLayout(checksumRow);
    syncLayout->addWidget(m_noUpscale);
    syncLayout->addWidget(m_keepDates);

    auto* files = new QGroupBox(QStringLiteral("カーステレオ・USB メモリ向け"));
    files->setObjectName(QStringLiteral("FilesGroup"));
    auto* filesLayout = new QGridLayout(files);
    filesLayout->addWidget(m_id3v23, 0, 0, 1, 2);
    filesLayout->addWidget(switchedValue(m_cover, m_coverMax, QStringLiteral("ピクセル")), 1, 0, 1, 2);
    auto* loudness = new QWidget;
    auto* loudnessLayout = new QHBoxLayout(loudness);
    loudnessLayout->setContentsMargins(0, 0, 0, 0);
    auto* loudnessLabel = new QLabel(QStringLiteral("音量："));
    loudnessLabel->setBuddy(m_normalize);
    loudnessLayout->addWidget(loudnessLabel);
    loudnessLayout->addWidget(m_normalize);
    loudnessLayout->addWidget(new QLabel(QStringLiteral("目標")));
    loudnessLayout->addWidget(m_targetLufs);
    loudnessLayout->addWidget(new QLabel(QStringLiteral("LUFS")));
    loudnessLayout->addStretch();
    filesLayout->addWidget(loudness, 2, 0, 1, 2);
    filesLayout->addWidget(switchedValue(m_vbr, m_vbrQuality), 3, 0, 1, 2);
    filesLayout->addWidget(m_vbrNote, 4, 0, 1, 2);
    filesLayout->addWidget(m_fatNames, 5, 0, 1, 2);

    auto* work = new QGroupBox(QStringLiteral("処理"));
    work->setObjectName(QStringLiteral("WorkGroup"));
    auto* workLayout = new QFormLayout(work);
    workLayout->addRow(QStringLiteral("同時に変換するファイル数："), m_jobs);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sync);
    layout->addWidget(files);
    layout->addWidget(work);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QCheckBox* check : {m_update, m_cover, m_vbr})
        connect(check, &QCheckBox::toggled, this, &OptionsDialog::updateDependents);
    connect(m_normalize, &QComboBox::currentIndexChanged, this, &OptionsDialog::updateDependents);

    setChoice(current);
}

std::optional<Choice> OptionsDialog::ask(QWidget* parent, const Choice& current) {
    OptionsDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

void OptionsDialog::setChoice(const Choice& choice) {
    const core::RunOptions& run = choice.run;
    m_update->setChecked(run.update);
    m_checksum->setChecked(run.checksum);
    m_noUpscale->setChecked(run.noUpscale);
    m_keepDates->setChecked(run.keepDates);
    m_id3v23->setChecked(run.id3v23);
    m_cover->setChecked(run.coverMax > 0);
    m_coverMax->setValue(run.coverMax > 0 ? run.coverMax : CoverDefault);
    m_normalize->setCurrentIndex(m_normalize->findData(int(run.normalize)));
    m_targetLufs->setValue(run.targetLufs);
    m_vbr->setChecked(run.vbrQuality >= 0);
    m_vbrQuality->setValue(run.vbrQuality >= 0 ? run.vbrQuality : VbrDefault);
    m_fatNames->setChecked(run.fatNames);
    m_jobs->setValue(choice.jobs);
    updateDependents();
}

Choice OptionsDialog::choice() const {
    Choice choice;
    core::RunOptions& run = choice.run;
    run.update = m_update->isChecked();
    run.checksum = run.update && m_checksum->isChecked();
    run.noUpscale = m_noUpscale->isChecked();
    run.keepDates = m_keepDates->isChecked();
    run.id3v23 = m_id3v23->isChecked();
    run.coverMax = m_cover->isChecked() ? m_coverMax->value() : 0;
    run.normalize = core::Normalize(m_normalize->currentData().toInt());
    run.targetLufs = m_targetLufs->value();
    run.vbrQuality = m_vbr->isChecked() ? m_vbrQuality->value() : -1;
    run.fatNames = m_fatNames->isChecked();
    choice.jobs = m_jobs->value();
    return choice;
}

void OptionsDialog::updateDependents() {
    m_checksum->setEnabled(m_update->isChecked());
    m_coverMax->setEnabled(m_cover->isChecked());
    m_targetLufs->setEnabled(m_normalize->currentData().toInt() != int(core::Normalize::Off));
    m_vbrQuality->setEnabled(m_vbr->isChecked());
    m_vbrNote->setVisible(m_vbr->isChecked());
}

} // namespace options
