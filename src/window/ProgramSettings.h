#pragma once

#include "core/Result.h"
#include "core/run/RunOptions.h"

#include <QString>
#include <vector>

class ProfileFile;

// What a setting is when the file has none, or one that cannot be used: the folders depend on where the
// program runs from (portable or installed), the number of jobs on the machine.
struct SettingDefaults {
    QString sourceFolder;
    QString workFolder;
    QString destinationFolder;
    int jobs = 1;
};

// How writing the settings file ended: ok, or one line that names the cause.
// Every setting the program keeps from one start to the next, with its key, its default, and its
// reading and writing in one table (ProgramSettings.cpp). Section "Setting" holds the window's eight keys
// and Jobs; section "Options" the conversion options and the library sync's folders.
//
// Reading never fails: a missing, empty, malformed or out-of-range value reads as the key's default.
// Writing puts the eight window keys into the file every time, in the order a new file lists them;
// Jobs only when the file held a usable value or it differs from the default; the "Options" section
// only when the file has one or some option differs from its default, so that a file of a user who never
// chose an option keeps its bytes. A value the object holds that the file could not hold back (an index
// out of range) is not written, and the line in the file stays as it is.
class ProgramSettings {
  public:
    static constexpr int MaxJobs = 64;

    ProgramSettings() : ProgramSettings(SettingDefaults()) {}
    explicit ProgramSettings(const SettingDefaults& defaults);

    // The settings of the file at path (all defaults when there is none, or it is no file the program
    // reads), over the given defaults.
    [[nodiscard]] static ProgramSettings load(const QString& path, const SettingDefaults& defaults);
    [[nodiscard]] static ProgramSettings read(const ProfileFile& file, const SettingDefaults& defaults);

    // Reads the file again, so that lines edited by hand meanwhile survive, writes the settings into it
    // and saves it atomically (not at all when nothing changed).
    core::Result save(const QString& path) const;
    void writeTo(ProfileFile& file) const;

    // --- Section "Setting" ---
    [[nodiscard]] int bitRateIndex() const { return m_values.bits; } // 0..13, 8 is 128 kbit/s
    void setBitRateIndex(int index) { m_values.bits = index; }
    [[nodiscard]] int channelModeIndex() const { return m_values.stereo; } // 0 mono, 1 stereo, 2 joint
    void setChannelModeIndex(int index) { m_values.stereo = index; }
    [[nodiscard]] int sortIndex() const { return m_values.sort; } // 0 by creation date, 1 by name
    void setSortIndex(int index) { m_values.sort = index; }
    // The folders as their fields show them; one that is gone or hidden reads as its default.
    [[nodiscard]] QString sourceFolder() const { return m_values.inPath; }
    void setSourceFolder(const QString& folder) { m_values.inPath = folder; }
    [[nodiscard]] QString workFolder() const { return m_values.tempPath; }
    void setWorkFolder(const QString& folder) { m_values.tempPath = folder; }
    [[nodiscard]] QString destinationFolder() const { return m_values.outPath; }
    void setDestinationFolder(const QString& folder) { m_values.outPath = folder; }
    [[nodiscard]] QString playListName() const { return m_values.playList; }
    void setPlayListName(const QString& name) { m_values.playList = name; }
    // The check box's state: 0 unchecked, 1 checked, 2 partly checked (kept until the user clicks it).
    [[nodiscard]] int playListPathSetting() const { return m_values.playListPathSet; }
    void setPlayListPathSetting(int state) { m_values.playListPathSet = state; }
    // Files a run converts at once, 1..MaxJobs.
    [[nodiscard]] int jobs() const { return m_values.jobs; }
    void setJobs(int jobs) { m_values.jobs = jobs; }

    // --- Section "Options" ---
    // The conversion options. `checksum` is a choice for one run of the command line and not kept.
    [[nodiscard]] const core::RunOptions& runOptions() const { return m_values.options; }
    void setRunOptions(const core::RunOptions& options) { m_values.options = options; }
    // The library sync: the folder kept in step, the copy, and whether files gone from the first are
    // removed from the copy.
    [[nodiscard]] QString syncSource() const { return m_values.syncSource; }
    void setSyncSource(const QString& folder) { m_values.syncSource = folder; }
    [[nodiscard]] QString syncDestination() const { return m_values.syncDestination; }
    void setSyncDestination(const QString& folder) { m_values.syncDestination = folder; }
    [[nodiscard]] bool syncPrune() const { return m_values.syncPrune; }
    void setSyncPrune(bool prune) { m_values.syncPrune = prune; }

    // Every value, with its default in the member's initializer (the folders' and Jobs' from
    // SettingDefaults).
    struct Values {
        int bits = 8;
        int stereo = 1;
        int sort = 1;
        QString inPath;
        QString tempPath;
        QString outPath;
        QString playList = QStringLiteral("MP3LIST.M3U");
        int playListPathSet = 0;
        int jobs = 1;
        core::RunOptions options;
        QString syncSource;
        QString syncDestination;
        bool syncPrune = false;
    };

  private:
    Values m_defaults;
    Values m_values;
    // Per key of the table: the file held a usable value for it when it was read.
    std::vector<bool> m_usableInFile;
};
