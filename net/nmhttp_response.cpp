// TNMHTTP: the response side, reading the head and receiving the body.
#include <memory>

#include "framework/streams.h"
#include "net/NMHttp.h"
#include "net/response_head.h"
#include "net/scope_exit.h"
#include "net/sock_exceptions.h"

namespace vrk {

void TNMHTTP::ReadResponseHead() {
  BytesTotal = 0;
  LastCookie = Text();
  keptBodyLength_.reset();
  promisedBodyLength_.reset();
  std::unique_ptr<TFileStream> file;
  if (OutputFileMode) {
    file = std::make_unique<TFileStream>(Header, TFileMode::Create);
  } else {
    Header = Text();
  }
  TResponseHead head;
  // What was read stays, also when the head ends by a failure.
  ScopeExit publish([&] {
    if (head.HasStatusLine()) ReplyNumber = head.Status();
    LastCookie = head.Cookie();
    if (head.Location()) LastLocation = *head.Location();
    BytesTotal = head.AnnouncedLength();
  });
  Text line;
  bool more = true;
  while (more) {
    ReadLn(line);
    more = head.Take(line, LineCutByClose().View());
    if (file) {
      file->WriteBuffer(line.c_str(), static_cast<std::int32_t>(line.Length()));
    } else {
      Header += line;
    }
  }
  // A head cut short may lack the very lines that would tell the body is incomplete; a
  // status line cut short, or no answer at all, is no success with status 0 either.
  if (head.CutShort()) throw ESockError(kResponseCutShort);
  keptBodyLength_ = head.KeptBodyLength(CurrentCommand == ctHead);
  promisedBodyLength_ = head.PromisedBodyLength(CurrentCommand == ctHead);
}

void TNMHTTP::CheckBodyLength(std::uint64_t received) const {
  if (promisedBodyLength_ && received < static_cast<std::uint64_t>(*promisedBodyLength_)) {
    throw ESockError(kResponseCutShort);
  }
}

void TNMHTTP::ReceiveBody() {
  if (!keptBodyLength_) {
    // The server ends the body by closing the connection.
    if (InputFileMode) {
      CaptureFile(Body);
      CheckBodyLength(static_cast<std::uint64_t>(TFileStream(Body, TFileMode::OpenRead).Size()));
    } else {
      CaptureString(Body, -1);
      CheckBodyLength(Body.Length());
    }
    return;
  }
  // The connection stays open: the announced length is all there is.
  const std::int32_t count = *keptBodyLength_;
  const std::size_t length = static_cast<std::size_t>(count);
  if (InputFileMode) {
    TFileStream file(Body, TFileMode::Create);
    Text data;
    CaptureString(data, count);
    CheckBodyLength(data.Length());
    if (data.Length() > length) data.SetLength(length);
    file.WriteBuffer(data.c_str(), static_cast<std::int32_t>(data.Length()));
    file.Flush();
  } else {
    CaptureString(Body, count);
    CheckBodyLength(Body.Length());
    if (Body.Length() > length) Body.SetLength(length);
  }
}

}  // namespace vrk
