#include "run/run-update.h"

int main(int argc, char** argv) {
  return RunUpdate(argc, argv);
}
