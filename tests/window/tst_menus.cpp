// The menu bar and the status bar of the real window: options chosen in the dialog reach the files the
// window makes, byte for byte as the command line makes them with the same options, and the settings
// file; the status bar names the options and then the run's summary; a busy window offers no menu that
// would start or change a run.

#include "ConversionSetup.h"
#include "WindowDriver.h"
#include "cli_run.h"
#include "options/OptionsDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

namespace {

QAction* action(MainForm& form, const char* name) {
    auto* found = form.findChild<QAction*>(QString::fromLatin1(name));
    Q_ASSERT(found);
    return found;
}

QString statusText(MainForm& form) {
    return form.findChild<QStatusBar*>(QStringLiteral("StatusBar"))->currentMessage();
}

// Answers the options dialog the menu opens as a user would: ID3v2.3, VBR at quality 2, one file at once.
void answerOptionsDialog() {
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<options::OptionsDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->findChild<QCheckBox*>(QStringLiteral("Id3v23Check"))->setChecked(true);
        dialog->findChild<QCheckBox*>(QStringLiteral("VbrCheck"))->setChecked(true);
        dialog->findChild<QSpinBox*>(QStringLiteral("VbrQualitySpin"))->setValue(2);
        dialog->findChild<QSpinBox*>(QStringLiteral("JobsSpin"))->setValue(1);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OkButton")), Qt::LeftButton);
    });
}

// Every other option, as a user keeping a copy for a car would set them.
void answerWithEveryOtherOption() {
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<options::OptionsDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        for (const char* name : {"UpdateCheck", "NoUpscaleCheck", "KeepDatesCheck", "CoverCheck"})
            dialog->findChild<QCheckBox*>(QString::fromLatin1(name))->setChecked(true);
        dialog->findChild<QSpinBox*>(QStringLiteral("CoverMaxSpin"))->setValue(300);
        dialog->findChild<QComboBox*>(QStringLiteral("NormalizeCombo"))->setCurrentIndex(1);
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("TargetLufsSpin"))->setValue(-18.0);
        dialog->findChild<QSpinBox*>(QStringLiteral("JobsSpin"))->setValue(1);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OkButton")), Qt::LeftButton);
    });
}

// Starts the window on a settings file that names the setup's folders.
bool loadWithFolders(ConversionSetup& setup) {
    fixtures::writeFile(setup.program.info.settingsFilePath(),
                        QStringLiteral("[Setting]\nInPath=%1\nTempPath=%2\nOutPath=%3\n")
                            .arg(setup.sourceFolder, setup.workFolder, setup.destinationFolder)
                            .toUtf8());
    return setup.form->Form_Load();
}

} // namespace

class TestMenus : public QObject {
    Q_OBJECT

  private slots:
    void optionsReachTheOutputAndTheSettingsFile() {
        ConversionSetup setup;
        QVERIFY(loadWithFolders(setup));
        QCOMPARE(statusText(*setup.form), QString()); // no option on: nothing to say
        const QByteArray source =
            fixtures::id3v2Tag(4, {fixtures::id3v2Frame(4, "TIT2",
                                                        fixtures::textPayload(fixtures::Encoding::Utf8,
                                                                              QStringLiteral("春の海")))}) +
            fixtures::makeMp3({}).bytes;
        setup.addSource(QStringLiteral("song.mp3"), source);
        setup.choose(8, 1);

        answerOptionsDialog();
        action(*setup.form, "OptionsAction")->trigger();
        QCOMPARE(setup.form->optionsChoice().run.id3v23, true);
        QCOMPARE(setup.form->optionsChoice().run.vbrQuality, 2);
        QVERIFY2(statusText(*setup.form).startsWith(QStringLiteral("オプション：")),
                 qPrintable(statusText(*setup.form)));
        QVERIFY(statusText(*setup.form).contains(QStringLiteral("ID3v2.3")));

        ui::click(*setup.form, "ConvertStart");
        QVERIFY2(setup.dialogs.shown.isEmpty(), qPrintable(setup.dialogs.messageTexts().join(u'|')));
        const QByteArray made = fixtures::readFile(setup.destinationFolder + QStringLiteral("/song.mp3"));
        QVERIFY2(made.startsWith(QByteArray("ID3\x03", 4)), made.left(4).toHex().constData()); // version 2.3

        // The command line with the same options makes the same bytes.
        const QString cliOut = setup.program.root.filePath(QStringLiteral("cli"));
        const CliResult cli =
            runCli({QStringLiteral("-m"), QStringLiteral("stereo"), QStringLiteral("--id3v23"),
                    QStringLiteral("--vbr"), QStringLiteral("2"), QStringLiteral("-j"), QStringLiteral("1"),
                    QStringLiteral("-o"), cliOut, setup.sourceFolder + QStringLiteral("/song.mp3")});
        QCOMPARE(cli.exitCode, 0);
        QVERIFY(made == fixtures::readFile(cliOut + QStringLiteral("/song.mp3")));

        // The run's summary stands on the status bar until the next action.
        QVERIFY2(statusText(*setup.form).contains(QStringLiteral("変換 1")),
                 qPrintable(statusText(*setup.form)));
        ui::click(*setup.form, "OneSelect");
        QVERIFY(statusText(*setup.form).startsWith(QStringLiteral("オプション：")));

        QVERIFY(setup.form->WriteSettings());
        const QString written = QString::fromUtf8(fixtures::readFile(setup.program.info.settingsFilePath()));
        QVERIFY2(written.contains(QStringLiteral("[Options]")) &&
                     written.contains(QStringLiteral("Id3v23=1")) &&
                     written.contains(QStringLiteral("Vbr=2")),
                 qPrintable(written));

        // A new window reads them back: the options, and the status bar that names them.
        const core::RunOptions chosen = setup.form->optionsChoice().run;
        const QString shown = statusText(*setup.form);
        setup.form.reset(); // one window at a time
        MainForm again(setup.program.info, setup.dialogs);
        QVERIFY(again.Form_Load());
        QVERIFY(again.optionsChoice().run == chosen);
        QCOMPARE(statusText(again), shown);
    }

