#include "cancellation.h"

#include <QCoroTimer>
#include <QTimer>

#include <cmath>

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

QCoro::Task<> cancellableSleep(std::shared_ptr<CancellationToken> token, double seconds)
{
    token->checkCancellation();
    const double milliseconds = seconds * 1000.0 * s_pauseScale;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    // A cancel fires the timer at once; the check after the wait tells the two apart.
    const auto connection = QObject::connect(token.get(), &CancellationToken::cancelled, &timer,
                                             [&timer] { timer.start(0); });
    timer.start(std::isfinite(milliseconds) && milliseconds > 0
                    ? static_cast<int>(std::min(milliseconds, 2.0e9))
                    : 0);
    co_await timer;
    QObject::disconnect(connection);
    token->checkCancellation();
}

void setPauseScaleForTesting(double factor)
{
    s_pauseScale = factor;
}

double pauseScale()
{
    return s_pauseScale;
}
