#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) { return q5::cli::run_cli(argc, argv, std::cout, std::cerr, std::cin); }
