// The conversion options dialog as a user drives it, the status bar's texts, the notification rule and
// the guide's and about box's lookups.
#include "WindowDriver.h"
#include "notify/DesktopNotice.h"
#include "options/AboutText.h"
#include "options/GuidePath.h"
#include "options/OptionsDialog.h"
#include "options/OptionsSummary.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using options::Choice;
using options::OptionsDialog;

namespace {

QSpinBox* spin(const QWidget& root, const char* name) {
    return ui::control<QSpinBox>(root, name);
}

// Every option on, each value away from the dialog's defaults, so that a value that is dropped or
// taken from the wrong control shows.
Choice everythingOn() {
    Choice choice;
    core::RunOptions& run = choice.run;
    run.update = run.checksum = run.noUpscale = run.keepDates = run.fatNames = run.id3v23 = true;
    run.coverMax = 320;
    run.normalize = core::Normalize::Album;
    run.targetLufs = -18.5;
    run.vbrQuality = 0;
    choice.jobs = 3;
    return choice;
}

// Answers the modal dialog ask() opens as soon as its event loop runs, as a user would.
void answerNextDialog(const std::function<void(OptionsDialog&)>& edit, const char* buttonName) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        edit(*dialog);
        ui::button(*dialog, buttonName)->click();
    });
}

// What a notification server is given, for the test to read back.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    QStringList received; // app name, icon, summary, body of each notice

  public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        received << app << icon << summary << body;
        return 1;
    }
};

} // namespace

