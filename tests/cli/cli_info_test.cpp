// revscope-cli info: what a recording holds, and every failure reported on standard error.
#include "CliSupport.h"

namespace {

std::string Data(const std::string& name) { return std::string(REVSCOPE_TEST_DATA) + "/rec/" + name; }

TEST(CliInfo, PrintsTheHeaderFieldsAndOneLinePerHistoryInFileOrder) {
  TCliSandbox box;
  TCliResult r = box.Run({"info", Data("ok-obd1.rec")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "description: Recording #1\n"
            "length_ms: 5000\n"
            "model: 2\n"
            "family: OBD1\n"
            "histories: 3\n"
            "history\t1\t10\n"
            "history\t19\t5\n"
            "history\t158\t2\n");
}

TEST(CliInfo, TheFamilyFollowsTheModelByteAndUnknownSensorsAreNotCounted) {
  TCliSandbox box;
  TCliResult any = box.Run({"info", Data("ok-any.rec")});
  ASSERT_EQ(any.exitCode, 0) << any.err;
  EXPECT_NE(any.out.find("model: 4\nfamily: Any\nhistories: 3\nhistory\t161\t4\n"), std::string::npos) << any.out;
  TCliResult unknown = box.Run({"info", Data("ok-unknown-ids.rec")});
  ASSERT_EQ(unknown.exitCode, 0);
  EXPECT_NE(unknown.out.find("family: OBD0\nhistories: 1\nhistory\t1\t3\n"), std::string::npos) << unknown.out;
}

TEST(CliInfo, MissingBlocksAreReportedButTheRecordingLoads) {
  TCliSandbox box;
  const std::string path = Data("ok-missing-blocks.rec");
  TCliResult r = box.Run({"info", path});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "Could not load '" + path +
                       "' - invalid sensor history: the file ends after history 1; histories 2 to 3 of 3 are missing\n");
  EXPECT_NE(r.out.find("histories: 1\n"), std::string::npos);
}

TEST(CliInfo, HeaderFailuresPrintTheMessageWithThePathAsGiven) {
  TCliSandbox box;
  WriteText(box.Path("short.rec"), "0123456789");
  std::string header(652, '\0');
  header[0] = static_cast<char>(600 & 0xFF);
  header[1] = static_cast<char>(600 >> 8);
  header[4] = 0x52;
  header[5] = 0x30;
  WriteText(box.Path("length.rec"), header);

  TCliResult shortFile = box.Run({"info", "short.rec"});
  EXPECT_EQ(shortFile.exitCode, 1);
  EXPECT_EQ(shortFile.out, "");
  EXPECT_EQ(shortFile.err, "Could not load 'short.rec' - recording header magic number incorrect\n");

  TCliResult length = box.Run({"info", "./length.rec"});
  EXPECT_EQ(length.exitCode, 1);
  EXPECT_EQ(length.err, "Could not load './length.rec' - recording header length incorrect\n");
}

TEST(CliInfo, UnreadableAndCorruptFilesAreNeverSilent) {
  TCliSandbox box;
  const std::pair<std::string, std::string> cases[] = {
      {box.Path("missing.rec"), "No such file or directory"},
      {Data("bad-block-magic.rec"), "history magic number incorrect (history 2 of 3)"},
      {Data("bad-truncated-samples.rec"), "file truncated inside history 1 of 1"},
      {Data("bad-huge-history-count.rec"), "recording header history count incorrect (2147483647 histories, the file holds 1)"},
      {Data("bad-huge-sample-count.rec"), "file truncated inside history 1 of 1"},
      {Data("bad-negative-count.rec"), "recording header history count incorrect (-5)"},
      {box.Dir(), "Is a directory"}};
  for (const auto& [path, why] : cases) {
    TCliResult r = box.Run({"info", path});
    EXPECT_EQ(r.exitCode, 1) << path;
    EXPECT_EQ(r.out, "") << path;
    EXPECT_EQ(r.err, "Could not load '" + path + "' - " + why + "\n");
  }
}

TEST(CliInfo, UsageErrors) {
  TCliSandbox box;
  TCliResult none = box.Run({"info"});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("--help"), std::string::npos);
  TCliResult two = box.Run({"info", "a.rec", "b.rec"});
  EXPECT_EQ(two.exitCode, 2);
  EXPECT_NE(two.err.find("b.rec"), std::string::npos);
  TCliResult option = box.Run({"info", "--verbose"});
  EXPECT_EQ(option.exitCode, 2);
  EXPECT_NE(option.err.find("--verbose"), std::string::npos);
}

}  // namespace
