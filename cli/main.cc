// migprof: the command-line host of the migration-profile component.
#include <iostream>

#include "cli/app.h"

int main(int argc, char** argv) {
  return migprof::cli::RunMigprof(argc, argv, std::cin, std::cout, std::cerr);
}
