#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace pellix::test {

// Runs `body` in a forked copy of the test process whose files may grow to at most `limit`
// bytes, with SIGXFSZ ignored, so a write past the limit fails with EFBIG the way a full disk
// fails it, and returns what `body` returned. The limit never touches the test process itself.
// Empty when the copy did not end normally.
inline std::optional<QByteArray> runWithFileSizeLimit(rlim_t limit,
                                                      const std::function<QByteArray()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit size{};
        ::getrlimit(RLIMIT_FSIZE, &size);
        size.rlim_cur = limit;
        int status = ::setrlimit(RLIMIT_FSIZE, &size) == 0 ? 0 : 2;
        if (status == 0) {
            const QByteArray out = body();
            for (qsizetype done = 0; done < out.size();) {
                const ssize_t n = ::write(channel[1], out.constData() + done,
                                          static_cast<size_t>(out.size() - done));
                if (n <= 0) {
                    status = 3;
                    break;
                }
                done += n;
            }
        }
        ::_exit(status);  // no exit handlers: they belong to the test process
    }
    ::close(channel[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        out.append(buffer, n);
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return out;
}

}  // namespace pellix::test
