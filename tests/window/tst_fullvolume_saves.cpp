// What a full volume does to the files the window saves whole, the settings file and the playlist: the
// old file stays byte for byte, the failure is named, and nothing is left beside it. Runs on a real full
// tmpfs.

#include "FullVolume.h"
#include "core/text/TextConstants.h"
#include "mp3_fixtures.h"
#include "playlist/PlaylistFile.h"
#include "window/Settings.h"

#include <QFile>
#include <QtTest>

class TestFullVolumeSaves : public QObject {
    Q_OBJECT

  private slots:
    // Settings and playlists: the old file with its hand-written lines survives a save that cannot be
    // written, and the save says why.
    void wholeFilesKeepTheirOldContents() {
        FullVolume volume;
        if (!volume.isMounted())
            QSKIP("cannot mount a small tmpfs here (mounting needs CAP_SYS_ADMIN)");
        const QString ini = volume.filePath(QStringLiteral("MP3Recast.INI"));
        const QByteArray oldSettings = "; kept by hand\r\n[Setting]\r\nBits=3\r\n[Other]\r\nx=1\r\n";
        QVERIFY(fixtures::writeFile(ini, oldSettings));
        const QString list = volume.filePath(QStringLiteral("MP3LIST.M3U"));
        const QByteArray oldList = "a.mp3\r\nb.mp3\r\n\r\n";
        QVERIFY(fixtures::writeFile(list, oldList));
        volume.fill();

        ProfileFile settings = ProfileFile::load(ini);
        settings.write(QStringLiteral("Setting"), QStringLiteral("Bits"), QStringLiteral("13"));
        settings.write(QStringLiteral("Setting"), QStringLiteral("InPath"), QString(4096, QLatin1Char('x')));
        const core::Result saved = settings.save(ini);
        QVERIFY(!saved);
        QCOMPARE(saved.reason(), core::DiskSpaceHint);
        QCOMPARE(fixtures::readFile(ini), oldSettings);

        const core::Result failure =
            ui::writePlayListFile(volume.path(), QStringLiteral("MP3LIST.M3U"),
                                  ui::playListFileBytes(QString(8192, QLatin1Char('y'))));
        QVERIFY(failure.reason().contains(core::DiskSpaceHint));
        QCOMPARE(fixtures::readFile(list), oldList);
        // A new playlist that cannot be written is no empty file either.
        QVERIFY(!ui::writePlayListFile(volume.path(), QStringLiteral("NEW.M3U"), QByteArray(8192, 'z')));
        QVERIFY(!QFile::exists(volume.filePath(QStringLiteral("NEW.M3U"))));
        QCOMPARE(volume.leftovers({QStringLiteral("MP3Recast.INI"), QStringLiteral("MP3LIST.M3U")}),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFullVolumeSaves)
#include "tst_fullvolume_saves.moc"
