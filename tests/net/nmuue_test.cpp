// The Base64 and UU encoder over streams: line forms, padding, events and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/streams.h"
#include "net/NMUUE.h"

namespace vrk {
namespace {

// A memory stream whose reads return at most `limit` bytes, and that fails every write
// once `writeBudget` bytes have gone in.
class TLimitedStream : public TMemoryStream {
 public:
  std::int32_t readLimit = 1 << 30;
  std::int64_t writeBudget = 1LL << 40;

  std::int32_t Read(void* buffer, std::int32_t count) override {
    return TMemoryStream::Read(buffer, std::min(count, readLimit));
  }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    const auto allowed = static_cast<std::int32_t>(std::min<std::int64_t>(count, writeBudget));
    writeBudget -= allowed;
    return TMemoryStream::Write(buffer, allowed);
  }
};

// Claims a size that its reads never deliver.
class TEmptyReadsStream : public TMemoryStream {
 public:
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int64_t Size() override { return 10; }
};

std::string Contents(TMemoryStream& stream) {
  return std::string(stream.Memory(), static_cast<std::size_t>(stream.Size()));
}

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

std::string Encode(const std::string& input, UUMethods method) {
  TMemoryStream in;
  TMemoryStream out;
  Fill(in, input);
  TNMUUProcessor processor(nullptr);
  processor.InputStream = &in;
  processor.OutputStream = &out;
  processor.Method = method;
  processor.Encode();
  EXPECT_EQ(out.Position(), 0);
  EXPECT_EQ(in.Position(), in.Size());
  return Contents(out);
}

TEST(UUProcessorMime, ShortInputsAndPadding) {
  EXPECT_EQ(Encode("", uuMime), "");
  EXPECT_EQ(Encode("a", uuMime), "YQ==\r\n");
  EXPECT_EQ(Encode("ab", uuMime), "YWI=\r\n");
  EXPECT_EQ(Encode("abc", uuMime), "YWJj\r\n");
  EXPECT_EQ(Encode("user:pass", uuMime), "dXNlcjpwYXNz\r\n");
  EXPECT_EQ(Encode("Aladdin:open sesame", uuMime), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==\r\n");
  EXPECT_EQ(Encode(std::string("\xFB\xFF\x00", 3), uuMime), "+/8A\r\n");
}

TEST(UUProcessorMime, LinesCarryFortyFiveBytesEach) {
  const std::string full(45, 'x');
  const std::string line = Encode(full, uuMime);
  ASSERT_EQ(line.size(), 62u);
  EXPECT_EQ(line.substr(0, 4), "eHh4");
  EXPECT_EQ(line.substr(60), "\r\n");

  const std::string two = Encode(full + "y", uuMime);
  EXPECT_EQ(two, line + "eQ==\r\n");
}

TEST(UUProcessorCode, ShortInputsAndEndLine) {
  EXPECT_EQ(Encode("", uuCode), "`\r\n");
  EXPECT_EQ(Encode("a", uuCode), "!80\r\n`\r\n");
  EXPECT_EQ(Encode("ab", uuCode), "\"86(\r\n`\r\n");
  EXPECT_EQ(Encode("abc", uuCode), "#86)C\r\n`\r\n");
  // Zero values are grave accents, never spaces.
  EXPECT_EQ(Encode(std::string(3, '\0'), uuCode), "#````\r\n`\r\n");
}

TEST(UUProcessorCode, FullAndShortLines) {
  const std::string full(45, 'x');
  const std::string out = Encode(full + "y", uuCode);
  ASSERT_EQ(out.size(), 63u + 5 + 3);
  EXPECT_EQ(out[0], 'M');
  EXPECT_EQ(out.substr(61, 2), "\r\n");
  EXPECT_EQ(out.substr(63), "!>0\r\n`\r\n");
}

TEST(UUProcessorStreams, EachReadMakesOneLine) {
  TLimitedStream in;
  TMemoryStream out;
  Fill(in, "abcdefg");
  in.readLimit = 4;
  TNMUUProcessor processor(nullptr);
  processor.InputStream = &in;
  processor.OutputStream = &out;
  processor.Encode();
  EXPECT_EQ(Contents(out), "YWJjZA==\r\nZWZn\r\n");
}

TEST(UUProcessorStreams, InputAtItsEndIsStillEncodedFromTheStart) {
  TMemoryStream in;
  TMemoryStream out;
  Fill(in, "abc");
  ASSERT_EQ(in.Position(), 3);
  TNMUUProcessor processor(nullptr);
  processor.InputStream = &in;
  processor.OutputStream = &out;
  processor.Encode();
  EXPECT_EQ(Contents(out), "YWJj\r\n");

  // A second run starts over and writes from 0, where the first one left the output.
  Fill(in, "a");
  processor.Encode();
  EXPECT_EQ(Contents(out), "YQ==\r\n");
  Fill(in, "");
  processor.Encode();
  EXPECT_EQ(Contents(out), "YQ==\r\n");
}

TEST(UUProcessorEvents, BothRaisedOnceAroundTheWork) {
  TMemoryStream in;
  TMemoryStream out;
  TNMUUProcessor processor(nullptr);
  EXPECT_EQ(processor.Method, uuMime);
  EXPECT_EQ(processor.InputStream, nullptr);
  EXPECT_EQ(processor.OutputStream, nullptr);
  processor.InputStream = &in;
  processor.OutputStream = &out;
  std::vector<std::string> seen;
  processor.OnBeginEncode = [&](TObject* sender) {
    EXPECT_EQ(sender, &processor);
    seen.push_back("begin " + std::to_string(out.Size()));
  };
  processor.OnEndEncode = [&](TObject* sender) {
    EXPECT_EQ(sender, &processor);
    seen.push_back("end " + std::to_string(out.Size()) + " at " + std::to_string(out.Position()));
  };
  processor.Encode();
  Fill(in, "abc");
  processor.Encode();
  EXPECT_EQ(seen, (std::vector<std::string>{"begin 0", "end 0 at 0", "begin 0", "end 6 at 0"}));
}

TEST(UUProcessorFailures, WriteFailureRewindsRaisesEndAndKeepsEarlierLines) {
  TMemoryStream in;
  TLimitedStream out;
  Fill(in, std::string(50, 'x'));
  out.writeBudget = 70;  // the first line and part of the second
  TNMUUProcessor processor(nullptr);
  processor.InputStream = &in;
  processor.OutputStream = &out;
  int ends = 0;
  processor.OnEndEncode = [&](TObject*) { ++ends; };
  EXPECT_THROW(processor.Encode(), EWriteError);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(out.Position(), 0);
  EXPECT_EQ(Contents(out).substr(0, 62), Encode(std::string(45, 'x'), uuMime));
}

TEST(UUProcessorFailures, BeginHandlerFailureSkipsEnd) {
  TMemoryStream in;
  TMemoryStream out;
  TNMUUProcessor processor(nullptr);
  processor.InputStream = &in;
  processor.OutputStream = &out;
  bool ended = false;
  processor.OnBeginEncode = [](TObject*) { throw Exception("stop"); };
  processor.OnEndEncode = [&](TObject*) { ended = true; };
  EXPECT_THROW(processor.Encode(), Exception);
  EXPECT_FALSE(ended);
}

TEST(UUProcessorFailures, StreamThatYieldsNothingEndsTheLoop) {
  TEmptyReadsStream in;
  TMemoryStream out;
  TNMUUProcessor processor(nullptr);
  processor.InputStream = &in;
  processor.OutputStream = &out;
  processor.Method = uuCode;
  processor.Encode();
  EXPECT_EQ(Contents(out), "`\r\n");
}

}  // namespace
}  // namespace vrk
