#include "KLRecordingPrinter.h"
#include "KLTestSupport.h"

#include "runtime/KLSDKDispatcher.h"
#include "runtime/KLSDKLog.h"
#include "runtime/KLSDKLogConsole.h"
#include "runtime/KLSDKLoggingHandler.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <latch>

namespace {

/// Captures console lines in a temporary file for the duration of a test.
struct ConsoleCapture {
    ConsoleCapture() { KLSDKLogConsole::setStream(file); }
    ~ConsoleCapture() { KLSDKLogConsole::setStream(nullptr); std::fclose(file); }
    QString text()
    {
        kltest::drainLogger();
        std::fflush(file);
        std::rewind(file);
        QFile reader;
        return reader.open(file, QIODevice::ReadOnly) ? QString::fromUtf8(reader.readAll()) : QString();
    }
    FILE *const file = std::tmpfile();
};

class LoggerTest : public ::testing::Test {
protected:
    void TearDown() override { kltest::RecordingPrinter::uninstall(); }
    std::shared_ptr<kltest::RecordingPrinter> printer = kltest::RecordingPrinter::install();
};

} // namespace

TEST_F(LoggerTest, LevelsRouteToTheirOperationAndNonLevelsVanish)
{
    for (int level : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 32})
        KLSDKLogging(level, "LevelTest", QString::number(level));
    kltest::drainLogger();

    QStringList seen;
    for (const auto &line : printer->linesWithTag("LevelTest"))
        seen << line.kind + ":" + line.text;
    EXPECT_EQ(seen, QStringList({"info:1", "info:2", "warn:4", "error:8", "debug:16"}));
}

TEST_F(LoggerTest, StatementCarriesFileLineAndFunction)
{
    const int line = __LINE__ + 1;
    KL_LOG_INFO("PrefixTest", QStringLiteral("hello %1").arg(42));
    kltest::drainLogger();

    const auto lines = printer->linesWithTag("PrefixTest");
    ASSERT_EQ(lines.size(), 1u);
    const QString expectedStart = QStringLiteral("(KLLoggerTests.cpp:%1 ").arg(line);
    EXPECT_TRUE(lines[0].text.startsWith(expectedStart)) << lines[0].text.toStdString();
    EXPECT_TRUE(lines[0].text.contains("TestBody()")) << lines[0].text.toStdString();
    EXPECT_TRUE(lines[0].text.endsWith("): hello 42"));
}

TEST_F(LoggerTest, EngineSeveritiesAreMappedUnderTheEngineTag)
{
    for (int severity : {1, 2, 3, 4, 8, 16, 32})
        LoggingHandler(severity, QStringLiteral("engine %1").arg(severity));
    kltest::drainLogger();

    QStringList seen;
    for (const auto &line : printer->linesWithTag("KLRTCMediaSDK")) {
        EXPECT_TRUE(line.text.contains(" LoggingHandler): engine ")) << line.text.toStdString();
        seen << line.kind + ":" + line.text.section("): ", -1);
    }
    EXPECT_EQ(seen, QStringList({"info:engine 1", "info:engine 2", "info:engine 4",
                                 "error:engine 8", "debug:engine 16"}));
}

TEST(LoggerPrinterSwitch, TakesEffectInQueueOrderEvenWhileTheQueueIsBusy)
{
    ConsoleCapture console;
    auto printer = std::make_shared<kltest::RecordingPrinter>();
    std::latch release(1);
    KLSDKDispatcher::asyncRunOnIoQueue([&release]() { release.wait(); }); // IO queue busy

    KLSDKLogger::warn("SwitchTest", "before");
    KLSDKLogger::setLoggerPrinter(printer);
    KLSDKLogger::info("SwitchTest", "after");
    release.count_down();
    kltest::drainLogger();
    KLSDKLogger::setLoggerPrinter(nullptr);

    EXPECT_EQ(console.text(), "W/SwitchTest: before\n");
    const auto lines = printer->linesWithTag("SwitchTest");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "after");
}

TEST(LoggerConsole, EachOperationWritesOneLineWithItsPrefix)
{
    ConsoleCapture console;
    KLSDKLogger::info("T", "i");
    KLSDKLogger::debug("T", "d");
    KLSDKLogger::error("T", "e");
    KLSDKLogger::action("T", "point", QVariantMap{{"k", 1}});
    KLSDKLogger::event("T", "point", "params");
    KLSDKLogger::error("T", QVariant("point"), QVariant("params"));
    const QStringList lines = console.text().split('\n');
    EXPECT_EQ(lines.value(0), "I/T: i");
    EXPECT_EQ(lines.value(1), "D/T: d");
    EXPECT_EQ(lines.value(2), "E/T: e");
    EXPECT_TRUE(lines.value(3).startsWith("Action/T: point {"));
    EXPECT_TRUE(console.text().contains("Event/T: point params\nError/T: point params\n"));
}

TEST(LoggerFileName, LastPathComponent)
{
    EXPECT_EQ(KLSDKLoggingFileName(nullptr), "");
    EXPECT_EQ(KLSDKLoggingFileName("/a/b/KLFeedClient.mm"), "KLFeedClient.mm");
    EXPECT_EQ(KLSDKLoggingFileName("bare.cpp"), "bare.cpp");
    EXPECT_EQ(KLSDKLoggingFileName("/a/b/"), "");
    EXPECT_STREQ(kl_log_detail::sourceFileName("/x/y/z.cpp"), "z.cpp");
}
