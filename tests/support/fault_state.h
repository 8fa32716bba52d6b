#pragma once
// Which calls of a test's file system fail, and how: the in-memory file system runs each of its
// operations, and of the files it opens, through one of these.

#include <cstddef>
#include <functional>
#include <new>
#include <set>
#include <string>

#include "setup/platform/status.h"

namespace setup::testing {

// The failures planned, shared with opened files, which may outlive the file system.
struct FaultState {
  std::size_t calls = 0, fail_at = 0, times = 0;
  StatusCode code = StatusCode::kOk;
  bool after = false, throws = false;
  std::function<bool(const std::string&)> when;
  std::string failed;         // the last call failed
  std::set<std::string> all;  // every call failed

  // Runs `op` as the call named `call` ("operation path..."), failing it where planned.
  template <class Op>
  Status Run(const std::string& call, Op&& op) {
    if (Status s = Check(call, false); !s.ok()) return s;
    Status s = op();
    return s.ok() ? Check(call, true) : s;
  }
  Status Check(const std::string& call, bool after_effect) {
    if (!after_effect) ++calls;
    if (!(when ? !after_effect && times > 0 && when(call)
               : calls == fail_at && after_effect == after))
      return {};
    if (when) --times;
    all.insert(failed = call);
    if (throws) throw std::bad_alloc();
    return Status::Error(code, "injected: " + call);
  }
};

}  // namespace setup::testing
