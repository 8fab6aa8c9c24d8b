// The plug-in tests' program: the host environment, then every test.
#include <gtest/gtest.h>

#include "PluginHost.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new plugintest::HostEnvironment);
  return RUN_ALL_TESTS();
}
