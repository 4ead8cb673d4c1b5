#include "check/program-rules.h"

namespace {

void SayVersion(FindingText* text, const ExeVersion& version) {
  for (int i = 0; i < 4; ++i) {
    if (i > 0)
      Say(text, ".");
    SayNumber(text, version.parts[i]);
  }
}

}  // namespace

// The build gives the project's version, the one the exes' version
// resources carry.
ExeVersion CheckerVersion() {
  return {{ZODERUDO_VERSION_MAJOR, ZODERUDO_VERSION_MINOR,
           ZODERUDO_VERSION_PATCH, 0}};
}

void CheckProgram(Findings* findings, bool present) {
  if (!present) {
    AddFinding(findings, kProgramFile, FindingWarning,
               "missing from the package folder, where a staged run is "
               "started from; put the program beside the update");
    return;
  }
  ExeVersion version = {};
  if (!ReadExeVersion(kProgramFile, &version)) {
    AddFinding(findings, kProgramFile, FindingWarning,
               "holds no version resource that zrcheck can read: not a "
               "build of this program; put the program of this release "
               "there");
    return;
  }
  ExeVersion own = CheckerVersion();
  for (int i = 0; i < 4; ++i) {
    if (version.parts[i] == own.parts[i])
      continue;
    FindingText text = {};
    Say(&text, "version ");
    SayVersion(&text, version);
    Say(&text, ", zrcheck's is ");
    SayVersion(&text, own);
    Say(&text, ": the package was checked against limits of another "
               "release; put the program of this release there, or check "
               "with that release's zrcheck");
    AddFinding(findings, kProgramFile, FindingWarning, text.text);
    return;
  }
}
