#include "platform/win32/binding_watchdog.h"

namespace vrk {

BindingWatchdog::BindingWatchdog(std::chrono::milliseconds limit)
    : limit_(limit), lastProgress_(std::chrono::steady_clock::now()), thread_([this] { Run(); }) {}

BindingWatchdog::~BindingWatchdog() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
  Watch(nullptr);
}

void BindingWatchdog::Watch(IBinding* binding) {
  if (binding != nullptr) binding->AddRef();
  IBinding* previous = nullptr;
  {
    std::lock_guard lock(mutex_);
    previous = binding_;
    binding_ = binding;
    lastProgress_ = std::chrono::steady_clock::now();
  }
  wake_.notify_one();
  if (previous != nullptr) previous->Release();
}

void BindingWatchdog::Progress() {
  std::lock_guard lock(mutex_);
  lastProgress_ = std::chrono::steady_clock::now();
}

bool BindingWatchdog::Fired() const {
  std::lock_guard lock(mutex_);
  return fired_;
}

void BindingWatchdog::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (fired_ || binding_ == nullptr) {
      wake_.wait(lock);
      continue;
    }
    const auto deadline = lastProgress_ + limit_;
    if (std::chrono::steady_clock::now() < deadline) {
      wake_.wait_until(lock, deadline);
      continue;
    }
    fired_ = true;
    // Our own reference keeps the binding alive should it stop meanwhile; the lock is
    // not held, as Abort may call back into the watch.
    IBinding* binding = binding_;
    binding->AddRef();
    lock.unlock();
    binding->Abort();
    binding->Release();
    lock.lock();
  }
}

}  // namespace vrk