class TestOptions : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // No session bus for this process: notifyDesktop must give up at once.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/mp3recast-test-bus");
    }

    // The user switches every option on through the controls; OK gives back exactly that, and the
    // dialog opened on that choice shows it and gives it back unchanged.
    void dialogRoundTripsEveryOption() {
        answerNextDialog(
            [](OptionsDialog& d) {
                for (const char* name : {"UpdateCheck", "ChecksumCheck", "NoUpscaleCheck", "KeepDatesCheck",
                                         "Id3v23Check", "CoverCheck", "VbrCheck", "FatNamesCheck"})
                    ui::checkBox(d, name)->click();
                spin(d, "CoverMaxSpin")->setValue(320);
                ui::comboBox(d, "NormalizeCombo")->setCurrentIndex(2);
                ui::control<QDoubleSpinBox>(d, "TargetLufsSpin")->setValue(-18.5);
                spin(d, "VbrQualitySpin")->setValue(0);
                spin(d, "JobsSpin")->setValue(3);
            },
            "OkButton");
        const auto chosen = OptionsDialog::ask(nullptr, Choice());
        QVERIFY(chosen);
        QCOMPARE(*chosen, everythingOn());

        QCOMPARE(OptionsDialog(everythingOn()).choice(), everythingOn());
        Choice trackAtDefault;
        trackAtDefault.run.normalize = core::Normalize::Track;
        trackAtDefault.run.vbrQuality = 9;
        QCOMPARE(OptionsDialog(trackAtDefault).choice(), trackAtDefault);
        QCOMPARE(OptionsDialog(Choice()).choice(), Choice());
    }

    void cancelGivesNothing() {
        answerNextDialog([](OptionsDialog& d) { ui::checkBox(d, "Id3v23Check")->click(); }, "CancelButton");
        QVERIFY(!OptionsDialog::ask(nullptr, everythingOn()));
    }

    // A value belongs to its switch: it can be changed only while the switch is on, and a value left
    // behind by a switch turned off is not part of the choice.
    void dependentControlsFollowTheirSwitch() {
        OptionsDialog d{Choice()};
        const auto enabled = [&](const char* name) { return ui::control<QWidget>(d, name)->isEnabled(); };
        QVERIFY(!enabled("CoverMaxSpin") && !enabled("TargetLufsSpin") && !enabled("VbrQualitySpin") &&
                !enabled("ChecksumCheck"));
        QVERIFY(ui::label(d, "VbrNote")->isHidden());

        ui::checkBox(d, "CoverCheck")->click();
        ui::comboBox(d, "NormalizeCombo")->setCurrentIndex(1);
        ui::checkBox(d, "VbrCheck")->click();
        ui::checkBox(d, "UpdateCheck")->click();
        QVERIFY(enabled("CoverMaxSpin") && enabled("TargetLufsSpin") && enabled("VbrQualitySpin") &&
                enabled("ChecksumCheck"));
        QVERIFY(!ui::label(d, "VbrNote")->isHidden());
        QCOMPARE(ui::label(d, "VbrNote")->text(),
                 QStringLiteral("VBR を使うときは、ビットレートの選択は使われません。"));

        ui::checkBox(d, "ChecksumCheck")->click();
        QVERIFY(d.choice().run.checksum);
        for (const char* name : {"CoverCheck", "VbrCheck", "UpdateCheck"})
            ui::checkBox(d, name)->click();
        ui::comboBox(d, "NormalizeCombo")->setCurrentIndex(0);
        QVERIFY(!enabled("CoverMaxSpin") && !enabled("TargetLufsSpin") && !enabled("VbrQualitySpin") &&
                !enabled("ChecksumCheck"));
        QVERIFY(ui::label(d, "VbrNote")->isHidden());
        const core::RunOptions run = d.choice().run;
        QCOMPARE(run.coverMax, 0);
        QCOMPARE(run.vbrQuality, -1);
        QVERIFY(!run.checksum); // still ticked, but it means nothing without update
        QVERIFY(!run.anyOn());
    }

    void optionsStatusText() {
        QCOMPARE(options::optionsStatusText(core::RunOptions()), QString());
        // An unused target is no option: loudness off says nothing of it.
        core::RunOptions some;
        some.id3v23 = true;
        some.coverMax = 500;
        some.normalize = core::Normalize::Track;
        some.targetLufs = -16.0;
        QCOMPARE(options::optionsStatusText(some),
                 QStringLiteral("オプション：ID3v2.3・カバー 500px・音量 -16 LUFS"));
        some.normalize = core::Normalize::Off;
        some.targetLufs = -20.0;
        QCOMPARE(options::optionsStatusText(some), QStringLiteral("オプション：ID3v2.3・カバー 500px"));

        QCOMPARE(options::optionsStatusText(everythingOn().run),
                 QStringLiteral("オプション：更新分のみ（内容比較）・元より上げない・日付を保持・ID3v2.3・"
                                "カバー 320px・音量（アルバム）-18.5 LUFS・VBR V0・FAT 名"));
    }

    void runSummaryStatusText() {
        core::RunSummary summary;
        summary.converted = 3;
        summary.copied = 1;
        summary.skipped = 10;
        summary.bytesRead = 12345678;
        summary.bytesWritten = 999;
        summary.elapsedMs = 12345;
        QCOMPARE(options::runSummaryStatusText(summary),
                 QStringLiteral("変換 3・コピー 1・スキップ 10・失敗 0　読み込み 12,345,678 バイト・"
                                "書き込み 999 バイト　12.3 秒"));
        summary.pruned = 2;
        summary.failed = 1;
        summary.elapsedMs = 61'000;
        QCOMPARE(options::runSummaryStatusText(summary),
                 QStringLiteral("変換 3・コピー 1・スキップ 10・失敗 1・削除 2　読み込み 12,345,678 バイト・"
                                "書き込み 999 バイト　61.0 秒"));
    }

    void noticeOnlyForLongRunsOutOfSight() {
        QVERIFY(!notify::shouldNotify(30'000, false)); // exactly the limit is not longer than it
        QVERIFY(notify::shouldNotify(30'001, false));
        QVERIFY(!notify::shouldNotify(3'600'000, true));
        QVERIFY(!notify::shouldNotify(0, false));
    }

    void noticeWithoutBusSendsNothing() {
        QVERIFY(!notify::notifyDesktop(QStringLiteral("MP3Recast"), QStringLiteral("変換が終わりました。")));
    }

    // On a private bus of its own: nothing is sent while no one owns the notification service's name,
    // and once a server does, it gets the notice.
    void noticeReachesTheServer() {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address")});
        if (!daemon.waitForStarted())
            QSKIP("dbus-daemon is not installed");
        QVERIFY(daemon.waitForReadyRead(10'000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        const QString name = QStringLiteral("options-test-bus");
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address, name);
            QVERIFY(bus.isConnected());
            QVERIFY(!notify::notifyDesktop(bus, QStringLiteral("t"), QStringLiteral("b")));

            FakeNotifications server;
            QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &server,
                                       QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
            QVERIFY(notify::notifyDesktop(bus, QStringLiteral("変換が終わりました"),
                                          QStringLiteral("変換 3・失敗 0")));
            QCOMPARE(server.received,
                     (QStringList{QStringLiteral("MP3Recast"), QStringLiteral("mp3recast"),
                                  QStringLiteral("変換が終わりました"), QStringLiteral("変換 3・失敗 0")}));
            bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        }
        QDBusConnection::disconnectFromBus(name);
        daemon.kill();
        daemon.waitForFinished();
    }

    // An installed tree's own guide wins over the build tree's source copy, which is the fallback.
    void guideOfInstalledTreeFirst() {
        QTemporaryDir prefix;
        QVERIFY(prefix.isValid());
        QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
        const QString fromBuildTree = options::guidePath(prefix.filePath(QStringLiteral("bin")));
        QVERIFY(fromBuildTree.endsWith(QStringLiteral("docs/guide-ja.html")));
        QVERIFY(QFile::exists(fromBuildTree));

        const QString installed = prefix.filePath(QStringLiteral("share/doc/mp3recast/guide-ja.html"));
        QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
        QFile file(installed);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(options::guidePath(prefix.filePath(QStringLiteral("bin"))), installed);
    }

    void aboutTextNamesProgramAndLibraries() {
        ProgramInfo info;
        info.versionMajor = 2;
        info.versionMinor = 10;
        info.versionRevision = 7;
        const QString text =
            options::aboutText(info, {QStringLiteral("1.31.2"), QString(), QStringLiteral("3.100"),
                                      QStringLiteral("1.2.6"), QStringLiteral("6.4.2")});
        QVERIFY(text.startsWith(
            QStringLiteral("MP3Recast Version 2.10.7\nCopyright (C) 2026 MP3Recast developers")));
        QVERIFY(text.contains(QStringLiteral("libmpg123 1.31.2")));
        QVERIFY(text.contains(QStringLiteral("TagLib 不明")));
        QVERIFY(text.contains(QStringLiteral("LAME 3.100")));
        QVERIFY(text.contains(QStringLiteral("libebur128 1.2.6")));
        QVERIFY(text.contains(QStringLiteral("Qt 6.4.2")));
        QVERIFY(text.contains(QStringLiteral("MIT")));

        // The running program's own: the encoder library beside the tests reports LAME's version.
        const options::LibraryVersions versions = options::libraryVersions();
        QVERIFY(QRegularExpression(QStringLiteral("^3\\.\\d+")).match(versions.lame).hasMatch());
        QVERIFY(!versions.mpg123.isEmpty() && !versions.taglib.isEmpty() && !versions.ebur128.isEmpty());
        QCOMPARE(versions.qt, QString::fromLatin1(qVersion()));
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
