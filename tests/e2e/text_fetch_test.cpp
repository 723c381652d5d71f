// A text URL fetched by the tool's own HTTP client and delivered to a file, the clipboard,
// or through the proxy of the settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "internet_settings.h"
#include "tests/support/eventually.h"
#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"
#ifdef _WIN32
#include "tests/support/receiver_process.h"
#include "tests/support/windows_clipboard.h"
#else
#include "hidden_library.h"
#include "tests/support/x_clipboard.h"
#endif

namespace vrk_test {
namespace {

const std::string kText = "Teplota 21 \xb0" "C\r\nVitr slaby\r\n";

// Larger than a text kept in memory, and no multiple of a memory page.
std::string LargeText() {
  std::string bytes((3 << 20) + 7, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251 + 1);
  return bytes;
}

// More than a 32-bit process could hold twice; streamed, never whole in memory.
constexpr std::uint64_t kHugeLength = (std::uint64_t{300} << 20) + 11;
char HugeByte(std::uint64_t offset) { return static_cast<char>(offset % 253 + 1); }

// Compares a file with the huge text piece by piece; the position of the first difference.
std::string HugeFileDifference(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> piece(1 << 20);
  std::uint64_t offset = 0;
  while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i, ++offset) {
      if (piece[static_cast<std::size_t>(i)] != HugeByte(offset)) return "differs at " + std::to_string(offset);
    }
  }
  return offset == kHugeLength ? "" : "ends at " + std::to_string(offset);
}

class TextFetch : public ::testing::Test {
 protected:
  TextFetch()
      : server_(ConnectionPlan::Http([](const HttpRequest& request) {
          if (request.target.find("/pocasi.txt") != std::string::npos) {
            return HttpResponse::Text(200, kText);
          }
          if (request.target == "/large.txt") return HttpResponse::Text(200, LargeText());
          if (request.target == "/large-zero.txt") {
            std::string bytes = LargeText();
            bytes[(2 << 20) + 3] = '\0';
            return HttpResponse::Text(200, bytes);
          }
          if (request.target == "/huge.txt") {
            return HttpResponse::Generated(kHugeLength, [](std::uint64_t offset, char* buffer,
                                                           std::size_t size) {
              for (std::size_t i = 0; i < size; ++i) buffer[i] = HugeByte(offset + i);
            });
          }
          if (request.target == "/zero.txt") {
            return HttpResponse::Text(200, std::string("before\0after", 12));
          }
          return HttpResponse::Text(404, "<html>not here</html>");
        })) {}

  RunResult Run(const std::vector<std::string>& arguments) {
    return folder_.Run(arguments, "", {"no_proxy=127.0.0.1"});
  }

  ScriptedServer server_;
  ToolFolder folder_;
};

TEST_F(TextFetch, FileDeliveryWritesTheBodyAndSendsAPlainRequest) {
  RunResult run = Run({server_.Url("/pocasi.txt"), "W", "vysledek.txt"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("vysledek.txt"), kText);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].method, "GET");
  EXPECT_EQ(server_.Requests()[0].target, "/pocasi.txt");
  EXPECT_EQ(server_.Requests()[0].version, "HTTP/1.0");
}

