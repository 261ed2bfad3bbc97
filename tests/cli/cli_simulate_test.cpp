// revscope-cli simulate: a simulated ECU on a pseudo-terminal, served until interrupted.
#include <sys/stat.h>

#include "CliBackground.h"
#include "CliSupport.h"
#include "ecu/ComPort.h"

namespace {

std::map<std::string, std::string> SandboxEnv(const TCliSandbox& box) {
  return {{"XDG_CONFIG_HOME", box.Path("config")}, {"HOME", box.Dir()}};
}

// One request and its reply bytes through the port.
std::vector<uint8_t> Exchange(TComPort& port, uint8_t request, int replies) {
  EXPECT_TRUE(port.Write(&request, 1));
  std::vector<uint8_t> got;
  for (int i = 0; i < replies; ++i) {
    uint8_t b = 0xFF;
    if (!port.Read(&b, 1)) break;
    got.push_back(b);
  }
  return got;
}

}  // namespace

TEST(CliSimulate, PrintsThePseudoTerminalFirstAndAnswersTheProtocolUntilInterrupted) {
  TCliSandbox box;
  TBackgroundCli sim(box.Path("bin/revscope-cli"), {"simulate"}, SandboxEnv(box), box.Dir(), box.Path("sim.err"));
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  TComPort port;
  port.SetDevicePath(path);
  ASSERT_TRUE(port.Open()) << port.LastErrorText();
  EXPECT_EQ(Exchange(port, 0xFE, 1), std::vector<uint8_t>{2});
  // Revs: the low byte, then the high byte on 0x00; together a running engine's period.
  auto low = Exchange(port, 0x0A, 1);
  auto high = Exchange(port, 0x00, 1);
  ASSERT_EQ(low.size(), 1u);
  ASSERT_EQ(high.size(), 1u);
  const int period = low[0] + 256 * high[0];
  EXPECT_GT(period, 1875000 / 9000);
  EXPECT_LT(period, 1875000 / 500);
  // Clearing the error codes answers nothing; the codes then read 0.
  EXPECT_NE(Exchange(port, 0x18, 1), std::vector<uint8_t>{0});
  EXPECT_TRUE(Exchange(port, 0xFD, 1).empty());
  EXPECT_EQ(Exchange(port, 0x18, 1), std::vector<uint8_t>{0});
  port.Close();

  // A second client after the first has gone is served as well.
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(Exchange(port, 0xFE, 1), std::vector<uint8_t>{2});
  port.Close();

  EXPECT_TRUE(sim.Running());
  sim.Signal(SIGINT);
  EXPECT_EQ(sim.Wait(5000), 0);
}

TEST(CliSimulate, TheModelByteIsChosenAndSigtermEndsIt) {
  TCliSandbox box;
  TBackgroundCli sim(box.Path("bin/revscope-cli"), {"simulate", "--model", "4"}, SandboxEnv(box), box.Dir(),
                     box.Path("sim.err"));
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  TComPort port;
  port.SetDevicePath(path);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(Exchange(port, 0xFE, 1), std::vector<uint8_t>{4});
  port.Close();
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(5000), 0);
}

TEST(CliSimulate, BadArgumentsAreUsageErrors) {
  TCliSandbox box;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"simulate", "--model"}, {"simulate", "--model", "256"}, {"simulate", "--model", "x"},
        {"simulate", "--model", "-1"}, {"simulate", "--port", "COM1"}}) {
    TCliResult r = box.Run(args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("revscope-cli: "), std::string::npos);
  }
}
