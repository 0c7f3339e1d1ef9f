// Holds back the change notices of a list or grid (anything with BeginUpdate and EndUpdate) while
// it lives, also when an error ends the work early, so that a view redraws once at the end.
#pragma once

namespace framework {

template <class T>
class UpdateGuard {
 public:
  explicit UpdateGuard(T& target) : target_(target) { target_.BeginUpdate(); }
  ~UpdateGuard() { target_.EndUpdate(); }
  UpdateGuard(const UpdateGuard&) = delete;
  UpdateGuard& operator=(const UpdateGuard&) = delete;

 private:
  T& target_;
};

}  // namespace framework
