#include "platform/db/AccessReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#if __has_include("MdbReaderPath.h")
#include "MdbReaderPath.h"
#endif

namespace {

std::mutex g_accessReaderMutex;
AccessReaderLimits g_accessReaderLimits;
QString g_accessReaderProgram;

// A descriptor closed when it goes.
struct AccessFd
{
    int fd = -1;
    ~AccessFd() { Close(); }
    void Close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void ExecAccessReader(
    int input, int output, int errors, const char* program, char* const* argv, const rlimit* limits)
{
    if (::dup2(input, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(errors, 2) < 0)
        ::_exit(127);
    // Nothing else of the program's is passed on.
    ::close_range(3, ~0U, 0);
    ::setrlimit(RLIMIT_AS, &limits[0]);
    ::setrlimit(RLIMIT_CPU, &limits[1]);
    ::setrlimit(RLIMIT_FSIZE, &limits[2]);
    ::setrlimit(RLIMIT_CORE, &limits[2]);
    // The reader goes when the program does.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(program, argv);
    ::_exit(127);
}

} // namespace

AccessReaderLimits AccessReaderLimitsInUse()
{
    std::lock_guard lock(g_accessReaderMutex);
    return g_accessReaderLimits;
}

void SetAccessReaderLimits(const AccessReaderLimits& limits)
{
    std::lock_guard lock(g_accessReaderMutex);
    g_accessReaderLimits = limits;
}

QString AccessReaderProgram()
{
    {
        std::lock_guard lock(g_accessReaderMutex);
        if (!g_accessReaderProgram.isEmpty())
            return g_accessReaderProgram;
    }
    const QString name = QStringLiteral("vellumcraft-mdbreader");
    if (QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
        if (QFileInfo(beside).isExecutable())
            return beside;
    }
#ifdef VC_MDBREADER_PATH
    // Tests run from their own folder of the build tree.
    return QStringLiteral(VC_MDBREADER_PATH);
#else
    return name;
#endif
}

void SetAccessReaderProgram(const QString& path)
{
    std::lock_guard lock(g_accessReaderMutex);
    g_accessReaderProgram = path;
}

AccessReaderProcess::Outcome AccessReaderProcess::Run(
    const QStringList& arguments, const QByteArray& input, const FrameHandler& handler)
{
    using Clock = std::chrono::steady_clock;
    const AccessReaderLimits limits = AccessReaderLimitsInUse();
    const QByteArray program = QFile::encodeName(AccessReaderProgram());
    if (!QFileInfo(QFile::decodeName(program)).isExecutable())
        return Outcome::NotStarted;

    // Everything the child needs is made before it is forked.
    std::vector<QByteArray> argumentBytes {program};
    for (const QString& argument : arguments)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& bytes : argumentBytes)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);
    const auto limit = [](qint64 value) {
        const rlim_t v = value > 0 ? static_cast<rlim_t>(value) : RLIM_INFINITY;
        return rlimit {v, v};
    };
    const rlimit rlimits[3] = {limit(limits.memoryBytes), {rlim_t(limits.seconds + 1), rlim_t(limits.seconds + 2)},
        {0, 0}};

    int inputPipe[2];
    int outputPipe[2];
    if (::pipe2(inputPipe, O_CLOEXEC) != 0)
        return Outcome::NotStarted;
    AccessFd inputRead {inputPipe[0]};
    AccessFd inputWrite {inputPipe[1]};
    if (::pipe2(outputPipe, O_CLOEXEC) != 0)
        return Outcome::NotStarted;
    AccessFd outputRead {outputPipe[0]};
    AccessFd outputWrite {outputPipe[1]};
    // Its error output (libmdb's warnings, gigabytes of them on some damaged files)
    // comes through a pipe of its own and is dropped: with no file size allowed, even a
    // write to /dev/null would end the reader.
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return Outcome::NotStarted;
    AccessFd errorRead {errorPipe[0]};
    AccessFd errorWrite {errorPipe[1]};
    // The input (a password) is far smaller than a pipe holds.
    if (input.size() > 4096 || ::write(inputWrite.fd, input.constData(), static_cast<size_t>(input.size())) != input.size())
        return Outcome::NotStarted;
    inputWrite.Close();

    m_interrupted = false;
    pid_t pid = 0;
    {
        std::lock_guard lock(m_mutex);
        pid = ::fork();
        if (pid == 0)
            ExecAccessReader(inputRead.fd, outputWrite.fd, errorWrite.fd, program.constData(), argv.data(), rlimits);
        if (pid < 0)
            return Outcome::NotStarted;
        m_pid = pid;
    }
    inputRead.Close();
    outputWrite.Close();
    errorWrite.Close();

    Outcome outcome = Outcome::Ended;
    AccessStreamDecoder decoder;
    qint64 total = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limits.seconds);
    std::vector<char> chunk(65536);
    for (bool reading = true; reading;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            outcome = Outcome::TimedOut;
            break;
        }
        pollfd waiting[2] = {{outputRead.fd, POLLIN, 0}, {errorRead.fd, POLLIN, 0}};
        const int ready = ::poll(waiting, errorRead.fd >= 0 ? 2 : 1, static_cast<int>(std::min<qint64>(left, 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (waiting[1].revents) {
            if (::read(errorRead.fd, chunk.data(), chunk.size()) <= 0)
                errorRead.Close();
        }
        if (!waiting[0].revents)
            continue;
        const ssize_t n = ::read(outputRead.fd, chunk.data(), chunk.size());
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // ended before its end frame
        total += n;
        if (limits.outputBytes > 0 && total > limits.outputBytes) {
            outcome = Outcome::TooMuchOutput;
            break;
        }
        decoder.Feed(chunk.data(), static_cast<size_t>(n));
        AccessStreamDecoder::Frame frame;
        for (;;) {
            const AccessStreamDecoder::Status status = decoder.Next(frame);
            if (status == AccessStreamDecoder::Status::NeedMore)
                break;
            if (status == AccessStreamDecoder::Status::Bad || !handler(frame)) {
                outcome = Outcome::BadOutput;
                reading = false;
                break;
            }
            if (frame.kind == AccessStreamKind::End) {
                // Anything after the end is not read.
                outcome = Outcome::Done;
                reading = false;
                break;
            }
        }
    }

    // Killed in every case: after its end frame the reader has nothing left to do, and
    // a killed process can be waited for without a limit of its own.
    {
        std::lock_guard lock(m_mutex);
        ::kill(pid, SIGKILL);
        m_pid = 0;
    }
    outputRead.Close();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (m_interrupted && outcome != Outcome::Done)
        return Outcome::Interrupted;
    return outcome;
}

void AccessReaderProcess::Interrupt()
{
    std::lock_guard lock(m_mutex);
    m_interrupted = true;
    // The pid is given up under the same lock before the reader is waited for, so it
    // can never name another process here.
    if (m_pid > 0)
        ::kill(m_pid, SIGKILL);
}
