// Every program the project builds (but the getting-started example, kept
// short) tells its version, the package's, and its usage, as scripts and
// packagers expect.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "korvane3d/Version.h"
#include "support/RunProgram.h"

namespace {

kvtest::RunResult RunProgram(const std::string& program, const std::string& argument) {
  return kvtest::RunCommand("'" KV_BINARY_DIR "/bin/" + program + "' " + argument);
}

TEST(Programs, EachTellsItsVersionAndItsUsage) {
  std::stringstream names(KV_PROGRAMS);
  for (std::string program; std::getline(names, program, ',');) {
    SCOPED_TRACE(program);
    const kvtest::RunResult version = RunProgram(program, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, program + " " KORVANE3D_VERSION " (Korvane 3D)\n");
    const kvtest::RunResult help = RunProgram(program, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("usage: " + program), std::string::npos) << help.output;
  }
}

}  // namespace
