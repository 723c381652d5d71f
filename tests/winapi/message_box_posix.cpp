// On Windows a message box is a real dialog; these tests look at the terminal form.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/winapi.h"

namespace {

// Points standard output and error at files for the life of the object.
class CapturedStreams {
 public:
  explicit CapturedStreams(bool shared) {
    std::fflush(stdout);
    std::fflush(stderr);
    out_ = std::tmpfile();
    err_ = shared ? out_ : std::tmpfile();
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    dup2(fileno(out_), STDOUT_FILENO);
    dup2(fileno(err_), STDERR_FILENO);
  }
  ~CapturedStreams() {
    Restore();
    if (err_ != out_) std::fclose(err_);
    std::fclose(out_);
  }
  void Restore() {
    if (savedOut_ < 0) return;
    dup2(savedOut_, STDOUT_FILENO);
    dup2(savedErr_, STDERR_FILENO);
    close(savedOut_);
    close(savedErr_);
    savedOut_ = savedErr_ = -1;
  }
  std::string Out() { return Contents(out_); }
  std::string Err() { return Contents(err_); }

 private:
  static std::string Contents(std::FILE* file) {
    std::string bytes;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
    return bytes;
  }
  std::FILE* out_;
  std::FILE* err_;
  int savedOut_;
  int savedErr_;
};

TEST(MessageBoxOnTerminal, ErrorIconGoesToStandardErrorOnly) {
  CapturedStreams streams(false);
  int result = MessageBoxA(nullptr, "VRK nelze spustit bez parametr\xC5\xAF.", "Upozorn\xC4\x9Bn\xC3\xAD",
                           MB_OK | MB_ICONERROR);
  streams.Restore();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(streams.Err(), "Upozorn\xC4\x9Bn\xC3\xAD\nVRK nelze spustit bez parametr\xC5\xAF.\n");
  EXPECT_EQ(streams.Out(), "");
}

TEST(MessageBoxOnTerminal, OnlyTheErrorIconBitsChooseStandardError) {
  CapturedStreams streams(false);
  EXPECT_EQ(MessageBoxA(nullptr, "Verze: 1.1\nBuild: 0000", "Informace", MB_ICONINFORMATION), IDOK);
  MessageBoxA(nullptr, "w", "c", MB_ICONWARNING);
  MessageBoxA(nullptr, "q", "c", MB_ICONQUESTION);
  MessageBoxA(nullptr, "", "", MB_OK);
  MessageBoxA(nullptr, "e", "c", MB_ICONERROR | 0x1000 | 0x0001);  // system modal, OK/Cancel
  MessageBoxA(nullptr, nullptr, nullptr, MB_ICONERROR);  // Windows' default caption
  streams.Restore();
  EXPECT_EQ(streams.Out(), "Informace\nVerze: 1.1\nBuild: 0000\nc\nw\nc\nq\n\n\n");
  EXPECT_EQ(streams.Err(), "c\ne\nError\n\n");
}

TEST(MessageBoxOnTerminal, OrderIsKeptAcrossBothStreams) {
  CapturedStreams streams(true);
  MessageBoxA(nullptr, "1", "a", MB_ICONINFORMATION);
  MessageBoxA(nullptr, "2", "b", MB_ICONERROR);
  MessageBoxA(nullptr, "3", "c", MB_ICONINFORMATION);
  streams.Restore();
  EXPECT_EQ(streams.Out(), "a\n1\nb\n2\nc\n3\n");
}

}  // namespace
