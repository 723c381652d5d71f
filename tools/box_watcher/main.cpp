// vrk_box_watcher PROCESS_ID [SECONDS]: prints each message box of that process as it
// appears and presses its OK button, until the process ends.
// Each box is a line "[icon]", a line with the caption, then the text (code page 1250)
// and a line feed. Exit code 0 when the process ended, 2 when SECONDS passed first,
// 1 on a usage error or a process that cannot be watched.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/box_watcher/box_watcher.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: vrk_box_watcher PROCESS_ID [SECONDS]\n");
    return 1;
  }
  char* end = nullptr;
  unsigned long id = std::strtoul(argv[1], &end, 10);
  long seconds = argc == 3 ? std::strtol(argv[2], nullptr, 10) : -1;
  if (*end != '\0' || id == 0) {
    std::fprintf(stderr, "vrk_box_watcher: not a process id: %s\n", argv[1]);
    return 1;
  }
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) {
    std::fprintf(stderr, "vrk_box_watcher: cannot watch process %lu\n", id);
    return 1;
  }

  vrk_test::BoxWatcher watcher(static_cast<DWORD>(id));
  DWORD started = GetTickCount();
  std::size_t printed = 0;
  int result = 2;
  for (;;) {
    bool ended = WaitForSingleObject(process, 50) == WAIT_OBJECT_0;
    if (ended) {
      watcher.Stop();
      result = 0;
    }
    std::vector<vrk_test::SeenBox> boxes = watcher.Boxes();
    for (; printed < boxes.size(); ++printed) {
      const vrk_test::SeenBox& box = boxes[printed];
      std::printf("[%s]\n%s\n%s\n", vrk_test::IconName(box.icon), box.caption.c_str(),
                  box.text.c_str());
    }
    std::fflush(stdout);
    if (ended) break;
    if (seconds >= 0 && GetTickCount() - started >= static_cast<DWORD>(seconds) * 1000) break;
  }
  CloseHandle(process);
  return result;
}
