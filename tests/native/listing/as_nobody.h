#pragma once
// Runs a piece of a test where file permissions bind: in a forked child that
// drops root privileges to the unprivileged "nobody" user first (CI runs as
// root). The child's answer comes back as text.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace tf::testing {

inline std::string RunAsNobody(const std::function<std::string()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string answer;
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            answer = "cannot drop privileges";
        else
            answer = work();
        const ssize_t ignored = write(fds[1], answer.data(), answer.size());
        (void)ignored;
        _exit(0);
    }
    close(fds[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return answer;
}

}  // namespace tf::testing
