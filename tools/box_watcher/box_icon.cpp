#include "tools/box_watcher/box_icon.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace vrk_test {
namespace {

// Pixels as 0x00RRGGBB, row by row from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Runs `paint` on a memory DC holding a top-down 32-bit picture of the given size.
template <typename Paint>
Picture Render(int width, int height, Paint paint) {
  Picture picture{width, height, {}};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    paint(memory);
    GdiFlush();
    auto* first = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(first, first + static_cast<std::size_t>(width) * height);
    for (std::uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  return picture;
}

bool Near(std::uint32_t a, std::uint32_t b) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 24) {
      return false;
    }
  }
  return true;
}

// The first visible static control with the icon style; its id differs between
// Windows (20) and Wine (1088), so it is found by kind.
HWND FindIconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    LONG style = GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
      return IsWindowVisible(child) ? child : nullptr;
    }
  }
  return nullptr;
}

}  // namespace

const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None: return "none";
    case BoxIcon::Information: return "information";
    case BoxIcon::Warning: return "warning";
    case BoxIcon::Error: return "error";
    case BoxIcon::Question: return "question";
    case BoxIcon::Unknown: break;
  }
  return "unknown";
}

std::optional<BoxIcon> ReadBoxIcon(HWND box) {
  HWND control = FindIconControl(box);
  if (control == nullptr) return BoxIcon::None;
  // The handle cannot be read from another process, but whether there is one can.
  DWORD_PTR handle = 0;
  if (!SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 500, &handle)) {
    return std::nullopt;
  }
  if (handle == 0) return BoxIcon::None;
  RECT rect;
  if (!GetWindowRect(control, &rect)) return std::nullopt;
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return BoxIcon::None;

  Picture shown = Render(width, height, [&](HDC memory) {
    HDC screen = GetDC(nullptr);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
  if (shown.pixels.empty()) return std::nullopt;
  // The icons' corners are transparent, so the corner shows the box's background.
  std::uint32_t background = shown.pixels[0];

  // Each standard icon drawn as the static control draws it, on that background; the
  // closest one names the icon. Comparing whole pictures tells the blue question mark
  // from the blue information sign, which colour counts alone could not.
  struct Candidate {
    BoxIcon icon;
    LPCSTR id;
  };
  const Candidate candidates[] = {{BoxIcon::Information, IDI_ASTERISK},
                                  {BoxIcon::Error, IDI_HAND},
                                  {BoxIcon::Warning, IDI_EXCLAMATION},
                                  {BoxIcon::Question, IDI_QUESTION}};
  BoxIcon best = BoxIcon::Unknown;
  std::size_t fewest = shown.pixels.size();
  for (const Candidate& candidate : candidates) {
    HICON icon = LoadIconA(nullptr, candidate.id);
    Picture drawn = Render(width, height, [&](HDC memory) {
      HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF,
                                          background & 0xFF));
      RECT all{0, 0, width, height};
      FillRect(memory, &all, brush);
      DeleteObject(brush);
      DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    });
    if (drawn.pixels.size() != shown.pixels.size()) continue;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
      if (!Near(shown.pixels[i], drawn.pixels[i])) ++differing;
    }
    if (differing < fewest) {
      fewest = differing;
      best = candidate.icon;
    }
  }
  // Anti-aliased edges may differ a little; anything more is not yet painted or foreign.
  if (fewest * 20 > shown.pixels.size()) return std::nullopt;
  return best;
}

}  // namespace vrk_test
