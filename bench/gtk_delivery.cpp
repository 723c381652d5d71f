// Delivery into another program on the Linux desktop: `vrk URL` putting a short text into the
// GTK receiving program's "Pocasi" field over the accessibility bus, beside `vrk URL x`
// putting it on the clipboard, on a desktop of the benchmark's own (Xvfb, session and
// accessibility buses). Medians of the runs, which take turns.
// Usage: bench_gtk_delivery PATH_TO_VRK PATH_TO_HTTP_FIXTURE [RUNS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "bench/served_text.h"
#include "tests/support/accessibility_session.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kText = "Zítra jasno, 25 °C, vítr slabý";

}  // namespace

using vrk::bench::Median;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s PATH_TO_VRK PATH_TO_HTTP_FIXTURE [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = std::max(argc > 3 ? std::atoi(argv[3]) : 20, 1);
  if (!vrk_test::AccessibilitySessionPossible()) {
    std::fprintf(stderr, "bench_gtk_delivery: needs Xvfb, dbus-daemon and GTK for Python\n");
    return 2;
  }
  vrk_test::ScratchFolder work;
  const fs::path served = work.Path() / "served";
  fs::create_directories(served);
  std::ofstream(served / "pocasi.txt", std::ios::binary) << kText;
  // The tool reads vrk.ini beside itself; none means the defaults.
  fs::copy_file(argv[1], work.Path() / "vrk");
  const std::string vrk = (work.Path() / "vrk").string();

  vrk::bench::ServedFolder server(argv[2], served);
  if (server.Base().empty()) {
    std::fprintf(stderr, "bench_gtk_delivery: the file server did not start\n");
    return 2;
  }
  const std::string url = server.Base() + "pocasi.txt";
  vrk_test::AccessibilitySession session;
  session.Join();
  vrk_test::GtkReceiver receiver(session, "Trovane");
  if (!receiver.Shown()) {
    std::fprintf(stderr, "bench_gtk_delivery: the receiving program did not start\n");
    return 2;
  }

  std::vector<double> window;
  std::vector<double> clipboard;
  bool finished = true;
  for (int run = 0; run < runs; ++run) {
    // Found by its text, the field must hold its name again for every delivery.
    finished = receiver.Reset() && finished;
    vrk::bench::ChildResult result = vrk::bench::Run({vrk, url}, 20);
    finished = result.finished && finished;
    window.push_back(result.seconds * 1e3);
    result = vrk::bench::Run({vrk, url, "x"}, 20);
    finished = result.finished && finished;
    clipboard.push_back(result.seconds * 1e3);
  }
  const std::vector<std::string> fields = receiver.Fields();
  const bool delivered = fields.size() == 2 && fields[1] == "Pocasi\t" + kText;

  std::printf("runs: %d each, taking turns\n", runs);
  std::printf("into the GTK field: %7.1f ms per run (median)\n", Median(window));
  std::printf("onto the clipboard: %7.1f ms per run (median)\n", Median(clipboard));
  std::printf("every run finished: %s; text in the field: %s\n", finished ? "yes" : "NO",
              delivered ? "yes" : "NO");
  return finished && delivered ? 0 : 1;
}
