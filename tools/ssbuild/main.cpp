// ssbuild: builds, lists, verifies and unpacks installers and data files.
#include <iostream>
#include <string>
#include <vector>

#include "bundled_files.h"
#include "cli.h"

int main(int argc, char** argv) {
  if (argc > 0) ssbuild::SetProgramPath(argv[0]);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return ssbuild::RunCli(args, std::cout, std::cerr);
}
