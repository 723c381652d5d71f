#include "framework/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/events.h"
#include "framework/exceptions.h"

namespace vrk {
namespace {

// Records its own destruction in a shared log.
class Logged : public TComponent {
 public:
  Logged(TComponent* owner, std::string label, std::vector<std::string>& log)
      : TComponent(owner), label_(std::move(label)), log_(log) {}
  ~Logged() override { log_.push_back(label_); }

 private:
  std::string label_;
  std::vector<std::string>& log_;
};

TEST(ComponentTest, OwnerFreesItsComponentsOnceLastFirst) {
  std::vector<std::string> log;
  auto* owner = new Logged(nullptr, "owner", log);
  auto* a = new Logged(owner, "a", log);
  new Logged(owner, "b", log);
  new Logged(a, "a.child", log);
  a->SetName("Edit1");

  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(0), a);
  EXPECT_EQ(a->Owner(), owner);
  EXPECT_EQ(owner->FindComponent("edit1"), a);
  EXPECT_EQ(owner->FindComponent("Edit2"), nullptr);
  EXPECT_THROW(owner->Components(2), EListError);

  delete owner;
  EXPECT_EQ(log, (std::vector<std::string>{"owner", "b", "a", "a.child"}));
}

TEST(ComponentTest, ComponentFreedFirstLeavesItsOwner) {
  std::vector<std::string> log;
  {
    TComponent owner;
    auto* a = new Logged(&owner, "a", log);
    new Logged(&owner, "b", log);
    delete a;
    EXPECT_EQ(owner.ComponentCount(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"a"}));
  }
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
}

// A component that frees a sibling from its destructor, as a form's part might.
class FreesSibling : public TComponent {
 public:
  FreesSibling(TComponent* owner, TComponent* sibling) : TComponent(owner), sibling_(sibling) {}
  ~FreesSibling() override { delete sibling_; }

 private:
  TComponent* sibling_;
};

TEST(ComponentTest, SiblingFreedDuringOwnerDestructionIsFreedOnce) {
  std::vector<std::string> log;
  {
    TComponent owner;
    auto* sibling = new Logged(&owner, "sibling", log);
    new FreesSibling(&owner, sibling);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"sibling"}));
}

TEST(ComponentTest, InsertingMovesAComponentBetweenOwners) {
  TComponent first;
  TComponent second;
  auto* part = new TComponent(&first);
  second.InsertComponent(part);
  EXPECT_EQ(first.ComponentCount(), 0);
  EXPECT_EQ(second.ComponentCount(), 1);
  EXPECT_EQ(part->Owner(), &second);
  second.RemoveComponent(part);
  EXPECT_EQ(part->Owner(), nullptr);
  delete part;
  EXPECT_EQ(second.ComponentCount(), 0);
}

class Listener : public TObject {
 public:
  TObject* lastSender = nullptr;
  int calls = 0;
  void Notified(TObject* sender) {
    lastSender = sender;
    ++calls;
  }
  void Handle(bool& handled) { handled = true; }
};

TEST(EventTest, UnboundEventsAreNotCalled) {
  TNotifyEvent event;
  EXPECT_FALSE(event.Assigned());
  event(nullptr);  // no handler, nothing happens
  TEvent<void(bool& Handled)> handler;
  bool handled = false;
  handler(handled);
  EXPECT_FALSE(handled);
}

TEST(EventTest, BoundMethodsReceiveTheirArguments) {
  Listener listener;
  TComponent sender;
  TNotifyEvent event = Bind(&listener, &Listener::Notified);
  EXPECT_TRUE(event.Assigned());
  event(&sender);
  EXPECT_EQ(listener.calls, 1);
  EXPECT_EQ(listener.lastSender, &sender);

  event = nullptr;
  event(&sender);
  EXPECT_EQ(listener.calls, 1);

  TEvent<void(bool& Handled)> handler = Bind(&listener, &Listener::Handle);
  bool handled = false;
  handler(handled);
  EXPECT_TRUE(handled);

  int lambdaCalls = 0;
  TNotifyEvent lambda = [&](TObject*) { ++lambdaCalls; };
  lambda(nullptr);
  EXPECT_EQ(lambdaCalls, 1);
}

}  // namespace
}  // namespace vrk
