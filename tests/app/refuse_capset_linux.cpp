// Linux test tool: runs a command with the capset system call refused (EPERM) by a seccomp filter, so the
// programs' real capability drop fails as a hardened or broken system might make it fail.
//
//   refuse_capset PROGRAM [ARGS...]
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

#if defined(__x86_64__)
constexpr unsigned kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kAuditArch = AUDIT_ARCH_AARCH64;
#else
#error "refuse_capset knows the system call numbers of x86-64 and AArch64 only"
#endif

bool refuse_capset()
{
    sock_filter rules[] = {
        // A system call of another architecture's table is not judged by its number.
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_capset, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof rules / sizeof rules[0]), rules};
    // Without no_new_privs only a process holding CAP_SYS_ADMIN may install a filter; with it a root
    // program still starts with its full sets, which it already holds.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
    return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: refuse_capset PROGRAM [ARGS...]\n");
        return 2;
    }
    if (!refuse_capset()) {
        std::fprintf(stderr, "refuse_capset: cannot install the filter: %s\n", std::strerror(errno));
        return 2;
    }
    execv(argv[1], argv + 1);
    std::fprintf(stderr, "refuse_capset: cannot run %s: %s\n", argv[1], std::strerror(errno));
    return 127;
}
