#include "window/ProgramSettings.h"
#include "window/Settings.h"

#include "core/convert/EncodingChoices.h"
#include "ui/PathHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <functional>
#include <optional>

namespace {

using Values = ProgramSettings::Values;

enum class WrittenWhen {
    Always,        // the window's keys: every close writes them
    KeptOrChanged, // only when the file held a usable value, or the value is no longer the default
    WithSection,   // with the rest of its section, which is written when the file has it or a key is set
};

// One key: where it lives, when it is written, and how its text becomes a value and back. `parse` leaves
// the value alone and answers false for a text the key cannot hold; `format` gives nothing for a value
// the file cannot hold.
struct Key {
    QString section;
    QString name;
    WrittenWhen when;
    std::function<bool(const QString&, Values&)> parse;
    std::function<std::optional<QString>(const Values&)> format;
};

// A key's value: a member of Values, or of its RunOptions. The accessor gives the member of a Values and of
// a const Values alike.
template <typename T> auto of(T Values::*member) {
    return [member](auto& values) -> auto& {
        return values.*member;
    };
}
template <typename T> auto of(T core::RunOptions::*member) {
    return [member](auto& values) -> auto& {
        return values.options.*member;
    };
}

template <typename Access>
Key integer(const char* section, const char* name, WrittenWhen when, Access access,
            std::function<bool(int)> valid) {
    return {QString::fromLatin1(section), QString::fromLatin1(name), when,
            [access, valid](const QString& text, Values& values) {
                bool ok = false;
                const int value = text.toInt(&ok);
                if (!ok || !valid(value))
                    return false;
                access(values) = value;
                return true;
            },
            [access, valid](const Values& values) -> std::optional<QString> {
                const int value = access(values);
                if (!valid(value))
                    return std::nullopt;
                return QString::number(value);
            }};
}

std::function<bool(int)> inRange(int low, int high) {
    return [low, high](int value) { return value >= low && value <= high; };
}

template <typename Access> Key flag(const char* section, const char* name, WrittenWhen when, Access access) {
    return {QString::fromLatin1(section), QString::fromLatin1(name), when,
            [access](const QString& text, Values& values) {
                if (text != QLatin1String("0") && text != QLatin1String("1"))
                    return false;
                access(values) = text == QLatin1String("1");
                return true;
            },
            [access](const Values& values) -> std::optional<QString> {
                return access(values) ? QStringLiteral("1") : QStringLiteral("0");
            }};
}

template <typename Access> Key text(const char* section, const char* name, WrittenWhen when, Access access) {
    return {QString::fromLatin1(section), QString::fromLatin1(name), when,
            [access](const QString& value, Values& values) {
                access(values) = value;
                return true;
            },
            [access](const Values& values) -> std::optional<QString> { return access(values); }};
}

// A folder field must never hold what no folder chooser could have chosen: a stored folder that is gone,
// hidden, or names a file (TempPath=/etc/passwd) reads as the default. Written as the field shows it.
template <typename Access> Key folder(const char* name, Access access) {
    Key key = text("Setting", name, WrittenWhen::Always, access);
    key.parse = [access](const QString& value, Values& values) {
        if (!FolderExists(value) || !QFileInfo(QDir::fromNativeSeparators(value)).isDir())
            return false;
        access(values) = value;
        return true;
    };
    return key;
}

const char* normalizeName(core::Normalize mode) {
    switch (mode) {
    case core::Normalize::Off:
        break;
    case core::Normalize::Track:
        return "track";
    case core::Normalize::Album:
        return "album";
    }
    return "off";
}

Key normalize() {
    return {QStringLiteral("Options"), QStringLiteral("Normalize"), WrittenWhen::WithSection,
            [](const QString& value, Values& values) {
                for (const core::Normalize mode :
                     {core::Normalize::Off, core::Normalize::Track, core::Normalize::Album}) {
                    if (value.compare(QLatin1String(normalizeName(mode)), Qt::CaseInsensitive) == 0) {
                        values.options.normalize = mode;
                        return true;
                    }
                }
                return false;
            },
            [](const Values& values) -> std::optional<QString> {
                return QString::fromLatin1(normalizeName(values.options.normalize));
            }};
}

// The target loudness in LUFS, the range the command line's --target takes.
bool validTarget(double lufs) {
    return std::isfinite(lufs) && lufs >= -40 && lufs <= -5;
}

Key target() {
    return {QStringLiteral("Options"), QStringLiteral("Target"), WrittenWhen::WithSection,
            [](const QString& value, Values& values) {
                bool ok = false;
                const double lufs = value.toDouble(&ok);
                if (!ok || !validTarget(lufs))
                    return false;
                values.options.targetLufs = lufs;
                return true;
            },
            [](const Values& values) -> std::optional<QString> {
                if (!validTarget(values.options.targetLufs))
                    return std::nullopt;
                // The shortest text that reads back as the same number: -16, -14.5.
                return QString::number(values.options.targetLufs, 'g', QLocale::FloatingPointShortest);
            }};
}

// Every key, in the order a new file lists them. The window's eight keys come in the order of its writes
// at closing; reading has no order of its own, since the file is parsed once and nothing happens between
// two reads (the window applies the values in its own start-up order).
const std::vector<Key>& keys() {
    constexpr auto Always = WrittenWhen::Always;
    constexpr auto WithSection = WrittenWhen::WithSection;
    static const std::vector<Key> table = {
        integer("Setting", "Bits", Always, of(&Values::bits), inRange(0, int(core::BitRates.size()) - 1)),
        integer("Setting", "Stereo", Always, of(&Values::stereo), inRange(0, core::ChannelModeCount - 1)),
        integer("Setting", "Sort", Always, of(&Values::sort), inRange(0, 1)),
        folder("InPath", of(&Values::inPath)),
        folder("TempPath", of(&Values::tempPath)),
        folder("OutPath", of(&Values::outPath)),
        text("Setting", "PlayList", Always, of(&Values::playList)),
        // 2 is the partly checked box, kept until the user clicks it.
        integer("Setting", "PlayListPathSet", Always, of(&Values::playListPathSet), inRange(0, 2)),
        // Without the key the machine's number of cores applies, wherever the file is carried to.
        integer("Setting", "Jobs", WrittenWhen::KeptOrChanged, of(&Values::jobs),
                inRange(1, ProgramSettings::MaxJobs)),

        flag("Options", "Update", WithSection, of(&core::RunOptions::update)),
        flag("Options", "NoUpscale", WithSection, of(&core::RunOptions::noUpscale)),
        flag("Options", "KeepDates", WithSection, of(&core::RunOptions::keepDates)),
        flag("Options", "Id3v23", WithSection, of(&core::RunOptions::id3v23)),
        // 0 keeps covers as they are; else the largest side in pixels, the range --cover-max takes.
        integer("Options", "CoverMax", WithSection, of(&core::RunOptions::coverMax),
                [](int px) { return px == 0 || (px >= 16 && px <= 4096); }),
        normalize(),
        target(),
        // -1: the bit rate of "Bits"; 0 (best) to 9: variable bit rate at that quality.
        integer("Options", "Vbr", WithSection, of(&core::RunOptions::vbrQuality), inRange(-1, 9)),
        // Set by hand for a stick: names FAT32 and exFAT refuse get their full-width forms.
        flag("Options", "FatNames", WithSection, of(&core::RunOptions::fatNames)),
        text("Options", "SyncSource", WithSection, of(&Values::syncSource)),
        text("Options", "SyncDestination", WithSection, of(&Values::syncDestination)),
        flag("Options", "SyncPrune", WithSection, of(&Values::syncPrune)),
    };
    return table;
}

} // namespace

