// ScopeExit: runs an action when the scope it lives in is left, by return or by any exception,
// unless it was dismissed first. It catches nothing: an exception goes on unchanged after the
// action has run.
#pragma once

#include <utility>

template <class Action>
class ScopeExit {
 public:
  explicit ScopeExit(Action action) : m_action(std::move(action)) {}
  ~ScopeExit() {
    if (m_armed) {
      m_action();
    }
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

  // The scope ended as it should: the action is not needed.
  void dismiss() { m_armed = false; }

 private:
  Action m_action;
  bool m_armed = true;
};
