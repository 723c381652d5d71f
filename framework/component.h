// The object roots and components. A component may have an owner; the owner frees
// the components it owns when it is freed itself, the last one added first.
#pragma once

#include <vector>

#include "framework/text.h"

namespace vrk {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;
};

// Objects with properties that forms store and load.
class TPersistent : public TObject {};

class TComponent : public TPersistent {
 public:
  // An owned component must live on the heap: its owner deletes it.
  explicit TComponent(TComponent* owner = nullptr);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  ~TComponent() override;

  TComponent* Owner() const noexcept { return owner_; }
  int ComponentCount() const noexcept { return static_cast<int>(components_.size()); }
  // Raises EListError for an index outside 0..ComponentCount()-1.
  TComponent* Components(int index) const;
  // The first owned component of that name (ASCII case ignored), or nullptr.
  TComponent* FindComponent(const Text& name) const;

  const Text& Name() const noexcept { return name_; }
  void SetName(const Text& name) { name_ = name; }

  // Takes over `component`, first leaving its current owner.
  void InsertComponent(TComponent* component);
  // Gives `component` up without freeing it; it then has no owner.
  void RemoveComponent(TComponent* component) noexcept;
  // Frees all owned components now, the last one added first. A derived class may
  // call it in its destructor when its components must go before its own members.
  void DestroyComponents() noexcept;

 private:
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  Text name_;
};

}  // namespace vrk
