#include "KLRecordCapture.h"
#include "KLRecordingPrinter.h"

#include "conference/status/KLHardwareStatusService.h"
#include "conference/status/KLProcessUsageReader.h"
#include "runtime/KLTimeScale.h"
#include "runtime/KLUtility.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

/// A proc tree in a temporary directory: <root>/uptime, <root>/self/status and one
/// <root>/self/task/<tid>/stat per thread.
class ProcFixture {
public:
    void write(const QString &relative, const QString &text)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    void uptime(double seconds) { write("uptime", QString::number(seconds, 'f', 2) + " 12.00\n"); }
    /// A real-shaped stat line; `user`, `system` and `start` in clock ticks.
    void thread(int tid, const QString &name, qint64 user, qint64 system, qint64 start)
    {
        write(QStringLiteral("self/task/%1/stat").arg(tid),
              QStringLiteral("%1 (%2) S 1 1 1 0 -1 4194560 120 0 0 0 %3 %4 0 0 20 0 3 0 %5 "
                             "9000000 500 18446744073709551615 1 1 0 0 0 0 0 4096 0 0 0 0\n")
                  .arg(QString::number(tid), name, QString::number(user),
                       QString::number(system), QString::number(start)));
    }
    void removeThread(int tid)
    {
        QDir(dir.filePath(QStringLiteral("self/task/%1").arg(tid))).removeRecursively();
    }
    void residentKiB(qint64 kib)
    {
        write("self/status", QStringLiteral("Name:\tkelvo\nVmPeak:\t 999999 kB\nVmRSS:\t %1 kB\n"
                                            "Threads:\t3\n").arg(kib));
    }
    QString root() const { return dir.path(); }

    QTemporaryDir dir;
};

} // namespace

TEST(KLProcessUsage, CpuSumsThreadsFromLifetimeThenSinceTheLastReading)
{
    ProcFixture proc;
    proc.uptime(1000);
    proc.thread(100, "kelvo", 3000, 1000, 50000);              // 40 s over 500 s: 8 %
    proc.thread(101, "my (odd) proc) name", 500, 500, 90000);  // 10 s over 100 s: 10 %
    proc.thread(102, "idle one", 0, 0, 95000);
    KLProcessUsageReader reader(proc.root(), "self", 100);
    EXPECT_DOUBLE_EQ(reader.cpuUsage(), 18.0);

    proc.uptime(1010);
    proc.thread(100, "kelvo", 3400, 1100, 50000);              // +5 s in 10 s: 50 %
    proc.removeThread(102);
    proc.thread(103, "new worker", 100, 100, 100500);          // 2 s over 5 s: 40 %
    EXPECT_DOUBLE_EQ(reader.cpuUsage(), 90.0);
}

TEST(KLProcessUsage, UnreadableFiguresGiveMinusOneAndSayWhy)
{
    auto log = kltest::RecordingPrinter::install();
    ProcFixture proc;
    KLProcessUsageReader reader(proc.root(), "self", 100);
    EXPECT_EQ(reader.cpuUsage(), -1.0); // no uptime
    EXPECT_EQ(reader.memoryUsage(), -1.0);
    EXPECT_EQ(log->count("error", "Error with task_info(): "), 1);

    proc.uptime(10);
    EXPECT_EQ(reader.cpuUsage(), -1.0); // no task directory
    proc.thread(1, "ok", 1, 1, 1);
    proc.write("self/task/2/stat", "2 (odd) name) R 1 1 1 0 -1 0 0 0 0 0 ab 22\n");
    EXPECT_EQ(reader.cpuUsage(), -1.0);
    EXPECT_EQ(log->count("error", "unreadable stat line of thread 2"), 1);

    proc.write("self/status", "Name:\tkernel thread\n");
    EXPECT_EQ(reader.memoryUsage(), -1.0);
    proc.residentKiB(204800);
    EXPECT_DOUBLE_EQ(reader.memoryUsage(), 200.0);
    EXPECT_EQ(log->count("info", "Memory in use (in MiB): 200.000000"), 1);
    kltest::RecordingPrinter::uninstall();
}

TEST(KLProcessUsage, ReadsThisProcess)
{
    KLProcessUsageReader reader;
    EXPECT_GE(reader.cpuUsage(), 0.0);
    EXPECT_GT(reader.memoryUsage(), 1.0);
}

TEST(KLHardwareStatus, TenthReadingReportsTheWindowEncodedTwice)
{
    kltest::RecordCapture records;
    ProcFixture proc;
    proc.uptime(1000);
    proc.thread(100, "kelvo", 3000, 1000, 50000);
    proc.residentKiB(204800 + 900); // 200.88 MiB, kept as 200
    KLHardwareStatusService service(proc.root());
    const qint64 cpu = qint64(KLProcessUsageReader(proc.root()).cpuUsage());

    for (int i = 0; i < 9; ++i)
        service.sampleHardwareStatus();
    EXPECT_EQ(service.count(), 9u);
    EXPECT_EQ(service.memoryUsageArray(), QList<qint64>(9, 200));
    EXPECT_TRUE(records.withValue("hardwareStatus").empty());

    service.sampleHardwareStatus();
    EXPECT_EQ(service.count(), 0u);
    EXPECT_TRUE(service.cpuUsageArray().isEmpty());
    const auto reports = records.withValue("hardwareStatus");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value("mtype"), "listener");
    EXPECT_EQ(reports[0].value("topic"), KLQLSLogger::stringsOfGroupTypes(2));
    const QJsonObject status =
        QJsonDocument::fromJson(reports[0].value("hardwareStatus").toString().toUtf8()).object();
    const auto list = [](qint64 value) {
        return QStringLiteral("[%1]").arg(QStringList(10, QString::number(value)).join(','));
    };
    EXPECT_EQ(status.value("cpuUsage").toString(), list(cpu));
    EXPECT_EQ(status.value("memoryUsage").toString(), list(200));

    // Readings that fail are kept as -1.
    QDir(proc.root() + "/self").removeRecursively();
    service.sampleHardwareStatus();
    EXPECT_EQ(service.cpuUsageArray(), QList<qint64>{-1});
    EXPECT_EQ(service.memoryUsageArray(), QList<qint64>{-1});
}

TEST(KLHardwareStatus, TimerSamplesAndRestartKeepsTheWindow)
{
    const double scale = KLTimeScale::factor();
    ProcFixture proc;
    proc.uptime(5);
    proc.thread(1, "kelvo", 1, 1, 1);
    proc.residentKiB(2048);
    KLHardwareStatusService service(proc.root());

    KLTimeScale::setFactor(0.01);
    service.startTimer();
    EXPECT_TRUE(service.isRunning());
    EXPECT_TRUE(kltest::waitUntil([&] { return service.count() >= 2; }));
    service.stopTimer();
    EXPECT_FALSE(service.isRunning());

    // With the ticks a thousand seconds apart, a restart shows only what stop/start keep.
    KLTimeScale::setFactor(1000);
    KLUtility::shareInstance().serialQueue().sync([] {}); // a tick queued before the stop lands
    const quint32 gathered = service.count();
    service.startTimer();
    service.startTimer();
    service.stopTimer();
    EXPECT_EQ(service.count(), gathered);
    EXPECT_EQ(service.memoryUsageArray().size(), qsizetype(gathered));
    KLTimeScale::setFactor(scale);
}
