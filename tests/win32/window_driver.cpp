// Reads the program's windows from outside, as the whole-program runs need it:
//
//   window-driver TITLE TIMEOUT_MS   waits for a visible top-level window of that title
//                                    and prints it: "enabled" or "disabled", its client
//                                    size, then one line per child: class, text
//   window-driver --gone TITLE TIMEOUT_MS   waits until no such window is visible
//
// Exit status 0 when found (or gone), 1 when the time ran out, 2 for bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
  const char* title;
  HWND found;
};

std::string TextOf(HWND window) {
  char text[1024] = "";
  DWORD_PTR ignored;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, &ignored);
  return text;
}

BOOL CALLBACK MatchTitle(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (IsWindowVisible(window) && TextOf(window) == search->title) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindVisible(const char* title) {
  Search search = {title, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char kind[64] = "";
  GetClassNameA(child, kind, sizeof kind);
  std::string text = TextOf(child);
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  std::printf("%s%s: %s\n", kind, IsWindowVisible(child) ? "" : " (hidden)", text.c_str());
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  bool gone = argc == 4 && std::string(argv[1]) == "--gone";
  if (argc != 3 && !gone) {
    std::fprintf(stderr, "usage: window-driver [--gone] TITLE TIMEOUT_MS\n");
    return 2;
  }
  const char* title = argv[argc - 2];
  DWORD until = GetTickCount() + std::strtoul(argv[argc - 1], nullptr, 10);
  for (;;) {
    HWND window = FindVisible(title);
    if (gone && window == nullptr) return 0;
    if (!gone && window != nullptr) {
      RECT client;
      GetClientRect(window, &client);
      std::printf("%s %ldx%ld\n", IsWindowEnabled(window) ? "enabled" : "disabled",
                  client.right, client.bottom);
      EnumChildWindows(window, PrintChild, 0);
      return 0;
    }
    if (static_cast<LONG>(GetTickCount() - until) >= 0) return 1;
    Sleep(50);
  }
}
