#include <windows.h>

#include <cctype>
#include <chrono>

#include "files/utf16.h"
#include "jobs/program_run.h"

namespace {

using Clock = std::chrono::steady_clock;

// One argument quoted as the C runtime's parser reads it back: backslashes before a
// quote doubled, quotes escaped, the whole in quotes when it holds a space or a tab.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// This process's environment with the additions, as CreateProcessW takes it.
std::wstring Merged(const Environment& additions) {
  std::wstring block;
  wchar_t* own = GetEnvironmentStringsW();
  for (const wchar_t* entry = own; entry != nullptr && *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring text = entry;
    bool replaced = false;
    for (const auto& addition : additions) replaced = replaced || text.rfind(WideFromUtf8(addition.first) + L"=", 0) == 0;
    if (!replaced) block += text + L'\0';
  }
  if (own != nullptr) FreeEnvironmentStringsW(own);
  for (const auto& addition : additions) block += WideFromUtf8(addition.first) + L"=" + WideFromUtf8(addition.second) + L'\0';
  return block + L'\0';
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Reads what the pipe holds now, without waiting.
bool Drain(HANDLE pipe, std::string& kept, bool& closed) {
  DWORD available = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
    closed = true;
    return false;
  }
  while (available > 0) {
    char buffer[4096];
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) || got == 0) {
      closed = true;
      return false;
    }
    kept.append(buffer, got);
    available -= got;
  }
  return true;
}

}  // namespace

std::string ProgramRefusal(const std::vector<std::string>& command) {
  const std::string program = Lower(command.empty() ? std::string() : command[0]);
  for (const char* script : {".bat", ".cmd"}) {
    if (program.size() >= 4 && program.compare(program.size() - 4, 4, script) == 0)
      return "a " + std::string(script) + " file is refused: cmd.exe would read its arguments as commands; use an .exe";
  }
  return "";
}

bool RunProgram(const std::vector<std::string>& command, const Environment& environment,
                unsigned timeoutS, std::string& output, std::string& errorTail, std::string& problem) {
  output.clear();
  errorTail.clear();
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0) || !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    problem = "cannot make a pipe (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  std::wstring line;
  for (const std::string& argument : command) line += (line.empty() ? L"" : L" ") + Quoted(WideFromUtf8(argument));
  std::wstring block = Merged(environment);
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, &block[0], nullptr,
                                      &startup, &process);
  const DWORD startError = GetLastError();
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  if (!started) {
    CloseHandle(outRead);
    CloseHandle(errRead);
    problem = "cannot start " + command[0] + " (Windows error " + std::to_string(startError) + ")";
    return false;
  }
  // Both pipes are drained while the program runs, so that neither fills and blocks it.
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutS);
  bool outClosed = false, errClosed = false, timedOut = false, tooLong = false;
  for (;;) {
    if (!outClosed) Drain(outRead, output, outClosed);
    if (!errClosed) Drain(errRead, errorTail, errClosed);
    if (errorTail.size() > kErrorTail) errorTail.erase(0, errorTail.size() - kErrorTail);
    if ((tooLong = output.size() > kLongestProgramOutput)) break;
    if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) {
      Drain(outRead, output, outClosed);
      Drain(errRead, errorTail, errClosed);
      break;
    }
    if ((timedOut = Clock::now() >= deadline)) break;
  }
  if (timedOut || tooLong) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(outRead);
  CloseHandle(errRead);
  if (errorTail.size() > kErrorTail) errorTail.erase(0, errorTail.size() - kErrorTail);
  if (timedOut) {
    problem = command[0] + " did not end within " + std::to_string(timeoutS) + " s and was stopped";
  } else if (tooLong) {
    problem = command[0] + " printed more than " + std::to_string(kLongestProgramOutput) + " bytes";
  } else if (code != 0) {
    problem = command[0] + " ended with exit code " + std::to_string(code);
  } else {
    return true;
  }
  return false;
}
