#pragma once

#include "portal/localizederror.h"
#include "portal/pagereading.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

/** The portal did not bring about a step's result within the wait for it. */
class NoAnswerError : public LocalizedError
{
public:
    enum class Step { caseList, search, nextPage };

    explicit NoAnswerError(Step step)
        : m_step(step)
    {
    }

    [[nodiscard]] Step step() const { return m_step; }
    /** "Nie udało się otworzyć listy spraw.", "Portal nie odpowiada na wyszukiwanie." or "Portal nie pokazał
     *  kolejnej strony." */
    [[nodiscard]] QString errorDescription() const override;

private:
    Step m_step;
};

/** Where the page's requests and its list stood when a step acted on the page. */
struct RequestMark
{
    /** The document the mark was taken in; empty where the page had no counter. */
    QString document;
    /** How many requests that document had begun by then. */
    qint64 started = 0;
    /** The method and path of its requests open then (long polls, notifications): the page's own, not the step's. */
    QStringList openRequests;
    /** The list's changes counted by then. */
    qint64 listChanges = 0;

    /** The mark a marked action script hands back; an empty one where the page had no counter. */
    [[nodiscard]] static RequestMark fromScriptValue(const QVariant &value);
};

/** What a step that acts on the case list must bring about. */
struct StepGoal
{
    enum class Kind {
        /** The portal's answer: the list changed, or a request of the step succeeded and the list settled. */
        answer,
        /** The case list shows, with the form fields the run will fill. */
        caseList,
        /** The paginator shows a range of the chosen page size, or the whole count where that is smaller. */
        pageSize,
        /** Another page than the one left, in the paginator and in the rows. */
        nextPage,
    };

    Kind kind = Kind::answer;
    /** caseList: the labels of the fields the run will fill, and whether it will press the search button. */
    QStringList fields;
    bool needsSearchButton = false;
    /** pageSize: the size chosen. */
    qint64 pageSize = 0;
    /** nextPage: the paginator says there must be another page (it shows numbers, and not the last page). */
    bool mustMove = false;

    [[nodiscard]] static StepGoal answer() { return StepGoal {}; }
    [[nodiscard]] static StepGoal caseList(QStringList fields, bool needsSearchButton)
    {
        StepGoal goal;
        goal.kind = Kind::caseList;
        goal.fields = std::move(fields);
        goal.needsSearchButton = needsSearchButton;
        return goal;
    }
    [[nodiscard]] static StepGoal pageSizeOf(qint64 size)
    {
        StepGoal goal;
        goal.kind = Kind::pageSize;
        goal.pageSize = size;
        return goal;
    }
    [[nodiscard]] static StepGoal nextPage(bool mustMove)
    {
        StepGoal goal;
        goal.kind = Kind::nextPage;
        goal.mustMove = mustMove;
        return goal;
    }
};

/**
 * Tells, reading by reading, whether the page shows the result of a step, compared with the list as it was
 * read in the script that acted. Times are the driver's pauses since the action. The page's requests are a
 * hint: an answer that leaves the list as it was counts once a request of the step has succeeded and the list
 * has stayed so for a while; a list that changed counts once it has settled, with none of the step's requests
 * open (or, after longer, whatever is still open). A request that failed is no answer: the page may ask again.
 * Where no request began, the step's own pause is the answer.
 */
class StepWait
{
public:
    enum class Verdict {
        wait,
        /** The page shows the step's result. */
        done,
        /** nextPage: no other page came where none need come (the last page, or no page numbers). */
        unchanged,
        /** nextPage: nothing began and nothing changed: the click was lost. */
        lost,
        /** nextPage: at the limit no other page shows, and nothing of the step is open. */
        stale,
        /** At the limit without the result. */
        timedOut,
        /** caseList: the list shows, but a field the run will fill has not come; see missingField(). */
        missingField,
    };

    /** The driver reads the page this often while it waits. */
    static constexpr double pollSeconds = 0.25;
    /** A list that changed must then stay as it is this long. */
    static constexpr double settleSeconds = 0.5;
    /** An answer that leaves the list as it was must be followed by this long without change; also how long a
     *  changed list must stay so before requests still open no longer hold the step. */
    static constexpr double longSettleSeconds = 2.0;

    /** @p before: the list read in the action's script; @p mark: where the requests stood then. */
    StepWait(StepGoal goal, std::optional<ListReading> before, const RequestMark &mark, double pauseSeconds,
        double limitSeconds);

    /** The verdict on a reading taken @p elapsed seconds of pauses after the action. */
    [[nodiscard]] Verdict take(const StepReading &reading, double elapsed);
    /** The label of the field missing at Verdict::missingField. */
    [[nodiscard]] QString missingField() const { return m_missingField; }

private:
    [[nodiscard]] Verdict judge(const StepRequests &requests, const ListReading &list, double elapsed);
    [[nodiscard]] Verdict judgeAnswer(const StepRequests &requests, const ListReading &list, double elapsed) const;
    [[nodiscard]] Verdict judgeCaseList(const StepRequests &requests, const ListReading &list, double elapsed);
    [[nodiscard]] Verdict judgePageSize(const ListReading &list, double elapsed) const;
    [[nodiscard]] Verdict judgeNextPage(const StepRequests &requests, const ListReading &list, double elapsed) const;
    [[nodiscard]] bool answerSettled(const StepRequests &requests, double elapsed) const;
    /** nextPage: the paginator and the rows show another page than the one left. */
    [[nodiscard]] bool showsAnotherPage(const ListReading &list) const;

    StepGoal m_goal;
    std::optional<ListReading> m_before;
    double m_pause;
    double m_limit;
    // The reading before, to tell a change between two readings.
    std::optional<ListReading> m_last;
    QString m_lastDocument;
    qint64 m_lastListChanges = 0;
    qint64 m_lastSucceeded = 0;
    // When the list last changed and a request of the step last succeeded, as far as the readings tell.
    double m_changedAt = 0;
    // Some reading has shown another list than the one before the action.
    bool m_leftBefore = false;
    std::optional<double> m_answeredAt;
    // caseList: since when the list shows.
    std::optional<double> m_shownAt;
    QString m_missingField;
};
