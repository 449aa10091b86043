// fwflash: puts the firmware image it carries into the device on COM1, or on the port
// that --port names.
#include "files/program_file.h"
#include "ports/auto_ports.h"
#include "program/command_line.h"
#include "toolkit/message_dialog.h"
#include "toolkit/toolkit.h"
#include "forms/Done.h"
#include "forms/Main.h"
#include "forms/Progress.h"

#include <cstdio>
#include <string>

namespace {

// Until the display is open, and when it cannot be, a dialog's text goes to the standard
// error stream, so that nothing is lost.
void WriteToStandardError(DialogKind, const std::string& text) {
  std::fprintf(stderr, "fwflash: %s\n", text.c_str());
}

// The dialogs' seam comes into being at its first use. Used here, before the application
// object is made, it is torn down after it: the windows' destruction handlers run at exit
// and may still report through it.
const bool DialogsMadeFirst = (ReplaceDialogs(WriteToStandardError), true);

// The candidates of --port auto as they are now; a port list that cannot be read is told
// on stderr and leaves none.
std::vector<std::string> AutoCandidates(const std::vector<std::string>& excludes) {
  std::vector<std::string> candidates;
  std::string error;
  if (!AutoPortCandidates(excludes, candidates, error)) std::fprintf(stderr, "%s\n", error.c_str());
  return candidates;
}

}  // namespace

// The application object lives as long as the process: its windows are destroyed after
// main has returned, the main window last.
static TApplication TheApplication;

int main(int argc, char** argv) {
  const std::string programFile = ProgramFile(argv[0]);
  DesktopOptions options;
  int exitCode = 0;
  if (!ReadCommandLine(argc, argv, programFile, options, exitCode)) return exitCode;
  try {
    Application->Initialize(programFile.c_str());
    if (!Application->HasDisplay()) {
      ShowErrorBox("fwflash is a desktop program and needs a display, but DISPLAY is not set");
      return 0;
    }
    // The progress and completion windows take their texts after the main window's
    // creation has read the language file.
    Application->CreateForm(Mainform);
    if (!options.port.empty()) Mainform->PortPath = options.port;
    if (options.port == kAutoPort) Mainform->AutoPorts = [excludes = options.excludes] { return AutoCandidates(excludes); };
    Mainform->ChosenProtocol = options.protocol;
    Mainform->MaxBaud = options.maxBaud;
    Application->CreateForm(Form_Progress);
    Application->CreateForm(Form_Done);
    Application->Run();
  } catch (const Exception& error) {
    Application->ShowException(error);
  } catch (...) {
    Application->ShowException(Exception(""));
  }
  return 0;
}
