#pragma once

#include "platform/db/AccessStream.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <sys/types.h>

// Access files are read by a program of ours (vellumcraft-mdbreader) in a process of
// its own, since libmdb can spend gigabytes or loop for ever on a damaged file: what
// a read may cost is capped here, and past a cap the process is killed.
struct AccessReaderLimits
{
    qint64 memoryBytes = qint64(1) << 30; // address space of the reader
    int seconds = 60; // wall-clock time of one read (catalogue or table)
    qint64 outputBytes = qint64(4) << 30; // all that one read may write
};

// The limits every read uses; tests lower them.
AccessReaderLimits AccessReaderLimitsInUse();
void SetAccessReaderLimits(const AccessReaderLimits& limits);
// The reader program: the one set here when not empty (tests), else the one beside
// the running executable, else the one in the build tree.
QString AccessReaderProgram();
void SetAccessReaderProgram(const QString& path);

// One run of the reader at a time; Interrupt may come from any thread.
class AccessReaderProcess
{
public:
    enum class Outcome
    {
        Done, // the stream ended with its end frame
        NotStarted, // the program could not be started
        TimedOut,
        TooMuchOutput,
        BadOutput, // a frame no reader writes, or the handler refused one
        Ended, // the process ended (crashed, or was killed by a limit) before the end frame
        Interrupted,
    };
    // Takes each frame; false stops the read as BadOutput.
    using FrameHandler = std::function<bool(const AccessStreamDecoder::Frame&)>;

    Outcome Run(const QStringList& arguments, const QByteArray& input, const FrameHandler& handler);
    // Kills the running reader, if any; its Run returns Interrupted.
    void Interrupt();

private:
    std::mutex m_mutex; // held while the pid is killed or given up
    pid_t m_pid = 0;
    std::atomic<bool> m_interrupted {false};
};
