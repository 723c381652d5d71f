// Large texts gathered beside the file they are bound for, and delivered there by naming.
#include "platform/text_spool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/exceptions.h"
#include "platform/winapi.h"
#include "tests/support/scratch_folder.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace vrk {
namespace {

using vrk_test::ScratchFolder;

// Bytes without a zero among them, different at every position of a chunk.
std::string Pattern(std::size_t length, std::size_t seed = 0) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i + seed) % 251 + 1);
  return bytes;
}

// Names the file a spooled text waits in, as the file delivery does.
bool DeliverSpooled(const Text& text, const std::string& name) {
  const std::size_t length = text.Length();
  std::unique_ptr<PendingFile> file = TakeSpooledFile(text, name.c_str());
  return file && file->Commit(name.c_str(), length, PendingFile::Naming::Replace);
}

// Appends in the pieces a socket would deliver.
void Feed(TextSpool& spool, const std::string& bytes, std::size_t piece = 65536) {
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    spool.Append(bytes.data() + at, std::min(piece, bytes.size() - at));
  }
}

TEST(TextSpool, LargeTextWaitsBesideItsFileAndReplacesItWhole) {
  ScratchFolder folder;
  // One length on a page boundary: the zero after the text lies in a page of its own.
  for (std::size_t length : {std::size_t{3} << 20, (std::size_t{3} << 20) + 123}) {
    const std::string name = folder.Inside("out.txt");
    folder.Put("out.txt", "earlier");
    const std::string expected = Pattern(length);
    Text text("left over");
    TextSpool spool(text, name.c_str());
    Feed(spool, expected);

    ASSERT_NE(text.Storage(), nullptr);
    EXPECT_EQ(text.View(), expected);
    EXPECT_EQ(text.c_str()[text.Length()], 0);
    EXPECT_EQ(text.LengthBeforeZero(), length);
    EXPECT_EQ(folder.Get("out.txt"), "earlier");

    const Text copy = text;
    EXPECT_FALSE(WaitsForItsFile(text, folder.Inside("other.txt").c_str()));
    ASSERT_TRUE(DeliverSpooled(text, name));
    EXPECT_EQ(folder.Get("out.txt"), expected);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"out.txt"});
#ifdef _WIN32
    EXPECT_EQ(GetFileAttributesA(name.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
#endif
    // The bytes belong to the file now: every text over them reads as empty.
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(TakeSpooledFile(text, name.c_str()), nullptr);
  }
}

TEST(TextSpool, AZeroByteCutsTheFileWhereItStands) {
  ScratchFolder folder;
  const std::string name = folder.Inside("out.txt");
  std::string bytes = Pattern(3 << 20);
  const std::size_t zeroAt = (2 << 20) + 5;
  bytes[zeroAt] = '\0';
  Text text;
  TextSpool spool(text, name.c_str());
  Feed(spool, bytes);
  ASSERT_NE(text.Storage(), nullptr);
  EXPECT_EQ(text.View(), bytes);
  EXPECT_EQ(text.LengthBeforeZero(), zeroAt);

  const Text cut = text.Left(zeroAt);
  EXPECT_EQ(cut.Storage(), text.Storage());
  EXPECT_EQ(cut.View(), bytes.substr(0, zeroAt));
  ASSERT_TRUE(DeliverSpooled(cut, name));
  EXPECT_EQ(folder.Get("out.txt"), bytes.substr(0, zeroAt));
}

TEST(TextSpool, CopiesAndChangesNeverReachTheFile) {
  ScratchFolder folder;
  const std::string first = Pattern(2 << 20);
  const std::string second = Pattern(1 << 20, 7);
  Text text;
  TextSpool spool(text, folder.Inside("out.txt").c_str());
  Feed(spool, first);
  Text changed = text;
  changed.SetAt(1, '\0');
  changed.Append("!", 1);
  EXPECT_EQ(changed.LengthBeforeZero(), 0u);
  ASSERT_TRUE(DeliverSpooled(text, folder.Inside("out.txt")));
  EXPECT_EQ(folder.Get("out.txt"), first);
  EXPECT_EQ(changed.Length(), first.size() + 1);

  // Held by an event handler while the capture goes on.
  Text later;
  TextSpool another(later, folder.Inside("later.txt").c_str());
  Feed(another, first);
  const Text held = later;
  Feed(another, second);
  EXPECT_EQ(held.View(), first);
  EXPECT_EQ(later.View(), first + second);
}

TEST(TextSpool, WithoutAUsableFolderTheTextStaysInMemory) {
  ScratchFolder folder;
  const std::string expected = Pattern(2 << 20);
  for (const std::string& boundFor : {std::string(), folder.Inside("missing/out.txt")}) {
    Text text;
    TextSpool spool(text, boundFor.c_str());
    Feed(spool, expected);
    EXPECT_EQ(text.Storage(), nullptr) << boundFor;
    EXPECT_EQ(text.View(), expected);
    EXPECT_EQ(TakeSpooledFile(text, folder.Inside("out.txt").c_str()), nullptr);
  }
  // A small text never leaves memory.
  Text small;
  TextSpool spool(small, folder.Inside("out.txt").c_str());
  Feed(spool, Pattern(1000));
  EXPECT_EQ(small.Storage(), nullptr);
  EXPECT_TRUE(folder.Names().empty());
}

#ifdef _WIN32
// More than a 32-bit process can map: the text is counted and handed to its file without
// ever being brought into memory, and the file it waits in holds its bytes alone.
TEST(TextSpool, ATextBeyondTheAddressSpaceReachesItsFile) {
  ScratchFolder folder;
  const std::string name = folder.Inside("out.txt");
  const std::string piece = Pattern(1 << 20);
  const std::size_t length = (std::size_t{2049} << 20) + 1;
  Text text;
  TextSpool spool(text, name.c_str());
  for (std::size_t at = 0; at + piece.size() <= length; at += piece.size()) {
    spool.Append(piece.data(), piece.size());
  }
  spool.Append("!", 1);
  ASSERT_EQ(text.Length(), length);
  EXPECT_EQ(text.LengthBeforeZero(), length);
  ASSERT_EQ(folder.Names().size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(folder.Inside(*folder.Names().begin())), length);

  std::unique_ptr<PendingFile> file = TakeSpooledFile(text, name.c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Length(), length);
}
#endif

#ifndef _WIN32
// A size limit far above the text's first pieces: the file grows by what is written only,
// and the limit arrives as an error that drops the text and leaves nothing behind.
TEST(TextSpool, AFileSizeLimitIsAWriteErrorNotASignal) {
  ScratchFolder folder;
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 4 << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

  Text text;
  TextSpool spool(text, folder.Inside("out.txt").c_str());
  Feed(spool, Pattern(3 << 20));  // below the limit: no trouble
  EXPECT_EQ(text.Length(), std::size_t{3} << 20);
  EXPECT_THROW(Feed(spool, Pattern(2 << 20)), EWriteError);
  const Text after = text;

  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_TRUE(after.IsEmpty());
  EXPECT_TRUE(folder.Names().empty());
}
#endif

}  // namespace
}  // namespace vrk
