#pragma once

#include <QCoroTask>
#include <QObject>

#include <exception>
#include <memory>

/** Thrown at a cancellation point of a stopped run; told apart from every other error. */
class CancellationError : public std::exception
{
public:
    const char *what() const noexcept override { return "cancelled"; }
};

/**
 * One per run, shared by the run's tasks. cancel() never interrupts work under way:
 * it is seen at the next checkCancellation() or sleep().
 */
class CancellationToken : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    [[nodiscard]] bool isCancelled() const { return m_cancelled; }
    void cancel();

    /** Throws CancellationError when cancelled. */
    void checkCancellation() const;

Q_SIGNALS:
    void cancelled();

private:
    bool m_cancelled = false;
};

/**
 * Pauses for @p seconds (times the pause scale) on the event loop. Throws CancellationError when
 * @p token is cancelled before or during the pause, at once; a pause of 0 still checks.
 * With an @p owner, the pause belongs to it: once the owner is destroyed the caller is never resumed,
 * so a coroutine working on the owner cannot wake up on a dead object.
 */
QCoro::Task<> cancellableSleep(std::shared_ptr<CancellationToken> token, double seconds, QObject *owner = nullptr);

/** Test-only: every pause lasts @p factor times its length. 1 outside tests. */
void setPauseScaleForTesting(double factor);