TEST_F(TextFetch, ExistingFileIsKeptAsOldAndSeveralWordsMakeOneName) {
  folder_.Put("moje", "earlier");
  RunResult run = Run({server_.Url("/pocasi.txt"), "W", "moje", "data.txt"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("moje data.txt"), kText);
  EXPECT_EQ(folder_.Get("moje.old"), "earlier");
  EXPECT_FALSE(folder_.Exists("moje"));
}

TEST_F(TextFetch, TheTextEndsAtItsFirstZeroByte) {
  Run({server_.Url("/zero.txt"), "W", "out.txt"});
  EXPECT_EQ(folder_.Get("out.txt"), "before");
}

TEST_F(TextFetch, LargeTextReachesItsFileWholeAndOverwritesAnExistingOne) {
  folder_.Put("velky", "earlier");
  RunResult run = Run({server_.Url("/large.txt"), "W", "velky", "text"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("velky text"), LargeText());
  EXPECT_EQ(folder_.Get("velky.old"), "earlier");

  // The name is taken now, so this time the file is written over.
  run = Run({server_.Url("/large-zero.txt"), "W", "velky", "text"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("velky text"), LargeText().substr(0, (2 << 20) + 3));
}

TEST_F(TextFetch, HugeTextGathersBesideItsFileAndReplacesIt) {
  folder_.Put("huge.txt", "earlier");
  folder_.Put("huge.old", "older");
  RunResult run = folder_.Run({server_.Url("/huge.txt"), "W", "huge.txt"}, "", {"no_proxy=127.0.0.1"}, 300);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(HugeFileDifference(folder_.Inside("huge.txt")), "");
  EXPECT_EQ(folder_.Get("huge.old"), "older");
#ifndef _WIN32
  EXPECT_LT(run.peakKiB, 64 * 1024);
#endif
}

TEST_F(TextFetch, EmptyOutputNameIsARangeErrorAndNothingIsWritten) {
  RunResult run = Run({server_.Url("/pocasi.txt"), "W"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box("VRK", "Range check error."));
}

TEST_F(TextFetch, FailureStatusDeliversNothingAndShowsNothing) {
  RunResult run = Run({server_.Url("/missing.txt"), "W", "out.txt"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_FALSE(folder_.Exists("out.txt"));
}

#ifndef _WIN32
// Where the system offers no TLS (the library is not installed), an https URL is refused with
// nothing asked of the server.
TEST_F(TextFetch, SecureSchemeIsRefused) {
  const HiddenLibrary tls({"libssl.so.3"});
  if (!tls.Hidden()) {
    if (std::getenv("CI") != nullptr) FAIL() << "cannot hide the TLS library";
    GTEST_SKIP() << "cannot hide the TLS library here (needs the right to mount)";
  }
  RunResult run = Run({"https://127.0.0.1:" + std::to_string(server_.Port()) + "/pocasi.txt", "W", "out.txt"});
  EXPECT_EQ(run.err, Box("VRK", "HTTP Secure Socket is not supported."));
  EXPECT_FALSE(folder_.Exists("out.txt"));
  EXPECT_TRUE(server_.Requests().empty());
}
#endif

TEST_F(TextFetch, ProxyFromTheSettingsGetsTheUrlAsTyped) {
  folder_.WriteSettings("[Main]\r\nIP=127.0.0.1\r\nPort=" + std::to_string(server_.Port()) + "\r\n");
  RunResult run = Run({"http://weather.example/pocasi.txt", "W", "out.txt"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("out.txt"), kText);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].target, "http://weather.example/pocasi.txt");
}

TEST_F(TextFetch, ProxyWrittenByTheProxyCommandIsUsedByTheNextFetch) {
  InternetSettings registry(folder_);
  registry.Set({Dword("ProxyEnable", 1),
                TextValue("ProxyServer", "127.0.0.1:" + std::to_string(server_.Port()))});
  std::vector<std::string> environment = registry.Environment();
  environment.push_back("http_proxy=");
  RunResult proxy = folder_.Run({"proxy"}, "", environment);
  EXPECT_EQ(proxy.err, "");
  RunResult run = Run({"http://weather.example/pocasi.txt", "W", "out.txt"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("out.txt"), kText);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0].target, "http://weather.example/pocasi.txt");
}

TEST_F(TextFetch, ProxyPortZeroFailsWithTheExceptionReport) {
  folder_.WriteSettings("[Main]\r\nIP=127.0.0.1\r\nPort=0\r\n");
  RunResult run = Run({server_.Url("/pocasi.txt"), "W", "out.txt"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  ASSERT_EQ(run.err.rfind("VRK\n", 0), 0u) << run.err;
#ifndef _WIN32
  EXPECT_EQ(run.err, Box("VRK", "10049:Can't assign requested address."));
#endif
  EXPECT_EQ(server_.ConnectionCount(), 0u);
  EXPECT_FALSE(folder_.Exists("out.txt"));
}

#ifdef _WIN32
// Device names are written into, never renamed or made into files. A program without a
// console cannot open CON: it says so and changes nothing either.
TEST_F(TextFetch, DeviceNamesAreNeverRenamedOrMadeIntoFiles) {
  EXPECT_EQ(Run({server_.Url("/large.txt"), "W", "NUL"}).err, "");
  EXPECT_EQ(Run({server_.Url("/pocasi.txt"), "W", "nul"}).err, "");
  const RunResult console = Run({server_.Url("/pocasi.txt"), "W", "CON"});
  EXPECT_TRUE(console.err == "" || console.err == Box("VRK", "Cannot create file CON.")) << console.err;
  EXPECT_TRUE(folder_.FilesBesideTheTool().empty());
}

// The receiving program as a user runs it: the tool finds its window and edit control.
TEST_F(TextFetch, WithoutModeTheTextGoesIntoTheReceivingProgram) {
  std::string program = NativePath(VRK_RECEIVER);
  ReceiverProcess receiver(program, folder_.Inside("record.txt"));
  ASSERT_NE(receiver.Window(), nullptr) << "the receiver did not start: " << program;
  RunResult run = Run({server_.Url("/pocasi.txt")});
  EXPECT_EQ(run.err, "");
  Eventually([&] { return folder_.Get("record.txt") == kText; });
  EXPECT_EQ(folder_.Get("record.txt"), kText);
  EXPECT_FALSE(folder_.Exists("out.txt"));
}

// Positions are letters of code page 1250, one byte each: a title of nine Czech letters ends
// where the setting has its tenth, while one that agrees in its first ten is the program.
// The settings file and the titles are in that code page (the build's literals are), as a
// user's are.
TEST_F(TextFetch, CzechTitleMatchesByItsFirstTenLetters) {
  folder_.WriteSettings("[Main]\r\nProgram=Žluťoučký kůň\r\n");
  const struct {
    std::string title;
    bool reached;
  } rows[] = {{"Žluťoučký", false}, {"Žluťoučký kůň úpěl", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.reached ? "ten letters agree" : "nine letters");
    const std::string record = row.reached ? "reached.txt" : "passed-over.txt";
    ReceiverProcess receiver(NativePath(VRK_RECEIVER), folder_.Inside(record), row.title);
    ASSERT_NE(receiver.Window(), nullptr);
    EmptyTheClipboard();
    EXPECT_EQ(Run({server_.Url("/pocasi.txt")}).err, "");
    if (row.reached) Eventually([&] { return folder_.Get(record) == kText; });
    EXPECT_EQ(folder_.Get(record), row.reached ? kText : "");
    EXPECT_EQ(ClipboardText(), row.reached ? "" : kText);
  }
}
#endif

#ifndef _WIN32
TEST_F(TextFetch, AnyOtherModeCopiesToTheClipboard) {
  if (!XClipboardReachable()) GTEST_SKIP() << "needs an X display and xclip (scripts/test.sh provides both)";
  RunResult run = Run({server_.Url("/pocasi.txt"), "x"});
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(XClipboardText(), kText);
}
#endif

}  // namespace
}  // namespace vrk_test
