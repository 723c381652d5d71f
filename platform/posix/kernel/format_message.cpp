// System message texts for the codes this emulation produces, worded as Windows words them.
// Codes without an entry have no text, as the URL moniker codes have none on Windows either.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix/kernel/system_text_detail.h"
#include "platform/posix/win32.h"

namespace {

struct MessageText {
  DWORD code;
  std::string_view text;
};

constexpr MessageText kHresultTexts[] = {
    {0x80004001u, "Not implemented\r\n"},
    {0x80004002u, "No such interface supported\r\n"},
    {0x80004003u, "Invalid pointer\r\n"},
    {0x80004004u, "Operation aborted\r\n"},
    {0x80004005u, "Unspecified error\r\n"},
    {0x8000FFFFu, "Catastrophic failure\r\n"},
};

constexpr MessageText kWin32Texts[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {14, "Not enough memory resources are available to complete this operation.\r\n"},
    {17, "The system cannot move the file to a different disk drive.\r\n"},
    {19, "The media is write protected.\r\n"},
    {21, "The device is not ready.\r\n"},
    {23, "Data error (cyclic redundancy check).\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33,
     "The process cannot access the file because another process has locked a portion of "
     "the file.\r\n"},
    {50, "The request is not supported.\r\n"},
    {55, "The specified network resource or device is no longer available.\r\n"},
    {59, "An unexpected network error occurred.\r\n"},
    {64, "The specified network name is no longer available.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {132, "The file pointer cannot be set on the specified device or file.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {223, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    {232, "The pipe is being closed.\r\n"},
    {234, "More data is available.\r\n"},
    {995,
     "The I/O operation has been aborted because of either a thread exit or an application "
     "request.\r\n"},
    {998, "Invalid access to memory location.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1142, "An attempt was made to create more links on a file than the file system supports.\r\n"},
    {1155, "No application is associated with the specified file for this operation.\r\n"},
    {1392, "The file or directory is corrupted and unreadable.\r\n"},
    {1400, "Invalid window handle.\r\n"},
    {1410, "Class already exists.\r\n"},
    {1411, "Class does not exist.\r\n"},
    {1450, "Insufficient system resources exist to complete the requested service.\r\n"},
    {1921, "The name of the file cannot be resolved by the system.\r\n"},
    {10035, "A non-blocking socket operation could not be completed immediately.\r\n"},
    {10054, "An existing connection was forcibly closed by the remote host.\r\n"},
    {10057,
     "A request to send or receive data was disallowed because the socket is not connected "
     "and (when sending on a datagram socket using a sendto call) no address was supplied.\r\n"},
    {10060,
     "A connection attempt failed because the connected party did not properly respond after "
     "a period of time, or established connection failed because connected host has failed "
     "to respond.\r\n"},
    {10061, "No connection could be made because the target machine actively refused it.\r\n"},
    {10065, "A socket operation was attempted to an unreachable host.\r\n"},
    {11001, "No such host is known.\r\n"},
};

constexpr DWORD kWin32Facility = 0x80070000u;
constexpr DWORD kMaxWidthMask = 0xFF;
constexpr DWORD kErrorResourceLangNotFound = 1815;
constexpr DWORD kLangEnglish = 0x09;

template <std::size_t N>
const std::string_view* Lookup(const MessageText (&table)[N], DWORD code) {
  for (const MessageText& entry : table) {
    if (entry.code == code) return &entry.text;
  }
  return nullptr;
}

// A Win32 code wrapped in an HRESULT has the Win32 code's text.
const std::string_view* SystemText(DWORD code) {
  if ((code & 0xFFFF0000u) == kWin32Facility) return Lookup(kWin32Texts, code & 0xFFFFu);
  if (const std::string_view* text = Lookup(kHresultTexts, code)) return text;
  return Lookup(kWin32Texts, code);
}

DWORD Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

struct Detail {
  DWORD code = 0;
  std::string text;  // empty: none
};
Detail& CurrentDetail() {
  static Detail detail;
  return detail;
}

}  // namespace

namespace vrk_posix {

void SetSystemTextDetail(DWORD code, std::string text) {
  Detail& detail = CurrentDetail();
  detail.code = code;
  detail.text = std::move(text);
}

}  // namespace vrk_posix

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPSTR buffer,
                     DWORD size, void*) {
  // Only the system table exists here, and a buffer the caller owns: there is no
  // allocator to hand an allocated one back to.
  if ((flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER)) != 0) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0) return Fail(ERROR_MR_MID_NOT_FOUND);
  const DWORD language = languageId & 0x3FF;
  if (language != 0 && language != kLangEnglish) return Fail(kErrorResourceLangNotFound);

  const Detail& detail = CurrentDetail();
  const bool detailed = detail.code == messageId && !detail.text.empty();
  const std::string_view* found = SystemText(messageId);
  if (!detailed && found == nullptr) return Fail(ERROR_MR_MID_NOT_FOUND);
  std::string text = detailed ? detail.text + "\r\n" : std::string(*found);
  // The widest setting turns the line breaks of the text into blanks, its final one included.
  if ((flags & kMaxWidthMask) == kMaxWidthMask) text.replace(text.size() - 2, 2, " ");

  // Too small leaves the caller's buffer as it was, as Windows does.
  if (size <= text.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return static_cast<DWORD>(text.size());
}
