#pragma once

#include <string>

namespace velluma {

/// A seccomp filter (classic BPF, as bubblewrap's --seccomp reads it) that refuses a confined
/// page program the system calls no page needs and that widen an attack on the kernel or on
/// other processes: tracing and reading other processes, kernel modules and keyrings, BPF,
/// performance counters, userfaultfd, io_uring, mounts, namespaces, handles to files by
/// number. They fail with EPERM; everything else is allowed. Empty where the filter is not
/// written for the machine's architecture.
std::string pageSyscallFilter();

}  // namespace velluma
