// survseq: reads a group-sequential survival design from standard input and searches
// by simulation for the accrual rate that gives the desired power.

#include <iostream>

#include "run/design_run.h"

int main() {
  return survseq::run::runDesign(std::cin, std::cout, std::cerr, survseq::run::RunOptions{});
}
