#include "scrapeprogress.h"

#include "portal/unicodetext.h"

ScrapeProgress::ScrapeProgress(QObject *parent)
    : QObject(parent)
{
}

void ScrapeProgress::setPhase(ScrapePhase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged();
}

void ScrapeProgress::setStatusText(const QString &text)
{
    const bool same = UnicodeText::canonicallyEqual(m_statusText, text);
    // An equal text is still stored: the latest spelling is the one shown.
    m_statusText = text;
    if (!same)
        Q_EMIT statusTextChanged();
}

void ScrapeProgress::setProgressValue(double value)
{
    // Floating-point equality: 0.0 equals -0.0, and a NaN never equals anything.
    const bool same = m_progressValue == value;
    m_progressValue = value;
    if (!same)
        Q_EMIT progressValueChanged();
}

void ScrapeProgress::setRecordCount(qint64 count)
{
    if (m_recordCount == count)
        return;
    m_recordCount = count;
    Q_EMIT recordCountChanged();
}

void ScrapeProgress::setPageInfo(const QString &text)
{
    const bool same = UnicodeText::canonicallyEqual(m_pageInfo, text);
    m_pageInfo = text;
    if (!same)
        Q_EMIT pageInfoChanged();
}

void ScrapeProgress::setStartTime(const QDateTime &time)
{
    // Two absent times are equal; an absent one never equals a present one.
    const bool same = m_startTime.isValid() == time.isValid() && (!time.isValid() || m_startTime == time);
    m_startTime = time;
    if (!same)
        Q_EMIT startTimeChanged();
}

void ScrapeProgress::setElapsedSeconds(qint64 seconds)
{
    if (m_elapsedSeconds == seconds)
        return;
    m_elapsedSeconds = seconds;
    Q_EMIT elapsedSecondsChanged();
}

void ScrapeProgress::setOutputFile(const QUrl &file)
{
    const bool same = m_outputFile.isEmpty() == file.isEmpty() && m_outputFile == file;
    m_outputFile = file;
    if (!same)
        Q_EMIT outputFileChanged();
}

void ScrapeProgress::setErrorMessage(const std::optional<QString> &message)
{
    const bool same = m_errorMessage.has_value() == message.has_value()
        && (!message || UnicodeText::canonicallyEqual(*m_errorMessage, *message));
    m_errorMessage = message;
    if (!same)
        Q_EMIT errorMessageChanged();
}
