#pragma once
#include <cstdint>
#include <vector>

#include "text/WStrUtils.h"

// Base of every control and of the desktop object: an owner frees what it owns.
class TComponent {
public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
  TComponent* FindComponent(const WideString& name) const;

  // Gives up ownership: the component is no longer freed with this one.
  void Disown(TComponent* component) { RemoveComponent(component); }

  const WideString& Name() const { return FName; }
  void SetName(const WideString& name);

protected:
  // An owner-less component can be taken over; used when ownership changes hands.
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

private:
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;  // insertion order
  WideString FName;
};

class EComponentError : public Exception {
public:
  using Exception::Exception;
};

bool IsValidIdent(const WideString& name);
