#include "tools/box_watcher/box_watcher.h"

#include <algorithm>
#include <cwchar>

namespace vrk_test {
namespace {

// The static control that holds a message box's text.
constexpr int kTextControlId = 0xFFFF;

// The window's own text, read without sending it a message: a box of this process
// belongs to a thread that may be busy, and a sent message would wait for it.
std::wstring WindowText(HWND window) {
  std::vector<wchar_t> buffer(65536);
  int length = InternalGetWindowText(window, buffer.data(), static_cast<int>(buffer.size()));
  return std::wstring(buffer.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Texts come back as code page 1250 bytes, the form the tool hands to MessageBoxA.
std::string ToCodePage1250(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(1250, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(1250, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

struct Search {
  DWORD processId;
  std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wcscmp(name, L"#32770") == 0) search->boxes.push_back(window);
  return TRUE;
}

void PressOk(HWND box) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

}  // namespace

BoxWatcher::BoxWatcher(DWORD processId, BoxWatcherTimes times)
    : processId_(processId != 0 ? processId : GetCurrentProcessId()),
      times_(times),
      thread_([this] { Watch(); }) {}

BoxWatcher::~BoxWatcher() { Stop(); }

std::vector<SeenBox> BoxWatcher::Boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

bool BoxWatcher::WaitFor(std::size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return boxes_.size() >= count; });
}

void BoxWatcher::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BoxWatcher::Watch() {
  for (;;) {
    bool last;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      last = stopping_;
    }
    Sweep();
    if (last) break;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, times_.poll, [this] { return stopping_; });
  }
}

void BoxWatcher::Sweep() {
  Search search{processId_, {}};
  EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
  // Forget boxes that have gone, so a later box that reuses a handle counts as new.
  std::erase_if(pressed_, [&](const Pressed& entry) {
    return std::find(search.boxes.begin(), search.boxes.end(), entry.box) == search.boxes.end();
  });
  for (HWND box : search.boxes) Record(box);
}

void BoxWatcher::Record(HWND box) {
  auto now = std::chrono::steady_clock::now();
  auto known = std::find_if(pressed_.begin(), pressed_.end(),
                            [box](const Pressed& entry) { return entry.box == box; });
  if (known != pressed_.end()) {
    // OK was pressed but the box is still up: press again rather than wait for ever.
    if (now - known->at >= times_.repress) {
      PressOk(box);
      known->at = now;
    }
    return;
  }

  SeenBox seen;
  seen.caption = ToCodePage1250(WindowText(box));
  seen.text = ToCodePage1250(WindowText(GetDlgItem(box, kTextControlId)));
  std::this_thread::sleep_for(times_.paint);
  auto giveUp = std::chrono::steady_clock::now() + times_.iconLimit;
  for (;;) {
    std::optional<BoxIcon> icon = ReadBoxIcon(box);
    if (icon) {
      seen.icon = *icon;
      break;
    }
    if (!IsWindow(box) || std::chrono::steady_clock::now() >= giveUp) {
      seen.icon = BoxIcon::Unknown;
      break;
    }
    std::this_thread::sleep_for(times_.poll);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.push_back(std::move(seen));
  }
  changed_.notify_all();
  PressOk(box);
  pressed_.push_back({box, std::chrono::steady_clock::now()});
}

}  // namespace vrk_test
