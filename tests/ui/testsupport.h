#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

/**
 * What the QML tests need from C++: real controllers and states that QML cannot set directly
 * (the case list, optional messages, enum values by name).
 */
class TestSupport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~TestSupport() override;

    /** A real controller whose portal is an address nothing listens on; owned by the caller (JS). */
    Q_INVOKABLE QObject *createViewModel();
    /** Gives the controller @p count distinct cases; case i has "I C i/26" as its reference. */
    Q_INVOKABLE void fillCases(QObject *viewModel, int count);
    /** Adds one case whose nine cells are @p cells. */
    Q_INVOKABLE void appendCase(QObject *viewModel, const QStringList &cells);
    Q_INVOKABLE void setSeenKeys(QObject *viewModel, const QStringList &keys);
    Q_INVOKABLE int seenKeyCount(QObject *viewModel);
    /** Sets the form's error message; undefined or null removes it. */
    Q_INVOKABLE void setLoginError(QObject *viewModel, const QVariant &message);
    /** Sets a progress record's error message; undefined or null removes it. */
    Q_INVOKABLE void setErrorMessage(QObject *progress, const QVariant &message);
    /** The value of a phase or view state by its name ("error", "results", ...); -1 if unknown. */
    Q_INVOKABLE int enumValue(const QString &name);
    /** Scratch folder URL for output directories. */
    Q_INVOKABLE QUrl folderUrl(const QString &name);
    /** The folder path remembered under "outputDir"; empty when none. */
    Q_INVOKABLE QString storedOutputDirectory();
    /** Web addresses the application asked the desktop to open since the last call, in order. */
    Q_INVOKABLE QStringList takeOpenedUrls();

    /** Catches https and http openings in-process instead of starting a browser. */
    void captureUrlOpenings();

public Q_SLOTS:
    void recordOpenedUrl(const QUrl &url);

private:
    QStringList m_openedUrls;
};
