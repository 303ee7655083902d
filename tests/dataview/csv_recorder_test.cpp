// The recorder end to end on files in a temporary folder, and the hand-over
// that feeds it.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "dataview/csv_record.h"
#include "dataview/csv_recorder.h"
#include "tests/dataview/csv_parse.h"
#include "tests/dataview/sample_fixture.h"

namespace {

using std::chrono::milliseconds;

// Cycle i: three coils and three Holding Registers in Hex from start.
CycleSample Cycle(int i, int64_t start = 1)
{
    const auto b = static_cast<uint8_t>(i);
    CycleSample sample =
        MakeSample(1796710503123 + 10 * i, start, 3, {0, 1, 0, 2}, {{2, {b}}, {4, {0, b, 1, b, 2, b}}});
    if (i % 5 == 0)
        NoteBadResponse(sample, {OutcomeTimeout});
    return sample;
}

void Publish(SampleHandover& handover, int from, int count, int64_t start = 1)
{
    for (int i = from; i < from + count; i++)
        PublishSample(handover, Cycle(i, start));
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Runs body in a child process and returns the text it gave back.
template <typename Body>
std::string InChild(Body body)
{
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    const pid_t child = fork();
    if (child == 0) {
        const std::string said = body();
        _exit(write(ends[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 1);
    }
    close(ends[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<size_t>(n));
    close(ends[0]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said;
    return said;
}

class CsvRecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir =
            std::filesystem::temp_directory_path() / ("sorbel-record-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override
    {
        chmod(dir.c_str(), 0700);
        std::filesystem::remove_all(dir);
    }
    std::shared_ptr<CsvRecorder> Start(const std::filesystem::path& file)
    {
        std::string reason;
        auto recorder = StartCsvRecording(file.string(), handover, reason);
        EXPECT_TRUE(recorder) << reason;
        return recorder;
    }
    std::filesystem::path dir;
    SampleHandover handover;
};

}  // namespace

TEST(SampleHandover, EachConsumerGetsEverySampleAndAFullQueueDropsItsOldest)
{
    SampleHandover handover;
    EXPECT_FALSE(SamplesWanted(handover));
    auto small = AttachSampleConsumer(handover, 3);
    auto large = AttachSampleConsumer(handover);
    auto tight = AttachSampleConsumer(handover, 100, 1);  // a byte bound: one sample, however big
    EXPECT_TRUE(SamplesWanted(handover));
    Publish(handover, 1, 5);
    const std::vector<SampleRef> kept = TakeSamples(*small);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0]->timeMs, Cycle(3).timeMs);
    EXPECT_EQ(DroppedSamples(*small), 2u);
    EXPECT_EQ(TakeSamples(*large).size(), 5u);
    EXPECT_EQ(TakeSamples(*tight).size(), 1u);
    for (const auto& queue : {small, large, tight})
        DetachSampleConsumer(handover, queue.get());
    EXPECT_FALSE(SamplesWanted(handover));
}

TEST_F(CsvRecorderTest, EveryCycleIsARowAcrossAPauseAndPythonReadsTheFile)
{
    const auto file = dir / "run.csv";
    auto recorder = Start(file);
    ASSERT_TRUE(recorder);
    Publish(handover, 0, 20);
    PauseCsvRecording(*recorder, true);
    EXPECT_TRUE(CsvRecordingState(*recorder).paused);
    PauseCsvRecording(*recorder, false);
    Publish(handover, 20, 20);      // the same block after the pause: the same header
    Publish(handover, 40, 10, 50);  // another start address: a new header block
    StopCsvRecording(*recorder);
    ASSERT_TRUE(AwaitCsvRecordingEnd(*recorder, milliseconds(10000)));
    const CsvRecordingStatus status = CsvRecordingState(*recorder);
    EXPECT_EQ(status.fileName, "run.csv");
    EXPECT_EQ(status.rows, 50u);
    EXPECT_EQ(status.stopReason, "");
    EXPECT_FALSE(SamplesWanted(handover));

    // The file is the text of the 50 samples, whole and in order.
    std::string expected;
    for (int i = 0; i < 50; i++) {
        const SampleBlock previous = Cycle(i - 1, i < 41 ? 1 : 50).block;
        expected += CsvRecordChunk(Cycle(i, i < 40 ? 1 : 50), i == 0 ? nullptr : &previous);
    }
    EXPECT_EQ(ReadFile(file), expected);

    if (std::system("command -v python3 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no python3 to read the file with";
    // Blocks, widths, data rows and rising times as Python's csv module sees them.
    std::ofstream(dir / "read.py") << "import csv, sys\n"
                                      "from datetime import datetime\n"
                                      "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                      "    rows = list(csv.reader(f, strict=True))\n"
                                      "width, blocks, data, last = 0, 0, 0, None\n"
                                      "for row in rows:\n"
                                      "    if not row: continue\n"
                                      "    if row[0] == 'Time': width, blocks = len(row), blocks + 1; continue\n"
                                      "    assert len(row) == width, row\n"
                                      "    t = datetime.fromisoformat(row[0])\n"
                                      "    assert last is None or t > last, row\n"
                                      "    last, data = t, data + 1\n"
                                      "print(blocks, width, data, rows[1][4], rows[1][-1])\n";
    FILE* out = popen(("python3 " + (dir / "read.py").string() + " " + file.string() + " 2>&1").c_str(), "r");
    ASSERT_TRUE(out);
    char line[256] = {};
    const std::string said = fgets(line, sizeof line, out) ? line : "";
    EXPECT_EQ(pclose(out), 0) << said;
    EXPECT_EQ(said, "2 8 50 0000 timeout 1\n");
}

TEST_F(CsvRecorderTest, AFileSizeLimitStopsItWithItsReasonAndOnlyWholeRows)
{
    const auto file = dir / "limited.csv";
    constexpr rlim_t kLimit = 1500;
    const std::string said = InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = kLimit;
        setrlimit(RLIMIT_FSIZE, &limit);
        auto recorder = Start(file);
        Publish(handover, 0, 200);
        if (!recorder || !AwaitCsvRecordingEnd(*recorder, milliseconds(10000)))
            return std::string("did not stop");
        const CsvRecordingStatus status = CsvRecordingState(*recorder);
        return std::to_string(status.rows) + "|" + status.stopReason;
    });
    const size_t bar = said.find('|');
    ASSERT_NE(bar, std::string::npos) << said;
    const int rows = std::stoi(said.substr(0, bar));
    EXPECT_EQ(said.substr(bar + 1), "Recording to " + file.string() +
                                        " stopped: the file has reached the largest size allowed. The " +
                                        std::to_string(rows) + " rows written before are kept.");
    // The limit fell inside a row, and that row is gone whole.
    const std::string text = ReadFile(file);
    EXPECT_LT(text.size(), kLimit);
    EXPECT_GT(text.size() + 70, kLimit);
    const CsvRows parsed = ParseCsv(text);
    EXPECT_EQ(parsed.size(), static_cast<size_t>(rows + 1));
    EXPECT_EQ(parsed.back(), ParseCsv(CsvRowLine(Cycle(rows - 1)))[0]);
}

TEST_F(CsvRecorderTest, AFileThatCannotBeWrittenIsRefusedOrStopsItWithAReason)
{
    std::string reason;
    EXPECT_FALSE(StartCsvRecording((dir / "none" / "a.csv").string(), handover, reason));
    EXPECT_EQ(reason, "Cannot record to " + (dir / "none" / "a.csv").string() + ": the folder does not exist.");
    EXPECT_FALSE(StartCsvRecording(dir.string(), handover, reason));
    EXPECT_EQ(reason, "Cannot record to " + dir.string() + ": it is a folder.");
    EXPECT_FALSE(SamplesWanted(handover));

    // Removed while recording.
    const auto file = dir / "gone.csv";
    auto recorder = Start(file);
    ASSERT_TRUE(recorder);
    Publish(handover, 0, 3);
    for (int i = 0; i < 500 && CsvRecordingState(*recorder).rows < 3; i++)
        std::this_thread::sleep_for(milliseconds(10));
    std::filesystem::remove(file);
    ASSERT_TRUE(AwaitCsvRecordingEnd(*recorder, milliseconds(5000)));
    EXPECT_EQ(CsvRecordingState(*recorder).stopReason,
              "Recording to " + file.string() +
                  " stopped: the file was removed or replaced. The 3 rows written "
                  "before are kept.");
    EXPECT_FALSE(SamplesWanted(handover));

    // A folder without write permission; root may write anyway, so as nobody.
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    EXPECT_EQ(InChild([&] {
                  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                      return std::string("cannot become nobody");
                  std::string why;
                  return StartCsvRecording(file.string(), handover, why) ? std::string("started") : why;
              }),
              "Cannot record to " + file.string() + ": permission denied.");
}
