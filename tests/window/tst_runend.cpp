// What the real window says when a run or a library sync ends: the status bar holds that run's summary,
// counts and bytes as the files on disk tell them, until the next action; and a long one that ends while
// the user is elsewhere is told on the desktop, through a notification service on a private session bus
// of this test's own, while a short one or one the user watched is not.

#include "ConversionSetup.h"
#include "librarysync/LibrarySyncDialog.h"
#include "notify/DesktopNotice.h"
#include "options/OptionsSummary.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDirIterator>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QScopeGuard>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {

const QString NoticeService = QStringLiteral("org.freedesktop.Notifications");
const QString NoticePath = QStringLiteral("/org/freedesktop/Notifications");

struct Notice {
    QString app, title, body;
};

// The desktop's notification service. It answers in a thread of its own: the window's call blocks the
// main thread until the reply comes, so a service living there could never answer it.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    QList<Notice> take() {
        QMutexLocker lock(&m_mutex);
        return std::exchange(m_received, {});
    }

  public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& title, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        QMutexLocker lock(&m_mutex);
        m_received.append({app, title, body});
        return uint(m_received.size());
    }

  private:
    QMutex m_mutex;
    QList<Notice> m_received;
};

QString statusText(const MainForm& form) {
    return form.findChild<QStatusBar*>(QStringLiteral("StatusBar"))->currentMessage();
}

bool put(const QString& path, double frequency) {
    fixtures::ToneSpec spec;
    spec.frequency = frequency;
    return QDir().mkpath(QFileInfo(path).absolutePath()) &&
           fixtures::writeFile(path, fixtures::makeMp3(spec).bytes);
}

qint64 sizeOf(const QString& folder, const QStringList& files) {
    qint64 total = 0;
    for (const QString& file : files)
        total += QFileInfo(folder + QLatin1Char('/') + file).size();
    return total;
}

