// TNMHTTP: the response side, reading the head and receiving the body.
#include <memory>
#include <string_view>

#include "framework/streams.h"
#include "net/NMHttp.h"
#include "platform/text_rules.h"

namespace vrk {

namespace {

constexpr long kToEnd = 0x7FFFFFFF;

Text AsciiUpper(const Text& text) {
  Text upper = text;
  char* bytes = upper.UniqueData();
  for (std::size_t i = 0; i < upper.Length(); ++i) {
    if (bytes[i] >= 'a' && bytes[i] <= 'z') bytes[i] = static_cast<char>(bytes[i] - 'a' + 'A');
  }
  return upper;
}

// The line from a 1-based position on, without its line end.
Text ValueFrom(const Text& line, long start) {
  Text value = line.Sub(start, kToEnd);
  std::size_t length = value.Length();
  if (length > 0 && value[static_cast<long>(length)] == '\n') --length;
  if (length > 0 && value[static_cast<long>(length)] == '\r') --length;
  return value.Sub(1, static_cast<long>(length));
}

bool IsHeadEnd(const Text& line) { return line.IsEmpty() || line == "\n" || line == "\r\n"; }

// True when one of the comma-separated tokens is keep-alive, in any letter case.
bool NamesKeepAlive(const Text& value) {
  const std::string_view bytes = value.View();
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find(',', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view token = bytes.substr(start, end - start);
    while (!token.empty() && (token.front() == ' ' || token.front() == '\t')) token.remove_prefix(1);
    while (!token.empty() && (token.back() == ' ' || token.back() == '\t')) token.remove_suffix(1);
    if (SameTextIgnoreCase(Text(token), "keep-alive")) return true;
    start = end + 1;
  }
  return false;
}

// The first run of digits after "ENGTH:" as a number; -1 when there is none or it
// does not fit 32 bits (digits alone never make a negative number).
int AnnouncedLength(const Text& upperLine) {
  const std::string_view line = upperLine.View();
  const std::size_t tag = line.find("ENGTH:");
  if (tag == std::string_view::npos) return -1;
  const std::size_t first = line.find_first_of("0123456789", tag + 6);
  if (first == std::string_view::npos) return -1;
  std::size_t end = line.find_first_not_of("0123456789", first);
  if (end == std::string_view::npos) end = line.size();
  return StrToIntDef(Text(line.substr(first, end - first)), -1);
}

}  // namespace

void TNMHTTP::ReadResponseHead() {
  BytesTotal = 0;
  LastCookie = Text();
  keepAlive_ = false;
  lengthAnnounced_ = false;
  std::unique_ptr<TFileStream> file;
  if (OutputFileMode) {
    file = std::make_unique<TFileStream>(Header, TFileMode::Create);
  } else {
    Header = Text();
  }
  const auto keep = [&](const Text& line) {
    if (file) {
      file->WriteBuffer(line.c_str(), static_cast<std::int32_t>(line.Length()));
    } else {
      Header += line;
    }
  };

  Text line;
  ReadLn(line);
  if (!line.IsEmpty()) {
    ReplyNumber = static_cast<std::int16_t>(StrToIntDef(Field(line, ' ', 2), 0) & 0xFFFF);
  }
  keep(line);
  if (line.IsEmpty()) return;

  do {
    ReadLn(line);
    const Text upper = AsciiUpper(line);
    const Text name = Field(upper, ' ', 1);
    if (name == "SET-COOKIE:") {
      LastCookie = ValueFrom(line, 13);
    } else if (name == "LOCATION:") {
      LastLocation = ValueFrom(line, 11);
    } else if (name == "CONTENT-LENGTH:") {
      const int length = AnnouncedLength(upper);
      BytesTotal = length < 0 ? 0 : length;
      lengthAnnounced_ = length >= 0;
    } else if (name == "CONNECTION:" || name == "PROXY-CONNECTION:") {
      if (NamesKeepAlive(ValueFrom(line, static_cast<long>(name.Length()) + 1))) keepAlive_ = true;
    }
    keep(line);
  } while (!IsHeadEnd(line));
}

void TNMHTTP::ReceiveBody() {
  if (!BodyEndsByLength()) {
    // The server ends the body by closing the connection.
    if (InputFileMode) {
      CaptureFile(Body);
    } else {
      CaptureString(Body, -1);
    }
    return;
  }
  // The connection stays open: the announced length is all there is.
  const std::size_t length = static_cast<std::size_t>(BytesTotal);
  if (InputFileMode) {
    TFileStream file(Body, TFileMode::Create);
    Text data;
    CaptureString(data, BytesTotal);
    if (data.Length() > length) data.SetLength(length);
    file.WriteBuffer(data.c_str(), static_cast<std::int32_t>(data.Length()));
    file.Flush();
  } else {
    CaptureString(Body, BytesTotal);
    if (Body.Length() > length) Body.SetLength(length);
  }
}

}  // namespace vrk