ProgramSettings::ProgramSettings(const SettingDefaults& defaults) {
    m_defaults.inPath = defaults.sourceFolder;
    m_defaults.tempPath = defaults.workFolder;
    m_defaults.outPath = defaults.destinationFolder;
    m_defaults.jobs = defaults.jobs;
    m_values = m_defaults;
    m_usableInFile.assign(keys().size(), false);
}

ProgramSettings ProgramSettings::load(const QString& path, const SettingDefaults& defaults) {
    return read(ProfileFile::load(path), defaults);
}

ProgramSettings ProgramSettings::read(const ProfileFile& file, const SettingDefaults& defaults) {
    ProgramSettings settings(defaults);
    const std::vector<Key>& table = keys();
    for (size_t i = 0; i < table.size(); ++i) {
        // An empty value is the default as much as a missing one.
        const QString value = file.read(table[i].section, table[i].name, QString());
        settings.m_usableInFile[i] = !value.isEmpty() && table[i].parse(value, settings.m_values);
    }
    return settings;
}

void ProgramSettings::writeTo(ProfileFile& file) const {
    const std::vector<Key>& table = keys();
    const auto isSet = [this](const Key& key) { return key.format(m_values) != key.format(m_defaults); };
    // A section of options goes into the file as a whole, and only into one that has it or once an
    // option is set, so that the file of a user who never chose one keeps its bytes.
    QStringList sectionsWritten;
    for (const Key& key : table) {
        if (key.when == WrittenWhen::WithSection && !sectionsWritten.contains(key.section) &&
            (file.hasSection(key.section) || isSet(key)))
            sectionsWritten.append(key.section);
    }
    for (size_t i = 0; i < table.size(); ++i) {
        const Key& key = table[i];
        const std::optional<QString> value = key.format(m_values);
        if (!value)
            continue;
        const bool wanted = key.when == WrittenWhen::Always ||
                            (key.when == WrittenWhen::KeptOrChanged && (m_usableInFile[i] || isSet(key))) ||
                            (key.when == WrittenWhen::WithSection && sectionsWritten.contains(key.section));
        if (wanted)
            file.write(key.section, key.name, *value);
    }
}

core::Result ProgramSettings::save(const QString& path) const {
    ProfileFile file = ProfileFile::load(path);
    writeTo(file);
    return file.save(path);
}
