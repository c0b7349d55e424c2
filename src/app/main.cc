// unclash DIRECTORY: makes the names of the files below DIRECTORY unique.
#include "app/run.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  const auto platform = unclash::NewNativePlatform();
  return unclash::RunFromCommandLine(argc, argv, *platform);
}
