#include "cancellation.h"

#include <QCoroTimer>
#include <QPointer>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {
double s_pauseScale = 1.0;
}

void CancellationToken::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    Q_EMIT cancelled();
}

void CancellationToken::checkCancellation() const
{
    if (m_cancelled)
        throw CancellationError();
}

QCoro::Task<> cancellableSleep(std::shared_ptr<CancellationToken> token, double seconds, QObject *owner)
{
    token->checkCancellation();
    const double milliseconds = seconds * 1000.0 * s_pauseScale;
    // An owned timer dies with its owner, and the awaiter then never resumes.
    QPointer<QTimer> timer = new QTimer(owner);
    std::unique_ptr<QTimer> unowned(owner ? nullptr : timer.data());
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    // A cancel fires the timer at once; the check after the wait tells the two apart.
    QTimer *const target = timer.data();
    QObject::connect(token.get(), &CancellationToken::cancelled, target, [target] { target->start(0); });
    timer->start(std::isfinite(milliseconds) && milliseconds > 0
                     ? static_cast<int>(std::min(milliseconds, 2.0e9))
                     : 0);
    co_await *target;
    if (owner && timer)
        timer->deleteLater();
    token->checkCancellation();
}

void setPauseScaleForTesting(double factor)
{
    s_pauseScale = factor;
}
