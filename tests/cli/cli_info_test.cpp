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
  std::string message = "Could not load '" + path + "' - invalid sensor history\n";
  EXPECT_EQ(r.err, message + message);
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
  for (const std::string& path :
       {box.Path("missing.rec"), Data("bad-block-magic.rec"), Data("bad-truncated-samples.rec"),
        Data("bad-huge-history-count.rec"), Data("bad-huge-sample-count.rec"), box.Dir()}) {
    TCliResult r = box.Run({"info", path});
    EXPECT_EQ(r.exitCode, 1) << path;
    EXPECT_EQ(r.out, "") << path;
    EXPECT_EQ(r.err, "Could not load recording\n") << path;
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
