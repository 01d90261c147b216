// 「変換オプション」: the window's way to the run options that the command line has had alone (keeping a
// converted copy in step, files for car stereos and FAT sticks, even loudness, never upscaling) and the
// number of files converted at once. The dialog only chooses; the window keeps and applies the choice.
#pragma once

#include "core/run/RunOptions.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace options {

struct Choice {
    core::RunOptions run;
    int jobs = 0; // files converted at once; 0: one per core
    bool operator==(const Choice&) const = default;
};

class OptionsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit OptionsDialog(const Choice& current, QWidget* parent = nullptr);

    // Shows the dialog modally; the choice when the user pressed OK, nothing when they cancelled.
    static std::optional<Choice> ask(QWidget* parent, const Choice& current);

    void setChoice(const Choice& choice);
    // What the controls say now. A value whose switch is off reads as the option's "off" (coverMax 0,
    // vbrQuality -1, checksum false); the loudness target is kept either way, as RunOptions keeps it.
    Choice choice() const;

  private:
    void updateDependents();

    QCheckBox* m_update = nullptr;
    QCheckBox* m_checksum = nullptr;
    QCheckBox* m_noUpscale = nullptr;
    QCheckBox* m_keepDates = nullptr;
    QCheckBox* m_id3v23 = nullptr;
    QCheckBox* m_cover = nullptr;
    QSpinBox* m_coverMax = nullptr;
    QComboBox* m_normalize = nullptr;
    QDoubleSpinBox* m_targetLufs = nullptr;
    QCheckBox* m_vbr = nullptr;
    QSpinBox* m_vbrQuality = nullptr;
    QLabel* m_vbrNote = nullptr;
    QCheckBox* m_fatNames = nullptr;
    QSpinBox* m_jobs = nullptr;
};

} // namespace options