    // The keeping-in-step options through the window: the same bytes and date as the command line, and
    // a second run finds the output up to date.
    void syncOptionsMatchTheCommandLine() {
        ConversionSetup setup;
        QVERIFY(loadWithFolders(setup));
        const QString source = setup.addSource(QStringLiteral("loud.mp3"), fixtures::makeMp3({}).bytes);
        {
            QFile file(source); // an old date to keep
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000),
                                     QFileDevice::FileModificationTime));
        }
        setup.choose(5, 1); // 80 kbit/s: below the source, so it is re-encoded
        answerWithEveryOtherOption();
        action(*setup.form, "OptionsAction")->trigger();
        ui::click(*setup.form, "ConvertStart");
        QVERIFY2(setup.dialogs.shown.isEmpty(), qPrintable(setup.dialogs.messageTexts().join(u'|')));
        const QString made = setup.destinationFolder + QStringLiteral("/loud.mp3");

        const QString cliOut = setup.program.root.filePath(QStringLiteral("cli"));
        const CliResult cli =
            runCli({QStringLiteral("-b"), QStringLiteral("80"), QStringLiteral("-m"),
                    QStringLiteral("stereo"), QStringLiteral("--update"), QStringLiteral("--no-upscale"),
                    QStringLiteral("--keep-dates"), QStringLiteral("--cover-max"), QStringLiteral("300"),
                    QStringLiteral("--normalize=track"), QStringLiteral("--target"), QStringLiteral("-18"),
                    QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-o"), cliOut, source});
        QCOMPARE(cli.exitCode, 0);
        QVERIFY(fixtures::readFile(made) == fixtures::readFile(cliOut + QStringLiteral("/loud.mp3")));
        QCOMPARE(QFileInfo(made).lastModified(), QFileInfo(source).lastModified());

        // The record the output carries makes it up to date for the window's next run.
        const QByteArray before = fixtures::readFile(made);
        setup.form->queue().add(source);
        ui::click(*setup.form, "ConvertStart");
        QVERIFY2(statusText(*setup.form).contains(QStringLiteral("スキップ 1")),
                 qPrintable(statusText(*setup.form)));
        QVERIFY(fixtures::readFile(made) == before);
    }

    void busyWindowOffersNoRunMenus() {
        ConversionSetup setup;
        QVERIFY(setup.form->Form_Load());
        setup.form->EnableControls(false);
        for (const char* name : {"OptionsAction", "LibrarySyncAction", "ExitAction"})
            QVERIFY2(!action(*setup.form, name)->isEnabled(), name);
        QVERIFY(action(*setup.form, "GuideAction")->isEnabled());
        QVERIFY(action(*setup.form, "AboutAction")->isEnabled());
        setup.form->EnableControls(true);
        QVERIFY(action(*setup.form, "OptionsAction")->isEnabled());
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
