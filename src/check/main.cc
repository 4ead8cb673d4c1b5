#include "check/run-check.h"

int main(int argc, char** argv) {
  return RunCheck(argc, argv);
}
