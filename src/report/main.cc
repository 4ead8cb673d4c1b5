#include "report/run-report.h"

int main(int argc, char** argv) {
  return RunReport(argc, argv);
}
