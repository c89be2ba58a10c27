#include "platform_gui/posix/PageSyscallFilter.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <vector>

namespace velluma {

std::string pageSyscallFilter() {
#if defined(__x86_64__)
    const std::vector<unsigned> refused = {
        SYS_ptrace,
        SYS_process_vm_readv,
        SYS_process_vm_writev,
        SYS_kexec_load,
        SYS_kexec_file_load,
        SYS_init_module,
        SYS_finit_module,
        SYS_delete_module,
        SYS_bpf,
        SYS_perf_event_open,
        SYS_userfaultfd,
        SYS_keyctl,
        SYS_add_key,
        SYS_request_key,
        SYS_mount,
        SYS_umount2,
        SYS_pivot_root,
        SYS_unshare,
        SYS_setns,
        SYS_io_uring_setup,
        SYS_io_uring_enter,
        SYS_io_uring_register,
        SYS_open_by_handle_at,
        SYS_name_to_handle_at,
        SYS_swapon,
        SYS_swapoff,
        SYS_reboot,
        SYS_acct,
        SYS_syslog,
        SYS_quotactl,
        SYS_iopl,
        SYS_ioperm,
    };
    constexpr unsigned kX32 = 0x40000000;  // the x32 calls, an ABI of their own
    std::vector<sock_filter> program = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),  // another ABI: no way around
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, kX32, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
    };
    for (unsigned call : refused) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, call, 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    return std::string(reinterpret_cast<const char*>(program.data()),
                       program.size() * sizeof(sock_filter));
#else
    return {};
#endif
}

}  // namespace velluma
