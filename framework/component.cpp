#include "framework/component.h"

#include <algorithm>
#include <string>

#include "base/ascii.h"
#include "framework/exceptions.h"

namespace vrk {

namespace {

bool SameNameIgnoringCase(const Text& a, const Text& b) noexcept {
  return ascii::EqualIgnoringCase(a.View(), b.View());
}

}  // namespace

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) {
    throw EListError(FormatText("List index out of bounds (%s)", {Text(std::to_string(index))}));
  }
  return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(const Text& name) const {
  if (name.IsEmpty()) return nullptr;
  for (TComponent* component : components_) {
    if (SameNameIgnoringCase(component->name_, name)) return component;
  }
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component == nullptr || component == this || component->owner_ == this) return;
  components_.reserve(components_.size() + 1);  // fail before the component leaves its owner
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* component) noexcept {
  if (component == nullptr || component->owner_ != this) return;
  auto found = std::find(components_.rbegin(), components_.rend(), component);
  if (found != components_.rend()) components_.erase(std::next(found).base());
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() noexcept {
  // Detach each one before deleting it: its destructor may free siblings, which
  // must then find the list already without it.
  while (!components_.empty()) {
    TComponent* component = components_.back();
    components_.pop_back();
    component->owner_ = nullptr;
    delete component;
  }
}

}  // namespace vrk
