// Plays the other local user at a socket name: listens at PATH and either
// answers every start "OK" like an owner would, writing what it was sent
// to RECORD ("answer"), or never takes a connection at all ("silent").
// Prints "listening" once it does; ends when its standard input closes
// (the test that started it is gone) or after two minutes at the latest.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int listening(const char *path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path)
        return -1;
    std::strcpy(address.sun_path, path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0)
        return -1;
    ::chmod(path, 0777); // anyone may connect, as a squatter would allow
    return fd;
}

// Reads one start's message (up to its empty line, bounded), records it
// and answers "OK".
void answer(int client, const char *record)
{
    std::string message;
    char chunk[4096];
    while (message.size() < (1u << 20) && message.find("\n\n") == std::string::npos && message != "\n") {
        pollfd p {client, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            break;
        const ssize_t n = ::read(client, chunk, sizeof chunk);
        if (n <= 0)
            break;
        message.append(chunk, size_t(n));
    }
    if (FILE *f = std::fopen(record, "a")) {
        std::fwrite(message.data(), 1, message.size(), f);
        std::fclose(f);
    }
    (void)!::write(client, "OK\n", 3);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: socketsquatter PATH answer|silent RECORD\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    const bool answering = std::strcmp(argv[2], "answer") == 0;
    const int server = listening(argv[1]);
    if (server < 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    const std::time_t end = std::time(nullptr) + 120;
    while (std::time(nullptr) < end) {
        pollfd watch[2] = {{STDIN_FILENO, POLLIN, 0}, {server, short(answering ? POLLIN : 0), 0}};
        if (::poll(watch, 2, 1000) < 0 && errno != EINTR)
            break;
        if (watch[0].revents & (POLLIN | POLLHUP)) {
            char c;
            if (::read(STDIN_FILENO, &c, 1) <= 0)
                break;
        }
        if (watch[1].revents & POLLIN) {
            const int client = ::accept(server, nullptr, nullptr);
            if (client >= 0) {
                answer(client, argv[3]);
                ::close(client);
            }
        }
    }
    ::unlink(argv[1]);
    return 0;
}
