#include "ui/Components.h"

#include <algorithm>

namespace {
WideChar UpperAscii(WideChar c) { return (c >= u'a' && c <= u'z') ? WideChar(c - 32) : c; }

bool SameTextAscii(const WideString& a, const WideString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

bool IsAlpha(WideChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; }
bool IsDigit(WideChar c) { return c >= u'0' && c <= u'9'; }
}  // namespace

bool IsValidIdent(const WideString& name) {
  if (name.empty() || !IsAlpha(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(), [](WideChar c) { return IsAlpha(c) || IsDigit(c); });
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

// Owned components go first, last inserted first, so that later components
// (which may refer to earlier ones) never outlive what they lean on.
TComponent::~TComponent() {
  while (!FComponents.empty()) {
    TComponent* last = FComponents.back();
    FComponents.pop_back();
    last->FOwner = nullptr;
    delete last;
  }
  if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const WideString& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameTextAscii(c->FName, name)) return c;
  return nullptr;
}

void TComponent::SetName(const WideString& name) {
  if (name == FName) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError(WideFormat(u"''%s'' is not a valid component name", {name}));
  if (FOwner && !name.empty()) {
    TComponent* other = FOwner->FindComponent(name);
    if (other && other != this)
      throw EComponentError(WideFormat(u"A component named %s already exists", {name}));
  }
  FName = name;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component->FName.empty() && FindComponent(component->FName))
    throw EComponentError(WideFormat(u"A component named %s already exists", {component->FName}));
  component->FOwner = this;
  FComponents.push_back(component);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it != FComponents.end()) FComponents.erase(it);
  component->FOwner = nullptr;
}
