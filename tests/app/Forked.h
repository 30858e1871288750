#pragma once
// Runs a piece of a test in a forked child process: as an ordinary user where file
// permissions matter (root ignores them), under resource limits, or where the child may
// die. The child reports in text ("" when all was well) through a pipe.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

namespace kx::test {

struct Account {
    uid_t uid;
    gid_t gid;
};

// An account without root's powers: this process's own, or `nobody`'s when this runs as
// root; nullopt when there is none.
inline std::optional<Account> OrdinaryAccount() {
    if (::geteuid() != 0) return Account{::geteuid(), ::getegid()};
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) return std::nullopt;
    return Account{nobody->pw_uid, nobody->pw_gid};
}

struct ChildEnd {
    int status = -1;     // as waitpid gives it
    std::string report;  // what the body returned, "" when it found nothing wrong
    bool Clean() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// The body runs in a child as `account` (when given) and must end within `seconds`
// (SIGALRM ends it otherwise).
inline ChildEnd RunForked(const std::function<std::string()>& body, std::optional<Account> account = std::nullopt,
                          unsigned seconds = 30) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return {-1, "pipe failed"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(report[0]);
        ::alarm(seconds);
        std::string text;
        if (account && (::setgroups(0, nullptr) != 0 || ::setgid(account->gid) != 0 || ::setuid(account->uid) != 0))
            text = "could not change user";
        if (text.empty()) text = body();
        (void)!::write(report[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(report[1]);
    ChildEnd end;
    char buffer[4096];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;) end.report.append(buffer, static_cast<std::size_t>(n));
    ::close(report[0]);
    if (pid > 0) ::waitpid(pid, &end.status, 0);
    return end;
}

}  // namespace kx::test
