// The program's entry.
#include "run.hpp"

int main(int argc, char** argv) {
  platform::Startup(argc, argv);
  RunSequence();
}
