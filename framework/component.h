// The component base: a named object with an owner that destroys it, a loading/destroying state,
// and notification of peers when a component goes away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace framework {

enum ComponentStateFlag : uint32_t {
  csLoading = 1u << 0,     // being read from a form file; Loaded() clears it
  csReading = 1u << 1,     // its properties are being read
  csWriting = 1u << 2,
  csDestroying = 1u << 3,  // the destructor has started
  csDesigning = 1u << 4,
};

enum class TOperation { opInsert, opRemove };

class TComponent {
 public:
  // Creates a component owned by `owner` (which then destroys it), or unowned when null.
  explicit TComponent(TComponent* owner);
  // Destroys the owned components, then tells the owner and every component that asked for
  // free notification that this one is going.
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // Class name as written in form files.
  virtual std::string ClassName() const { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // Raises EComponentError for a name that is not an identifier or is taken by a sibling.
  void SetName(const std::string& name);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }
  // The owned component of that name (case-insensitive), or null.
  TComponent* FindComponent(const std::string& name) const;

  uint32_t ComponentState() const { return state_; }
  bool HasState(ComponentStateFlag flag) const { return (state_ & flag) != 0; }
  void SetComponentState(uint32_t flags) { state_ |= flags; }
  void ClearComponentState(uint32_t flags) { state_ &= ~flags; }

  // Called after the component's properties were read from a form file; clears csLoading.
  virtual void Loaded();

  // Asks `component` to be notified (through Notification with opRemove) when this one is
  // destroyed, and the other way round.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Adopts `component` as an owned child (removing it from its former owner).
  void InsertComponent(TComponent* component);
  // Gives up ownership of `component` without destroying it.
  void RemoveComponent(TComponent* component);

 protected:
  // Told about components inserted into or removed from this one's owner tree and about peers
  // registered with FreeNotification. Overrides drop their references to a removed component
  // and call the base, which passes the notice on to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  TComponent* owner_ = nullptr;
  std::string name_;
  uint32_t state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
};

}  // namespace framework
