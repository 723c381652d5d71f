#include "framework/streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "framework/exceptions.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scratch_folder.h"

namespace vrk {
namespace {

namespace fs = std::filesystem;

class StreamsTest : public ::testing::Test {
 protected:
  Text PathOf(const std::string& name) const { return Text(folder_.Inside(name)); }
  std::string ReadFile(const std::string& name) const { return folder_.Get(name); }

  vrk_test::ScratchFolder folder_;
};

std::string Content(const TMemoryStream& stream) {
  TMemoryStream& s = const_cast<TMemoryStream&>(stream);
  return std::string(s.Memory(), static_cast<std::size_t>(s.Size()));
}

TEST_F(StreamsTest, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream m;
  EXPECT_EQ(m.Size(), 0);
  m.WriteBuffer("hello world", 11);
  EXPECT_EQ(m.Position(), 11);
  EXPECT_EQ(m.Size(), 11);

  m.SetPosition(6);
  char buffer[16] = {};
  EXPECT_EQ(m.Read(buffer, 16), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(m.Read(buffer, 16), 0);

  EXPECT_EQ(m.Seek(-5, TSeekOrigin::End), 6);
  m.WriteBuffer("W", 1);
  EXPECT_EQ(m.Seek(2, TSeekOrigin::Current), 9);
  EXPECT_EQ(Content(m), "hello World");
  EXPECT_THROW(m.Seek(-1, TSeekOrigin::Beginning), EStreamError);
  EXPECT_EQ(m.Position(), 9);

  // A write past the end fills the gap with zero bytes.
  m.SetPosition(13);
  m.WriteBuffer("!", 1);
  EXPECT_EQ(Content(m), std::string("hello World\0\0!", 14));

  m.SetPosition(0);
  char big[32];
  EXPECT_THROW_MSG(m.ReadBuffer(big, 32), EReadError, "Stream read error");

  m.SetSize(5);
  EXPECT_EQ(Content(m), "hello");
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
}

TEST_F(StreamsTest, MemoryStreamGrowsGeometrically) {
  TMemoryStream m;
  const char* previous = nullptr;
  int moves = 0;
  for (int i = 0; i < (1 << 20); ++i) {
    char c = static_cast<char>(i);
    m.WriteBuffer(&c, 1);
    if (m.Memory() != previous) ++moves, previous = m.Memory();
  }
  EXPECT_EQ(m.Size(), 1 << 20);
  EXPECT_LT(moves, 60);
  EXPECT_EQ(m.Memory()[300], static_cast<char>(300));
}

TEST_F(StreamsTest, MemoryStreamWritesItsOwnBytes) {
  TMemoryStream m;
  m.WriteBuffer("abcd", 4);
  for (int i = 0; i < 12; ++i) m.WriteBuffer(m.Memory(), static_cast<std::int32_t>(m.Size()));
  EXPECT_EQ(m.Size(), 4 << 12);
  EXPECT_EQ(Content(m).substr((4 << 12) - 8), "abcdabcd");
}

TEST_F(StreamsTest, CopyFromTakesACountOrTheWholeSource) {
  TMemoryStream source;
  std::string data(200000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  source.WriteBuffer(data.data(), static_cast<std::int32_t>(data.size()));

  TMemoryStream whole;
  EXPECT_EQ(whole.CopyFrom(source, 0), 200000);  // from the start, though source stood at its end
  EXPECT_EQ(Content(whole), data);

  TMemoryStream part;
  source.SetPosition(10);
  EXPECT_EQ(part.CopyFrom(source, 5), 5);
  EXPECT_EQ(Content(part), data.substr(10, 5));
  EXPECT_EQ(source.Position(), 15);

  source.SetPosition(199990);
  EXPECT_THROW(part.CopyFrom(source, 20), EReadError);
}

TEST_F(StreamsTest, FileStreamRoundTrip) {
  Text name = PathOf("round.bin");
  std::string data;
  for (int i = 0; i < 300000; ++i) data += static_cast<char>(i % 251);
  {
    TFileStream file(name, TFileMode::Create);
    file.WriteBuffer(data.data(), static_cast<std::int32_t>(data.size()));
    EXPECT_EQ(file.Size(), 300000);
    file.Flush();
  }
  EXPECT_EQ(ReadFile("round.bin"), data);

  TFileStream file(name, TFileMode::OpenRead);
  EXPECT_EQ(file.Size(), 300000);
  std::string back(data.size(), '\0');
  file.ReadBuffer(back.data(), static_cast<std::int32_t>(back.size()));
  EXPECT_EQ(back, data);
  EXPECT_EQ(file.Position(), file.Size());
  EXPECT_EQ(file.Read(back.data(), 1), 0);
  EXPECT_THROW(file.WriteBuffer("x", 1), EWriteError);
}

TEST_F(StreamsTest, FileStreamModes) {
  Text name = PathOf("modes.txt");
  {
    TFileStream file(name, TFileMode::Create);
    file.WriteBuffer("0123456789", 10);
  }
  {
    TFileStream file(name, TFileMode::OpenWrite);  // keeps the content
    file.WriteBuffer("ab", 2);
  }
  EXPECT_EQ(ReadFile("modes.txt"), "ab23456789");
  {
    // Alternating reads and writes on one open file.
    TFileStream file(name, TFileMode::OpenReadWrite);
    char c[3] = {};
    file.ReadBuffer(c, 2);
    EXPECT_EQ(std::string(c), "ab");
    file.WriteBuffer("XY", 2);
    file.ReadBuffer(c, 2);
    EXPECT_EQ(std::string(c), "45");
    file.Seek(0, TSeekOrigin::End);
    file.WriteBuffer("!", 1);
  }
  EXPECT_EQ(ReadFile("modes.txt"), "abXY456789!");
  {
    TFileStream file(name, TFileMode::Create);  // empties it
    EXPECT_EQ(file.Size(), 0);
  }
  EXPECT_EQ(ReadFile("modes.txt"), "");
}

TEST_F(StreamsTest, FileErrorsNameTheFileAsGiven) {
  Text missing = PathOf("missing.txt");
  EXPECT_THROW_MSG(TFileStream(missing, TFileMode::OpenRead), EFileOpenError,
                   "Cannot open file " + missing.ToStdString());
  EXPECT_THROW(TFileStream(missing, TFileMode::OpenReadWrite), EFileOpenError);
  EXPECT_FALSE(folder_.Exists("missing.txt"));

  Text unreachable = PathOf("no-such-folder") + "/new.txt";
  EXPECT_THROW_MSG(TFileStream(unreachable, TFileMode::Create), EFileCreateError,
                   "Cannot create file " + unreachable.ToStdString());

  // A folder is not a file, and a zero byte must not cut the name short.
  EXPECT_THROW(TFileStream(Text(folder_.Path().string()), TFileMode::OpenRead), EFileOpenError);
  {
    TFileStream file(PathOf("cut"), TFileMode::Create);
  }
  EXPECT_THROW(TFileStream(PathOf("cut") + Text("\0.txt", 5), TFileMode::OpenRead), EFileOpenError);
  EXPECT_THROW(TFileStream("", TFileMode::Create), EFileCreateError);
}

#ifndef _WIN32
TEST_F(StreamsTest, BackslashSeparatesFolders) {
  fs::create_directory(folder_.Path() / "sub");
  Text name = Text(folder_.Path().string()) + "\\sub\\file.txt";
  {
    TFileStream file(name, TFileMode::Create);
    file.WriteBuffer("x", 1);
  }
  std::ifstream in(folder_.Path() / "sub" / "file.txt");
  EXPECT_TRUE(in.good());
}
#endif

TEST_F(StreamsTest, FilesPastTwoGigabytes) {
  const std::int64_t far = (std::int64_t{3} << 30) + 5;
  Text name = PathOf("large.bin");
  {
    TFileStream file(name, TFileMode::Create);
    EXPECT_EQ(file.Seek(far, TSeekOrigin::Beginning), far);
    file.WriteBuffer("end", 3);
    EXPECT_EQ(file.Size(), far + 3);
  }
  TFileStream file(name, TFileMode::OpenRead);
  EXPECT_EQ(file.Size(), far + 3);
  file.Seek(-3, TSeekOrigin::End);
  EXPECT_EQ(file.Position(), far);
  char back[4] = {};
  file.ReadBuffer(back, 3);
  EXPECT_EQ(std::string(back), "end");
}

TEST_F(StreamsTest, MemoryStreamLoadsAndSavesFiles) {
  TMemoryStream m;
  m.WriteBuffer("line\r\n\0tail", 11);
  m.SaveToFile(PathOf("saved.bin"));
  EXPECT_EQ(ReadFile("saved.bin"), std::string("line\r\n\0tail", 11));

  TMemoryStream loaded;
  loaded.WriteBuffer("old content that is longer", 26);
  loaded.LoadFromFile(PathOf("saved.bin"));
  EXPECT_EQ(Content(loaded), std::string("line\r\n\0tail", 11));
  EXPECT_EQ(loaded.Position(), 0);
  EXPECT_THROW(loaded.LoadFromFile(PathOf("absent")), EFileOpenError);
  EXPECT_EQ(loaded.Size(), 11);  // a failed load keeps what was there
}

}  // namespace
}  // namespace vrk
