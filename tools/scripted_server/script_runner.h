// Plays one script on one accepted connection.
#pragma once

#include <functional>

#include "tools/scripted_server/connection_record.h"
#include "tools/scripted_server/script.h"
#include "tools/scripted_server/socket_shim.h"

namespace vrk_test {

struct RunnerSettings {
  // Longest time a send may make no progress, and the time an HTTP request may take.
  Milliseconds ioTimeout{30000};
  // How long a graceful close waits for the peer's FIN at most (it stops earlier once
  // the peer has sent nothing for 100 ms).
  Milliseconds closeDrain{2000};
  // Told about every request that an AnswerHttp step has read.
  std::function<void(const HttpRequest&)> onRequest;
};

// Takes over the non-blocking socket and closes it before returning. Returns promptly
// once `wake` becomes readable (the server is stopping). Marks the record ended.
void PlayScript(sockets::Socket socket, sockets::Socket wake, const Script& script,
                ConnectionRecord& record, const RunnerSettings& settings);

}  // namespace vrk_test