QStringList filesUnder(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// Starts the window on a settings file that names the setup's folders and turns ID3v2.3 on, so that the
// idle status bar has something to say; one file at a time, in this process.
bool load(ConversionSetup& setup) {
    fixtures::writeFile(setup.program.info.settingsFilePath(),
                        QStringLiteral("[Setting]\nInPath=%1\nTempPath=%2\nOutPath=%3\n[Options]\nId3v23=1\n")
                            .arg(setup.sourceFolder, setup.workFolder, setup.destinationFolder)
                            .toUtf8());
    if (!setup.form->Form_Load())
        return false;
    setup.form->setWorkers(1);
    return true;
}

// Opens 「ライブラリを同期」 from the ファイル menu, lets `inDialog` act in it as the user would, then
// closes it; returns what the dialog's last sync did.
core::RunSummary syncFromMenu(MainForm& form,
                              const std::function<void(librarysync::LibrarySyncDialog&)>& inDialog) {
    core::RunSummary done;
    QTimer::singleShot(0, &form, [&] {
        auto* dialog = form.findChild<librarysync::LibrarySyncDialog*>();
        QVERIFY(dialog);
        // Closed whatever the checks inside found, or the window would wait on it for ever.
        const auto close = qScopeGuard([dialog] { ui::click(*dialog, "CloseButton"); });
        inDialog(*dialog);
        done = dialog->lastSummary();
    });
    form.findChild<QAction*>(QStringLiteral("LibrarySyncAction"))->trigger();
    return done;
}

// The user turns to another program: a window of another application as far as this one is concerned.
bool turnAway(QWidget& elsewhere) {
    elsewhere.show();
    elsewhere.activateWindow();
    return QTest::qWaitForWindowActive(&elsewhere);
}

bool lookAt(QWidget& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

} // namespace

class TestRunEnd : public QObject {
    Q_OBJECT

    QProcess m_daemon;
    QThread m_serviceThread;
    NotificationService* m_service = nullptr;
    QString m_serviceConnection = QStringLiteral("notification-service");

    bool haveBus() const { return m_service != nullptr; }

  private slots:
    // A bus of its own for the whole process, put where the window looks for the session bus before
    // anything in the process has connected to one.
    void initTestCase() {
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted())
            return; // the notice cases skip
        QVERIFY(m_daemon.waitForReadyRead(10'000));
        const QByteArray address = m_daemon.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);

        QDBusConnection server =
            QDBusConnection::connectToBus(QString::fromUtf8(address), m_serviceConnection);
        QVERIFY(server.isConnected());
        m_service = new NotificationService;
        m_service->moveToThread(&m_serviceThread);
        connect(&m_serviceThread, &QThread::finished, m_service, &QObject::deleteLater);
        m_serviceThread.start();
        QVERIFY(server.registerObject(NoticePath, m_service, QDBusConnection::ExportAllSlots));
        QVERIFY(server.registerService(NoticeService));
        // The window's session bus is this one: the service it would reach is this test's.
        QCOMPARE(QDBusConnection::sessionBus().interface()->serviceOwner(NoticeService).value(),
                 server.baseService());
    }

    void cleanupTestCase() {
        if (haveBus()) {
            QDBusConnection(m_serviceConnection).unregisterObject(NoticePath);
            QDBusConnection::disconnectFromBus(m_serviceConnection);
            m_serviceThread.quit();
            m_serviceThread.wait();
        }
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
    }

    // Two syncs of one library from the ファイル menu: the first makes every copy, the second the one new
    // file, keeps the one up to date and deletes the copy whose source is gone. After each the status bar
    // shows that sync's summary, as the files it read and wrote add up; the next action ends it.
    void syncSummaryOnTheStatusBar() {
        ConversionSetup setup;
        QVERIFY(load(setup));
        const QString idle = statusText(*setup.form);
        QCOMPARE(idle, QStringLiteral("オプション：ID3v2.3"));
        // The time the window is handed, kept as it comes (the summary may read 0.0 s either way).
        qint64 handed = -1;
        setup.form->setRunDuration([&](qint64 measuredMs) { return handed = measuredMs; });
        const QString library = setup.program.root.filePath(QStringLiteral("ライブラリ"));
        const QString copies = setup.program.root.filePath(QStringLiteral("コピー"));
        QVERIFY(put(library + QStringLiteral("/a.mp3"), 440));
        QVERIFY(put(library + QStringLiteral("/sub/z.mp3"), 880));

        const core::RunSummary first = syncFromMenu(*setup.form, [&](librarysync::LibrarySyncDialog& dialog) {
            ui::field(dialog, "SourceFolder")->setText(library);
            ui::field(dialog, "DestinationFolder")->setText(copies);
            ui::checkBox(dialog, "Prune")->setChecked(true);
            ui::click(dialog, "StartButton");
        });
        const QStringList both{QStringLiteral("a.mp3"), QStringLiteral("sub/z.mp3")};
        QCOMPARE(filesUnder(copies), both);
        core::RunSummary expected;
        expected.converted = 2;
        expected.bytesRead = sizeOf(library, both);
        expected.bytesWritten = sizeOf(copies, both);
        expected.elapsedMs = first.elapsedMs; // the one figure the files cannot tell
        QCOMPARE(handed, first.elapsedMs);
        QCOMPARE(statusText(*setup.form), options::runSummaryStatusText(expected));

        QVERIFY(QFile::remove(library + QStringLiteral("/sub/z.mp3")));
        QVERIFY(put(library + QStringLiteral("/b.mp3"), 550));
        // The dialog opens on the folders of the last sync; 開始 alone runs it again.
        const core::RunSummary second = syncFromMenu(
            *setup.form, [](librarysync::LibrarySyncDialog& dialog) { ui::click(dialog, "StartButton"); });
        QCOMPARE(filesUnder(copies), (QStringList{QStringLiteral("a.mp3"), QStringLiteral("b.mp3")}));
        expected = {};
        expected.converted = 1;
        expected.skipped = 1;
        expected.pruned = 1;
        expected.bytesRead = sizeOf(library, {QStringLiteral("b.mp3")});
        expected.bytesWritten = sizeOf(copies, {QStringLiteral("b.mp3")});
        expected.elapsedMs = second.elapsedMs;
        QCOMPARE(statusText(*setup.form), options::runSummaryStatusText(expected));

        // The next action, a click of a button of the window, brings the options back.
        ui::click(*setup.form, "OneSelect");
        QCOMPARE(statusText(*setup.form), idle);
    }

    // Runs of the window's queue, each standing for a run of the given length: told only when it was
    // longer than half a minute and the user was elsewhere, with the summary the status bar shows.
    void runNoticedOnlyWhenLongAndOutOfSight() {
        if (!haveBus())
            QSKIP("dbus-daemon is not installed");
        ConversionSetup setup;
        QVERIFY(load(setup));
        qint64 lasted = 0;
        setup.form->setRunDuration([&](qint64) { return lasted; });
        QWidget elsewhere;
        setup.form->show();
        const QString source = setup.sourceFolder + QStringLiteral("/song.mp3");
        QVERIFY(put(source, 440));
        const auto convert = [&] {
            setup.form->queue().add(source);
            ui::click(*setup.form, "ConvertStart");
            QVERIFY2(setup.dialogs.shown.isEmpty(), qPrintable(setup.dialogs.messageTexts().join(u'|')));
            QVERIFY2(statusText(*setup.form).startsWith(QStringLiteral("変換 1・")),
                     qPrintable(statusText(*setup.form)));
        };

        lasted = 31'000;
        QVERIFY(turnAway(elsewhere));
        convert();
        QList<Notice> notices = m_service->take();
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0].app, QStringLiteral("MP3Recast"));
        QCOMPARE(notices[0].title, setup.program.info.title);
        QCOMPARE(notices[0].body, statusText(*setup.form));
        QVERIFY(notices[0].body.endsWith(QStringLiteral("31.0 秒")));

        lasted = notify::NoticeAfterMs; // not longer than the limit
        convert();
        QVERIFY(m_service->take().isEmpty());
        QVERIFY(statusText(*setup.form).endsWith(QStringLiteral("30.0 秒")));

        lasted = 3'600'000;
        QVERIFY(lookAt(*setup.form));
        convert();
        QVERIFY(m_service->take().isEmpty());
    }

    // A long sync is told as it ends, while its dialog is still open, when the user has turned away; a
    // user who watched the dialog is not told, neither then nor when closing it.
    void syncNoticedWhenItEndsOutOfSight() {
        if (!haveBus())
            QSKIP("dbus-daemon is not installed");
        ConversionSetup setup;
        QVERIFY(load(setup));
        setup.form->setRunDuration([](qint64) { return 45'000; });
        QWidget elsewhere;
        setup.form->show();
        const QString library = setup.program.root.filePath(QStringLiteral("ライブラリ"));
        QVERIFY(put(library + QStringLiteral("/a.mp3"), 440));

        QList<Notice> atEnd;
        const core::RunSummary done = syncFromMenu(*setup.form, [&](librarysync::LibrarySyncDialog& dialog) {
            ui::field(dialog, "SourceFolder")->setText(library);
            ui::field(dialog, "DestinationFolder")
                ->setText(setup.program.root.filePath(QStringLiteral("コピー")));
            QVERIFY(turnAway(elsewhere));
            ui::click(dialog, "StartButton");
            atEnd = m_service->take();
        });
        QCOMPARE(done.converted, 1);
        QCOMPARE(atEnd.size(), 1);
        QCOMPARE(atEnd[0].body, statusText(*setup.form));
        QVERIFY(atEnd[0].body.endsWith(QStringLiteral("45.0 秒")));
        QVERIFY(m_service->take().isEmpty()); // once, not again at closing

        QVERIFY(put(library + QStringLiteral("/b.mp3"), 550)); // something to sync again
        syncFromMenu(*setup.form, [](librarysync::LibrarySyncDialog& dialog) {
            QVERIFY(lookAt(dialog));
            ui::click(dialog, "StartButton");
        });
        QVERIFY2(statusText(*setup.form).startsWith(QStringLiteral("変換 1・コピー 0・スキップ 1")),
                 qPrintable(statusText(*setup.form)));
        QVERIFY(m_service->take().isEmpty());
    }
};

QTEST_MAIN(TestRunEnd)
#include "tst_runend.moc"
