#pragma once

#include "portal/localizederror.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

/** The portal did not answer a step within the wait for it. */
class NoAnswerError : public LocalizedError
{
public:
    /** "Portal nie odpowiada na wyszukiwanie." */
    [[nodiscard]] QString errorDescription() const override;
};

/** Where the page's own request count stood when a step acted on the page. */
struct RequestMark
{
    /** The document the mark was taken in; empty where the page had no counter. */
    QString document;
    /** How many requests that document had begun by then. */
    qint64 started = 0;
    /** Its requests open then, by method and address (long polls, notifications): never waited for. */
    QStringList openRequests;

    /** The mark a marked action script hands back; an empty one where the page had no counter. */
    [[nodiscard]] static RequestMark fromScriptValue(const QVariant &value);
};

/** What the page's counter says of the requests begun after a mark. */
struct RequestActivity
{
    qint64 began = 0;
    qint64 open = 0;
    /** Milliseconds since the page's last request ended, by the page's clock. */
    qint64 quietMilliseconds = 0;
    /** The page shows another document than the marked one: these are all of its requests. */
    bool otherDocument = false;

    /** A reading of the request status script; none for a page without the counter. */
    [[nodiscard]] static std::optional<RequestActivity> fromScriptValue(const QVariant &value);
};

/**
 * Tells, reading by reading, whether the portal has answered a step. The first reading comes after the
 * step's own pause. Answered: every request begun after the action has ended (at least one began), and
 * either the last one ended a while ago or one settling read found nothing new; or no request began at
 * all, which makes the pause the answer. A page whose requests cannot be read (no counter, still
 * loading) has not answered; a document met for the first time, which may not have sent its requests
 * yet, is read once more before its silence counts.
 */
class AnswerWait
{
public:
    enum class Verdict { answered, settle, wait };

    /** The last request ended at least this long ago: no settling read is needed. */
    static constexpr qint64 settledMilliseconds = 250;

    /** The verdict on one reading; std::nullopt for a page whose requests cannot be read. */
    [[nodiscard]] Verdict take(const std::optional<RequestActivity> &activity);

private:
    // The count of begun requests when all were last seen ended; a second reading alike settles.
    std::optional<qint64> m_endedAt;
    // A new document may have begun nothing yet: no request is no answer until it is read again.
    bool m_doubtNoRequest = false;
    bool m_readOtherDocument = false;
};
