#pragma once

#include <QColor>
#include <QObject>
#include <QQmlEngine>
#include <QQuickItem>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

/** Texts, sizes and platform calls the screens need beyond a line of QML. */
class ViewHelpers : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    /** The nine column titles of the results table, in record order. */
    Q_PROPERTY(QStringList tableColumns READ tableColumns CONSTANT)
    /** The maker's web page opened by the footer. */
    Q_PROPERTY(QUrl makerSiteUrl READ makerSiteUrl CONSTANT)

public:
    /** The three screens of the window. */
    enum Screen {
        LoginScreen,
        ProgressScreen,
        ResultsScreen,
    };
    Q_ENUM(Screen)

    explicit ViewHelpers(QObject *parent = nullptr);

    /** The maker's web page; example.* domains belong to no one. */
    static inline const QString makerSiteAddress = QStringLiteral("https://velmoria.example/");

    [[nodiscard]] static QStringList tableColumns();
    [[nodiscard]] static QUrl makerSiteUrl();

    /** Theme colour from a six-digit hex text (see colorFromHex). */
    Q_INVOKABLE static QColor hexColor(const QString &hex);
    /** "Sprawa", "Sprawy" or "Spraw" under a count of cases. */
    Q_INVOKABLE static QString caseCountWord(qint64 count);
    /** Whole minutes (unpadded, no hours) and two-digit seconds: 3725 gives "62:05". */
    Q_INVOKABLE static QString elapsedText(qint64 seconds);
    /** Truncated hundredfold of a progress fraction with "%": 0.8999999999999999 gives "89%". */
    Q_INVOKABLE static QString percentText(double fraction);
    /** Width in pixels of a results column, by its exact title; 100 for any other text. */
    Q_INVOKABLE static int tableColumnWidth(const QString &title);
    /** Height in pixels of the results table for a number of cases: header plus rows, capped at 400. */
    Q_INVOKABLE static int tableHeight(qint64 caseCount);
    /** The local path of a folder URL, as shown on the form. */
    Q_INVOKABLE static QString folderPath(const QUrl &folder);

    /** Whether a run in @p phase ended in failure, so the progress screen offers the way back. */
    Q_INVOKABLE static bool isFailedPhase(int phase);
    /** The screen that shows the controller's view state. */
    Q_INVOKABLE static ViewHelpers::Screen screenFor(int viewState);
    /** One field of the controller's filter record ("status", "dataOd", "dataDo", "podmiot", "przedmiot"). */
    Q_INVOKABLE static QString filterValue(const QVariant &filters, const QString &field);

    /**
     * Asks for a folder in the desktop's own folder dialog where there is one, else Qt's: modal over
     * the window of @p opener, starting in @p startFolder (or its nearest existing parent). Returns the
     * folder the user was in or had selected; an empty URL when cancelled. The window is activated
     * again afterwards and @p opener gets the keys back, showing its focus ring only if it did before.
     */
    Q_INVOKABLE static QUrl chooseFolder(const QUrl &startFolder, QQuickItem *opener);

    /** Opens the maker's page in the user's browser; the answer is ignored. */
    Q_INVOKABLE static void openMakerSite();
};
