// The allocation torture's shim, loaded into the tool with LD_PRELOAD: it counts the
// allocations the run makes from main on and makes the chosen ones fail, as a machine out of
// memory does.
//
//   VRK_ALLOC_FAIL=N          allocation N (counted from 1) fails
//   VRK_ALLOC_FAIL_LASTING=1  and so does every one after it
//   VRK_ALLOC_COUNT=PATH      the number of allocations is written to PATH when the run ends
//
// The tool links the C++ runtime statically, but that runtime's operator new still calls the C
// library's malloc through the dynamic symbol table, so interposing the C allocation calls
// covers it too; the C library's own inner calls (name lookup, thread-local destructors) use
// them as well. What runs before main is the runtime's start-up (its reserve for raising
// exceptions when memory is gone among it): no program can report anything without it, so the
// count starts at main. Nor does it count or fail what the C library's getaddrinfo allocates:
// glibc's name service cannot survive a failed allocation while it sets itself up (a null
// pointer followed, an assertion, "Unexpected error.": a plain C program calling getaddrinfo
// shows all three), which no program can mend; the tool's own side of a lookup is tortured.
// The variables and LD_PRELOAD leave the environment at load, so the programs the tool starts
// (the clipboard tool, the opener) run without the shim.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "tools/shim_count.h"

extern "C" {
// The C library's own allocator, which the interposed calls hand on to.
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

std::atomic<bool> counting{false};
std::atomic<unsigned long> made{0};
unsigned long failAt = 0;
bool lasting = false;
char countPath[4096];

unsigned long Number(const char* text) {
  unsigned long value = 0;
  for (; text != nullptr && *text >= '0' && *text <= '9'; ++text) value = value * 10 + (*text - '0');
  return value;
}

// Set while the thread is inside getaddrinfo. Initial-exec: the general model may allocate.
__attribute__((tls_model("initial-exec"))) thread_local int insideLookup = 0;

using LookupFunction = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
LookupFunction realLookup = nullptr;

// Counts one allocation; true when it is to fail.
bool Refused() {
  if (!counting.load(std::memory_order_relaxed) || insideLookup != 0) return false;
  const unsigned long number = made.fetch_add(1, std::memory_order_relaxed) + 1;
  if (failAt == 0) return false;
  return lasting ? number >= failAt : number == failAt;
}

void* Failed() {
  errno = ENOMEM;
  return nullptr;
}

bool PowerOfTwo(std::size_t value) { return value != 0 && (value & (value - 1)) == 0; }

__attribute__((constructor)) void Load() {
  failAt = Number(getenv("VRK_ALLOC_FAIL"));
  lasting = Number(getenv("VRK_ALLOC_FAIL_LASTING")) != 0;
  if (const char* path = getenv("VRK_ALLOC_COUNT")) {
    std::size_t i = 0;
    for (; path[i] != 0 && i + 1 < sizeof countPath; ++i) countPath[i] = path[i];
    countPath[i] = 0;
  }
  realLookup = reinterpret_cast<LookupFunction>(dlsym(RTLD_NEXT, "getaddrinfo"));
  for (const char* name : {"VRK_ALLOC_FAIL", "VRK_ALLOC_FAIL_LASTING", "VRK_ALLOC_COUNT", "LD_PRELOAD"}) {
    unsetenv(name);
  }
}

__attribute__((destructor)) void Unload() {
  counting.store(false);
  if (countPath[0] == 0) return;
  WriteShimCount(countPath, made.load());
}

using MainFunction = int (*)(int, char**, char**);
using StartFunction = int (*)(MainFunction, int, char**, void (*)(), void (*)(), void (*)(), void*);
MainFunction realMain = nullptr;

int CountingMain(int argc, char** argv, char** env) {
  counting.store(true);
  return realMain(argc, argv, env);
}

}  // namespace

extern "C" {

// The C start-up calls this with the program's main: the count starts there.
int __libc_start_main(MainFunction main, int argc, char** argv, void (*init)(), void (*fini)(),
                      void (*rtldFini)(), void* stackEnd) {
  auto start = reinterpret_cast<StartFunction>(dlsym(RTLD_NEXT, "__libc_start_main"));
  realMain = main;
  return start(CountingMain, argc, argv, init, fini, rtldFini, stackEnd);
}

int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
  ++insideLookup;
  const int code = realLookup(node, service, hints, result);
  --insideLookup;
  return code;
}

void* malloc(std::size_t size) { return Refused() ? Failed() : __libc_malloc(size); }

void* calloc(std::size_t count, std::size_t size) {
  return Refused() ? Failed() : __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
  // Shrinking to nothing frees; it allocates nothing.
  if (pointer != nullptr && size == 0) return __libc_realloc(pointer, size);
  return Refused() ? Failed() : __libc_realloc(pointer, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
  return Refused() ? Failed() : __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
  return Refused() ? Failed() : __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  if (!PowerOfTwo(alignment) || alignment % sizeof(void*) != 0) return EINVAL;
  if (Refused()) return ENOMEM;
  void* pointer = __libc_memalign(alignment, size);
  if (pointer == nullptr) return ENOMEM;
  *out = pointer;
  return 0;
}

void* valloc(std::size_t size) {
  return Refused() ? Failed() : __libc_memalign(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), size);
}

void* pvalloc(std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return Refused() ? Failed() : __libc_memalign(page, (size + page - 1) / page * page);
}

}  // extern "C"
