#include "common/limitedrun.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::optional<bool> LimitedRun::run(const std::function<bool()> &work, Limits limits)
{
    const pid_t pid = fork();
    if (pid == 0) {
        constexpr uid_t nobody = 65534;
        if (limits.permissionsBind && geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0))
            _exit(2);
        if (limits.sizeLimit > 0) {
            // A write past the limit fails (EFBIG) instead of ending the process.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(limits.sizeLimit), rlim_t(limits.sizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
