#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

/**
 * The observable record of one run. Every setter stores the new value and emits the property's
 * change signal only when the value really differs: texts under canonical equivalence, a NaN
 * progress always differs, an absent date, URL or message differs only from a present one.
 */
class ScrapeProgress : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ScrapePhase phase READ phase WRITE setPhase NOTIFY phaseChanged)
    Q_PROPERTY(QString statusText READ statusText WRITE setStatusText NOTIFY statusTextChanged)
    Q_PROPERTY(double progressValue READ progressValue WRITE setProgressValue NOTIFY progressValueChanged)
    Q_PROPERTY(qint64 recordCount READ recordCount WRITE setRecordCount NOTIFY recordCountChanged)
    Q_PROPERTY(QString pageInfo READ pageInfo WRITE setPageInfo NOTIFY pageInfoChanged)
    /** Invalid while absent. */
    Q_PROPERTY(QDateTime startTime READ startTime WRITE setStartTime NOTIFY startTimeChanged)
    Q_PROPERTY(qint64 elapsedSeconds READ elapsedSeconds WRITE setElapsedSeconds NOTIFY elapsedSecondsChanged)
    /** Empty while absent. */
    Q_PROPERTY(QUrl outputFile READ outputFile WRITE setOutputFile NOTIFY outputFileChanged)
    /** The message, or an empty text while absent; hasErrorMessage tells the two apart. */
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)
    Q_PROPERTY(bool hasErrorMessage READ hasErrorMessage NOTIFY errorMessageChanged)

public:
    /** The step a run is in, in the order a run passes through them. */
    enum class ScrapePhase {
        idle,
        launching,
        loggingIn,
        selectingApelacja,
        navigating,
        filtering,
        scraping,
        saving,
        done,
        error,
        stopped,
    };
    Q_ENUM(ScrapePhase)

    explicit ScrapeProgress(QObject *parent = nullptr);

    [[nodiscard]] ScrapePhase phase() const { return m_phase; }
    void setPhase(ScrapePhase phase);

    [[nodiscard]] QString statusText() const { return m_statusText; }
    void setStatusText(const QString &text);

    [[nodiscard]] double progressValue() const { return m_progressValue; }
    void setProgressValue(double value);

    [[nodiscard]] qint64 recordCount() const { return m_recordCount; }
    void setRecordCount(qint64 count);

    [[nodiscard]] QString pageInfo() const { return m_pageInfo; }
    void setPageInfo(const QString &text);

    [[nodiscard]] QDateTime startTime() const { return m_startTime; }
    void setStartTime(const QDateTime &time);

    [[nodiscard]] qint64 elapsedSeconds() const { return m_elapsedSeconds; }
    void setElapsedSeconds(qint64 seconds);

    [[nodiscard]] QUrl outputFile() const { return m_outputFile; }
    void setOutputFile(const QUrl &file);

    [[nodiscard]] std::optional<QString> errorMessage() const { return m_errorMessage; }
    [[nodiscard]] QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    [[nodiscard]] bool hasErrorMessage() const { return m_errorMessage.has_value(); }
    void setErrorMessage(const std::optional<QString> &message);

Q_SIGNALS:
    void phaseChanged();
    void statusTextChanged();
    void progressValueChanged();
    void recordCountChanged();
    void pageInfoChanged();
    void startTimeChanged();
    void elapsedSecondsChanged();
    void outputFileChanged();
    void errorMessageChanged();

private:
    ScrapePhase m_phase = ScrapePhase::idle;
    QString m_statusText;
    double m_progressValue = 0.0;
    qint64 m_recordCount = 0;
    QString m_pageInfo = QStringLiteral("\u2014");
    QDateTime m_startTime;
    qint64 m_elapsedSeconds = 0;
    QUrl m_outputFile;
    std::optional<QString> m_errorMessage;
};

using ScrapePhase = ScrapeProgress::ScrapePhase;
