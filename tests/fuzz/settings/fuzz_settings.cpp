// Any bytes as a settings file. Checked for every input: parsing and writing back without a change gives
// the same bytes; every value read keeps within the 255-byte limit; a value written is read back
// unchanged, also after the file's bytes are parsed again; a write changes only the lines of its key
// (and adds at most the section header and a blank line before it). Over it, the program's keys: whatever
// the file holds, each value read is one the window can show, and writing the values and reading them
// again gives the same values.

#include "core/files/AtomicFile.h"
#include "window/LegacyText.h"
#include "window/ProgramSettings.h"
#include "window/Settings.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

const QString Section = QStringLiteral("Setting");

// A value that a write must give back exactly: no line break, no NUL, no surrounding blanks, not empty,
// within the limit. Taken from the input's last bytes so the fuzzer steers it too.
QString valueFrom(const QByteArray& bytes) {
    const QByteArray tail = bytes.right(48);
    QString value =
        legacytext::isValidUtf8(tail) ? QString::fromUtf8(tail) : legacytext::decodeCp932Text(tail);
    value.remove(QChar(0));
    value.replace(QLatin1Char('\r'), QLatin1Char('_'));
    value.replace(QLatin1Char('\n'), QLatin1Char('_'));
    while (!value.isEmpty() && (value.front() == QLatin1Char(' ') || value.front() == QLatin1Char('\t')))
        value.remove(0, 1);
    while (!value.isEmpty() && (value.back() == QLatin1Char(' ') || value.back() == QLatin1Char('\t')))
        value.chop(1);
    return value.isEmpty() ? QStringLiteral("x") : legacytext::cutToCp932Bytes(value, MaxProfileValueBytes);
}

int lineCount(const QByteArray& bytes) {
    return int(bytes.count('\n')) + (bytes.isEmpty() || bytes.endsWith('\n') ? 0 : 1);
}

} // namespace

// Nothing here saves a file; the parser's object code refers to the atomic writer all the same.
core::Result core::writeFileAtomically(const QString&, const QByteArray&) {
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ProfileFile file = ProfileFile::fromBytes(bytes);
    check(file.toBytes() == bytes);

    for (const char* key : {"Bits", "InPath", "PlayList", "Other"}) {
        const QString read = file.read(Section, QString::fromLatin1(key), QStringLiteral("D"));
        check(core::cp932ByteCount(read) <= MaxProfileValueBytes);
    }

    const QString value = valueFrom(bytes);
    const QString key = size % 2 ? QStringLiteral("InPath") : QStringLiteral("pLaYlIsT");
    file.write(Section, key, value);
    check(file.value(Section, key) == value);
    const QByteArray written = file.toBytes();
    const ProfileFile again = ProfileFile::fromBytes(written);
    check(again.value(Section, key) == value);
    check(again.toBytes() == written);
    check(lineCount(written) <= lineCount(bytes) + 3);
    // Writing the same value once more changes nothing.
    ProfileFile same = ProfileFile::fromBytes(written);
    same.write(Section, key, value);
    check(!same.isChanged());

    // The folders' defaults name no folder, so that only the other keys' values come from the input.
    const SettingDefaults defaults{QStringLiteral("/nonexistent/a"), QStringLiteral("/nonexistent/b"),
                                   QStringLiteral("/nonexistent/c"), 2};
    const ProgramSettings settings = ProgramSettings::read(file, defaults);
    const core::RunOptions& options = settings.runOptions();
    check(settings.bitRateIndex() >= 0 && settings.bitRateIndex() <= 13);
    check(settings.channelModeIndex() >= 0 && settings.channelModeIndex() <= 2);
    check(settings.sortIndex() >= 0 && settings.sortIndex() <= 1);
    check(settings.playListPathSetting() >= 0 && settings.playListPathSetting() <= 2);
    check(settings.jobs() >= 1 && settings.jobs() <= ProgramSettings::MaxJobs);
    check(!settings.playListName().isEmpty());
    check(options.vbrQuality >= -1 && options.vbrQuality <= 9);
    check(options.coverMax == 0 || (options.coverMax >= 16 && options.coverMax <= 4096));
    check(options.targetLufs >= -40 && options.targetLufs <= -5);
    ProfileFile rewritten = ProfileFile::fromBytes(written);
    settings.writeTo(rewritten);
    const ProgramSettings back = ProgramSettings::read(ProfileFile::fromBytes(rewritten.toBytes()), defaults);
    check(back.runOptions() == options);
    check(back.bitRateIndex() == settings.bitRateIndex() && back.sortIndex() == settings.sortIndex());
    check(back.jobs() == settings.jobs() && back.syncPrune() == settings.syncPrune());
    check(back.syncSource() == settings.syncSource() && back.playListName() == settings.playListName());
    return 0;
}
