// Large texts gathered beside the file they are bound for, and linked into place.
#include "platform/text_spool.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/scratch_folder.h"

namespace vrk {
namespace {

using vrk::testing::ScratchFolder;

// Bytes without a zero among them, different at every position of a chunk.
std::string Pattern(std::size_t length, std::size_t seed = 0) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>((i + seed) % 251 + 1);
  return bytes;
}

// Appends in the pieces a socket would deliver.
void Feed(TextSpool& spool, const std::string& bytes, std::size_t piece = 65536) {
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    spool.Append(bytes.data() + at, std::min(piece, bytes.size() - at));
  }
}

#ifndef _WIN32  // Windows keeps every text in memory

TEST(TextSpool, LargeTextWaitsInAFileAndIsLinkedIntoPlaceWhole) {
  ScratchFolder folder;
  // One length on a page boundary: the byte after the text lies past the file's end.
  for (std::size_t length : {std::size_t{3} << 20, (std::size_t{3} << 20) + 123}) {
    const std::string name = folder.Inside("out " + std::to_string(length) + ".txt");
    const std::string expected = Pattern(length);
    Text text("left over");
    TextSpool spool(text, name.c_str());
    Feed(spool, expected);

    ASSERT_NE(text.Storage(), nullptr);
    EXPECT_EQ(text.View(), expected);
    EXPECT_EQ(text.LengthBeforeZero(), length);
    // Only the named file is left: the spool itself has no name.
    EXPECT_EQ(folder.Names().count("out " + std::to_string(length) + ".txt"), 0u);

    ASSERT_TRUE(LinkSpooledText(text, name.c_str()));
    EXPECT_EQ(folder.Get("out " + std::to_string(length) + ".txt"), expected);
    EXPECT_EQ(text.View(), expected);
    EXPECT_EQ(text.c_str()[text.Length()], 0);
    // The file has its name now: a second one would make two names for one file.
    EXPECT_FALSE(LinkSpooledText(text, folder.Inside("again").c_str()));
  }
}

TEST(TextSpool, ZeroBytesAreFoundWhereverTheyArrive) {
  ScratchFolder folder;
  const std::string name = folder.Inside("out.txt");
  for (std::size_t zeroAt : {std::size_t{10}, std::size_t{(2 << 20) + 5}}) {
    std::string bytes = Pattern(3 << 20);
    bytes[zeroAt] = '\0';
    Text text;
    TextSpool spool(text, name.c_str());
    Feed(spool, bytes);
    ASSERT_NE(text.Storage(), nullptr);
    EXPECT_EQ(text.View(), bytes);
    EXPECT_EQ(text.LengthBeforeZero(), zeroAt);
  }
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
  ASSERT_TRUE(LinkSpooledText(text, folder.Inside("out.txt").c_str()));
  EXPECT_EQ(folder.Get("out.txt"), first);
  EXPECT_EQ(text.View(), first);

  // Held by an event handler while the capture goes on.
  Text later;
  TextSpool another(later, folder.Inside("later.txt").c_str());
  Feed(another, first);
  const Text held = later;
  Feed(another, second);
  EXPECT_EQ(held.View(), first);
  EXPECT_EQ(later.View(), first + second);
}

TEST(TextSpool, ExistingNameIsNeverReplaced) {
  ScratchFolder folder;
  folder.Put("out.txt", "earlier");
  const std::string expected = Pattern(2 << 20);
  Text text;
  TextSpool spool(text, folder.Inside("out.txt").c_str());
  Feed(spool, expected);
  ASSERT_NE(text.Storage(), nullptr);
  EXPECT_FALSE(LinkSpooledText(text, folder.Inside("out.txt").c_str()));
  EXPECT_EQ(folder.Get("out.txt"), "earlier");
  // Refused, the text still reads whole, ending in a zero byte.
  EXPECT_EQ(text.View(), expected);
  EXPECT_EQ(text.c_str()[text.Length()], 0);
}

#endif

TEST(TextSpool, WithoutAUsableFolderTheTextStaysInMemory) {
  ScratchFolder folder;
  const std::string expected = Pattern(2 << 20);
  for (const std::string& boundFor : {std::string(), folder.Inside("missing/out.txt")}) {
    Text text;
    TextSpool spool(text, boundFor.c_str());
    Feed(spool, expected);
    EXPECT_EQ(text.Storage(), nullptr) << boundFor;
    EXPECT_EQ(text.View(), expected);
    EXPECT_FALSE(LinkSpooledText(text, folder.Inside("out.txt").c_str()));
  }
  // A small text never leaves memory.
  Text small;
  TextSpool spool(small, folder.Inside("out.txt").c_str());
  Feed(spool, Pattern(1000));
  EXPECT_EQ(small.Storage(), nullptr);
  EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
}  // namespace vrk
