// Runs of mp3recast-cli that end abruptly: a run killed with SIGKILL leaves its run folder, which the next
// run reclaims while the folder of a run that is still alive stays; its workers die with it; a run ended
// by SIGHUP (a closed terminal) leaves nothing behind.

#include "core/run/RunFolder.h"
#include "mp3_fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

QStringList runFolders(const QString& work) {
    return QDir(work).entryList({QStringLiteral("MP3Recast.*")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

// True when a worker's sub-folder ("0", the first job's) lies anywhere inside the folder.
bool holdsWorkerFolder(const QString& folder) {
    QDirIterator it(folder, {QStringLiteral("0")}, QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    return it.hasNext();
}

// The child processes of a process, from the kernel's list.
QList<qint64> childrenOf(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    QList<qint64> children;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& field : file.readAll().split(' '))
            if (!field.trimmed().isEmpty())
                children << field.trimmed().toLongLong();
    }
    return children;
}

// Gone, or a zombie that only waits to be reaped.
bool hasEnded(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) == "Z";
}

} // namespace

class TestCliEndings : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    QString a, c, work, out;

    // A run with two workers whose first file's worker never answers: it lives until it is ended.
    void startHungRun(std::unique_ptr<QProcess>& process) {
        process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MP3RECAST_WORKER_TEST"), QStringLiteral("hang:a.mp3"));
        process->setProcessEnvironment(environment);
        const QStringList before = runFolders(work);
        process->start(QStringLiteral(MP3RECAST_CLI),
                       {QStringLiteral("-j"), QStringLiteral("2"), QStringLiteral("--overwrite"),
                        QStringLiteral("-w"), work, QStringLiteral("-o"), out, a, c});
        process->closeWriteChannel();
        // Its run folder holds the hung worker's sub-folder once that worker runs.
        QTRY_VERIFY_WITH_TIMEOUT(runFolders(work).size() == before.size() + 1, 60000);
        QString mine;
        for (const QString& name : runFolders(work))
            if (!before.contains(name))
                mine = name;
        QTRY_VERIFY_WITH_TIMEOUT(holdsWorkerFolder(work + QLatin1Char('/') + mine), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!childrenOf(process->processId()).isEmpty(), 60000);
    }

  private slots:
    void initTestCase() {
        fixtures::ToneSpec spec;
        spec.seconds = 0.5;
        const QByteArray mp3 = fixtures::makeMp3(spec).bytes;
        a = root.filePath(QStringLiteral("a.mp3"));
        c = root.filePath(QStringLiteral("c.mp3"));
        fixtures::writeFile(a, mp3);
        fixtures::writeFile(c, mp3);
        work = root.filePath(QStringLiteral("work"));
        out = root.filePath(QStringLiteral("out"));
        QDir().mkpath(work);
    }

    void killedRunIsReclaimedLiveRunIsNot() {
        // Two runs on the same work folder, both alive: the second leaves the first one's folder alone.
        std::unique_ptr<QProcess> alive;
        startHungRun(alive);
        if (QTest::currentTestFailed())
            return;
        const QStringList aliveFolders = runFolders(work);
        std::unique_ptr<QProcess> killed;
        startHungRun(killed);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(runFolders(work).size(), 2);

        // The second is killed outright: its folder stays, its workers do not outlive it.
        const QList<qint64> workers = childrenOf(killed->processId());
        ::kill(pid_t(killed->processId()), SIGKILL);
        QVERIFY(killed->waitForFinished(30000));
        QCOMPARE(runFolders(work).size(), 2);
        for (const qint64 worker : workers)
            QTRY_VERIFY2_WITH_TIMEOUT(hasEnded(worker), qPrintable(QString::number(worker)), 10000);

        // The next run takes the killed run's folder away and leaves the living one's.
        QProcess third;
        third.start(QStringLiteral(MP3RECAST_CLI),
                    {QStringLiteral("-j"), QStringLiteral("1"), QStringLiteral("-w"), work,
                     QStringLiteral("-o"), root.filePath(QStringLiteral("third")), c});
        QVERIFY(third.waitForFinished(60000));
        QCOMPARE(third.exitCode(), 0);
        QCOMPARE(runFolders(work), aliveFolders);
        QVERIFY(holdsWorkerFolder(work + QLatin1Char('/') + aliveFolders[0]));

        // A closed terminal: the living run ends as on Ctrl-C, its worker and its folder with it.
        const QList<qint64> aliveWorkers = childrenOf(alive->processId());
        ::kill(pid_t(alive->processId()), SIGHUP);
        QVERIFY(alive->waitForFinished(30000));
        QCOMPARE(alive->exitStatus(), QProcess::NormalExit);
        QCOMPARE(alive->exitCode(), 130);
        QVERIFY(QDir(work).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        for (const qint64 worker : aliveWorkers)
            QTRY_VERIFY_WITH_TIMEOUT(hasEnded(worker), 10000);
    }

    // Ctrl-C reaches the whole process group, and a worker may die of it before the run has seen its own:
    // here the worker gets it first, on purpose. The run ends as interrupted, with no file failed.
    void groupSignalFailsNoFile() {
        std::unique_ptr<QProcess> run;
        startHungRun(run);
        // The worker's death is seen (it is reaped) before the run's own signal comes.
        QVERIFY(run->processId() > 0);
        const QList<qint64> workers = childrenOf(run->processId());
        QVERIFY(!workers.isEmpty() && workers.first() > 0);
        for (const qint64 worker : workers)
            ::kill(pid_t(worker), SIGINT);
        QTRY_VERIFY_WITH_TIMEOUT(!childrenOf(run->processId()).contains(workers.first()), 10000);
        // Unreaped, the run's id stays its own until this thread next handles events.
        QVERIFY2(run->processId() > 0, "the run ended on its worker's death alone, as failed");
        ::kill(pid_t(run->processId()), SIGINT);
        QVERIFY(run->waitForFinished(30000));
        QCOMPARE(run->exitCode(), 130);
        const QString err = QString::fromUtf8(run->readAllStandardError());
        QVERIFY2(!err.contains(QStringLiteral("変換プロセス")), qPrintable(err));
        QVERIFY(err.contains(QStringLiteral("interrupted")));
    }

    // Inside one process: a folder it holds is alive to its own reclaim too; one without a lock (an older
    // version's) is not.
    void reclaimInsideOneProcess() {
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkdir(QStringLiteral("MP3Recast.1.0")));
        fixtures::writeFile(base.filePath(QStringLiteral("MP3Recast.1.0/Temp.tmp")), "left over");
        fixtures::writeFile(base.filePath(QStringLiteral("MP3Recast.txt")), "not a folder");
        {
            core::RunFolder run(base.path());
            QVERIFY(run.isValid());
            QCOMPARE(runFolders(base.path()), QStringList{QFileInfo(run.path()).fileName()});
            QCOMPARE(core::RunFolder::reclaim(base.path()), 0);
            fixtures::writeFile(run.path() + QStringLiteral("/Temp.tmp"), "work");
        }
        QCOMPARE(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("MP3Recast.txt")});
    }
};

QTEST_GUILESS_MAIN(TestCliEndings)
#include "tst_cli_endings.moc"
