// The plug-in tests' program: the host environment, then every test.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "PluginHost.h"

int main(int argc, char** argv) {
  // Started by the shell as the program for a link (the About box's test registers it): the link
  // is written down for the test to read.
  if (argc == 3 && std::string(argv[1]) == "--record-link") {
    std::ofstream(std::string("Z:") + PELLATON_BUILD_DIR + "/opened-links.txt", std::ios::app) << argv[2] << "\n";
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new plugintest::HostEnvironment);
  return RUN_ALL_TESTS();
}
