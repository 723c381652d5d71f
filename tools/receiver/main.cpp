// A receiving program for delivery tests: a top-level window titled "Trovane" with a child
// edit control holding "Pocasi". Every text the control is given is written to the file named
// first on the command line, and once more when the program ends.
//
// Usage: vrk_receiver OUTPUT_FILE [SECONDS [TITLE [CONTROL_TEXT]]]
// It ends on WM_CLOSE or after SECONDS (default 60), so a test that fails cannot leave it behind.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string outputFile;
WNDPROC editProc = nullptr;

void Record(HWND edit) {
  int length = GetWindowTextLengthA(edit);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(edit, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  // Written beside and moved into place, so a reader never sees half a text.
  std::string partial = outputFile + ".part";
  HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExA(partial.c_str(), outputFile.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The title other processes read. Windows' edit control keeps it equal to its text; Wine's
// does not, so a program looking for the control by its text would not find it there.
void ShareText(HWND edit, const char* text) {
  DefWindowProcA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = CallWindowProcA(editProc, window, message, wParam, lParam);
  if (message == WM_SETTEXT) {
    ShareText(window, reinterpret_cast<const char*>(lParam));
    Record(window);
  }
  return result;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (HWND edit = GetWindow(window, GW_CHILD)) Record(edit);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  outputFile = argv[1];
  int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  if (seconds <= 0) seconds = 60;
  const char* title = argc > 3 ? argv[3] : "Trovane";
  const char* controlText = argc > 4 ? argv[4] : "Pocasi";

  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = MainProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "VrkReceiver";
  if (!RegisterClassA(&windowClass)) return 3;

  HWND main = CreateWindowExA(0, "VrkReceiver", title, WS_OVERLAPPEDWINDOW, 10, 10, 300, 100,
                              nullptr, nullptr, instance, nullptr);
  if (main == nullptr) return 4;
  HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", controlText, WS_CHILD | WS_VISIBLE,
                              5, 5, 280, 24, main, nullptr, instance, nullptr);
  if (edit == nullptr) return 5;
  SendMessageA(edit, EM_LIMITTEXT, 0, 0);
  ShareText(edit, controlText);
  editProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
  SetTimer(main, 1, static_cast<UINT>(seconds) * 1000, nullptr);
  ShowWindow(main, SW_SHOWNOACTIVATE);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
