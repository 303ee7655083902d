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

constexpr int64_t kTime = 1796710503123;
using std::chrono::milliseconds;

// Cycle i of a block of three coils and three Holding Registers in Hex.
CycleSample Cycle(int i, int64_t start = 1)
{
    const auto b = static_cast<uint8_t>(i);
    CycleSample sample = MakeSample(kTime + 10 * i, start, 3, {0, 1, 0, 2}, {{2, {b}}, {4, {0, b, 1, b, 2, b}}});
    if (i % 5 == 0)
        NoteBadResponse(sample, BadTimeout);
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

// Rows that are neither a header nor the empty line before one.
int DataRows(const CsvRows& rows)
{
    int n = 0;
    for (const auto& row : rows)
        n += !row.empty() && row[0] != "Time";
    return n;
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
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir;
    SampleHandover handover;
};

// Runs body in a child process and returns what it wrote to the pipe; the
// child's exit status must be 0.
template <typename Body>
std::string InChild(Body body)
{
    int pipeEnds[2];
    EXPECT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const std::string said = body();
        const bool written = write(pipeEnds[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
        _exit(written ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said;
    return said;
}

}  // namespace

TEST(SampleHandover, EachConsumerGetsEverySampleAndAFullQueueDropsItsOldest)
{
    SampleHandover handover;
    EXPECT_FALSE(SamplesWanted(handover));
    auto small = AttachSampleConsumer(handover, 3);
    auto large = AttachSampleConsumer(handover);
    EXPECT_TRUE(SamplesWanted(handover));
    Publish(handover, 1, 5);
    const std::vector<SampleRef> kept = TakeSamples(*small);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0]->timeMs, kTime + 30);
    EXPECT_EQ(kept[2]->timeMs, kTime + 50);
    EXPECT_EQ(DroppedSamples(*small), 2u);
    EXPECT_EQ(TakeSamples(*large).size(), 5u);
    EXPECT_EQ(DroppedSamples(*large), 0u);
    EXPECT_FALSE(WaitForSamples(*small, milliseconds(1)));

    // A byte bound: a sample bigger than the bound still goes in, alone.
    auto tight = AttachSampleConsumer(handover, 100, 1);
    Publish(handover, 6, 2);
    EXPECT_EQ(TakeSamples(*tight).size(), 1u);
    DetachSampleConsumer(handover, small.get());
    DetachSampleConsumer(handover, large.get());
    DetachSampleConsumer(handover, tight.get());
    EXPECT_FALSE(SamplesWanted(handover));
}

TEST_F(CsvRecorderTest, EveryCycleIsARowAndAPauseKeepsTheFile)
{
    std::string reason;
    const auto file = dir / "run.csv";
    auto recorder = StartCsvRecording(file, handover, reason);
    ASSERT_TRUE(recorder) << reason;
    EXPECT_EQ(CsvRecordingState(*recorder).fileName, "run.csv");
    Publish(handover, 0, 20);
    PauseCsvRecording(*recorder, true);
    EXPECT_TRUE(CsvRecordingState(*recorder).paused);
    PauseCsvRecording(*recorder, false);
    Publish(handover, 20, 20);      // same block after the pause: same header
    Publish(handover, 40, 10, 50);  // another start address: a new header block
    StopCsvRecording(*recorder);
    ASSERT_TRUE(AwaitCsvRecordingEnd(*recorder, milliseconds(10000)));

    const CsvRecordingStatus status = CsvRecordingState(*recorder);
    EXPECT_TRUE(status.ended);
    EXPECT_EQ(status.rows, 50u);
    EXPECT_EQ(status.dropped, 0u);
    EXPECT_EQ(status.stopReason, "");
    EXPECT_FALSE(SamplesWanted(handover));

    const CsvRows rows = ParseCsv(ReadFile(file));
    ASSERT_EQ(rows.size(), 53u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Time", "0001", "0002", "0003", "40001", "40002", "40003",
                                                 kBadResponsesHeader}));
    EXPECT_TRUE(rows[41].empty());
    EXPECT_EQ(rows[42][1], "0050");
    EXPECT_EQ(DataRows(rows), 50);
    std::string previous;
    for (int i = 0; i < 50; i++) {
        const std::vector<std::string>& row = rows[static_cast<size_t>(i < 40 ? 1 + i : 3 + i)];
        EXPECT_EQ(row, ParseCsv(CsvRowLine(Cycle(i)))[0]) << i;
        EXPECT_GT(row[0], previous);
        previous = row[0];
    }
}

TEST_F(CsvRecorderTest, PythonsCsvModuleReadsARecording)
{
    if (std::system("command -v python3 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no python3";
    const auto file = dir / "python.csv";
    std::string reason;
    auto recorder = StartCsvRecording(file, handover, reason);
    ASSERT_TRUE(recorder) << reason;
    Publish(handover, 0, 7);
    Publish(handover, 7, 5, 9);
    StopCsvRecording(*recorder);
    ASSERT_TRUE(AwaitCsvRecordingEnd(*recorder, milliseconds(10000)));

    // Blocks, their widths, data rows and rising times as Python sees them.
    const auto script = dir / "read.py";
    std::ofstream(script) << "import csv, sys\n"
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
    FILE* out = popen(("python3 " + script.string() + " " + file.string() + " 2>&1").c_str(), "r");
    ASSERT_TRUE(out);
    char line[256] = {};
    const std::string said = fgets(line, sizeof line, out) ? line : "";
    EXPECT_EQ(pclose(out), 0) << said;
    EXPECT_EQ(said, "2 8 12 0000 timeout 1\n");
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
        std::string reason;
        auto recorder = StartCsvRecording(file, handover, reason);
        if (!recorder)
            return "not started: " + reason;
        Publish(handover, 0, 200);
        if (!AwaitCsvRecordingEnd(*recorder, milliseconds(10000)))
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
    const std::string text = ReadFile(file);
    // The limit fell inside a row, and that row is gone whole.
    EXPECT_LT(text.size(), kLimit);
    EXPECT_GT(text.size() + 70, kLimit);
    const CsvRows parsed = ParseCsv(text);
    EXPECT_EQ(DataRows(parsed), rows);
    EXPECT_EQ(parsed.back(), ParseCsv(CsvRowLine(Cycle(rows - 1)))[0]);
}

TEST_F(CsvRecorderTest, AFileThatCannotBeCreatedIsRefusedWithAReason)
{
    std::string reason = "x";
    EXPECT_FALSE(StartCsvRecording((dir / "missing" / "a.csv").string(), handover, reason));
    EXPECT_EQ(reason, "Cannot record to " + (dir / "missing" / "a.csv").string() + ": the folder does not exist.");
    EXPECT_FALSE(StartCsvRecording(dir.string(), handover, reason));
    EXPECT_EQ(reason, "Cannot record to " + dir.string() + ": it is a folder.");
    EXPECT_FALSE(SamplesWanted(handover));

    // A folder without write permission; as root, which may write anyway,
    // checked as nobody.
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    const auto file = dir / "a.csv";
    EXPECT_EQ(InChild([&] {
                  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                      return std::string("cannot become nobody");
                  std::string why;
                  return StartCsvRecording(file.string(), handover, why) ? std::string("started") : why;
              }),
              "Cannot record to " + file.string() + ": permission denied.");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(CsvRecorderTest, AFileRemovedWhileRecordingStopsIt)
{
    const auto file = dir / "gone.csv";
    std::string reason;
    auto recorder = StartCsvRecording(file, handover, reason);
    ASSERT_TRUE(recorder) << reason;
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
}
