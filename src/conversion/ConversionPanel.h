#pragma once

#include "core/convert/EncodingChoices.h"
#include "core/models/DestinationListing.h"
#include "core/run/RunRequest.h"
#include "core/run/RunSummary.h"
#include "ui/Panel.h"

#include <QObject>
#include <array>
#include <optional>

namespace core {
class ConversionQueue;
class LibraryRun;
} // namespace core
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The middle of the window's upper frame: the work folder and its free space, the bit rate, the channel
// mode, the progress fields and the start/stop button. A click on the button turns the queue into a
// conversion run of the core, whose progress the panel shows; while the run lasts the button stops it.
class ConversionPanel : public QObject {
    Q_OBJECT

  public:
    ConversionPanel(const PanelContext& context, const core::ConversionQueue& queue);

    QString workFolder() const;
    void setWorkFolder(const QString& folder);
    // Indexes of the checked bit rate (0 to 13) and channel mode (0 to 2); -1 when none is checked.
    int bitRateIndex() const;
    void setBitRateIndex(int index);
    int channelModeIndex() const;
    void setChannelModeIndex(int index);

    // Files a run converts at once: 1 converts in this process; more run each file in a worker process
    // of `program` (by default the command line program beside this one), when it is there.
    void setWorkers(int jobs, const QString& program = QString());
    // The number alone, as the settings give it.
    void setWorkerCount(int jobs) { m_jobs = jobs; }
    int workers() const { return m_jobs; }
    // The program the workers run; empty: the command line program beside this one.
    QString workerProgram() const { return m_workerProgram; }

    // What the window's runs are asked for beyond the bit rate and the channel mode; at the defaults a
    // run makes exactly the plain files.
    void setRunOptions(const core::RunOptions& options) { m_options = options; }
    core::RunOptions runOptions() const { return m_options; }
    // Where the run puts the converted files.
    void setDestinationFolder(const QString& folder) { m_destinationFolder = folder; }
    // Asks the run under way, if any, to stop after cleaning up its current file.
    void stop();
    // The work folder's free space, next to the destination's volume as the listing read it: when the
    // work folder lies on that volume both labels show the one reading.
    void showWorkSpace(const std::optional<core::VolumeSpace>& destinationVolume);

  signals:
    // Another work folder was chosen.
    void workFolderChosen();
    // A file of the run is done: converted and placed at `destination`, or not (`placed` false).
    void fileDone(const QString& destination, bool placed);
    // The run went through the whole queue without a request to stop.
    void queueConverted();
    // A run that started is over, stopped or not: what it did.
    void runEnded(const core::RunSummary& summary);

  private:
    void SelctFolder_Click();
    void ConvertStart_Click();
    // Shows the running count, the percentage and the song text of the run's signals.
    void showProgressOf(core::LibraryRun& run);
    // The run the queue and the panel's choices ask for.
    core::RunRequest runRequest() const;

    PanelContext m_context;
    const core::ConversionQueue& m_queue;
    QLineEdit* SelectFolderText;
    QPushButton* SelctFolder;
    std::array<QRadioButton*, core::BitRates.size()> Bits;
    std::array<QRadioButton*, core::ChannelModeCount> Stereo;
    QLabel* TempFree;
    QPlainTextEdit* Msg;
    QLineEdit* Prog;
    QLineEdit* NowCount;
    QPushButton* ConvertStart;

    QString m_destinationFolder;
    int m_jobs = 1;
    core::RunOptions m_options;
    QString m_workerProgram;
    // The conversion run under way, which a click on "中止" stops.
    core::LibraryRun* m_run = nullptr;
};
