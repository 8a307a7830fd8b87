#include "viewhelpers.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QQuickWindow>

#include "controller/scrapeprogress.h"
#include "export/xlsxwriter.h"
#include "controller/scraperviewmodel.h"
#include "portal/scrapefilters.h"
#include "ui/casetablemodel.h"
#include "ui/hexcolor.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

ViewHelpers::ViewHelpers(QObject *parent)
    : QObject(parent)
{
}

QStringList ViewHelpers::tableColumns()
{
    // The same titles as the workbook's header row.
    return ::tableColumns;
}

QUrl ViewHelpers::makerSiteUrl() { return QUrl(makerSiteAddress); }

QColor ViewHelpers::hexColor(const QString &hex) { return colorFromHex(hex); }

QString ViewHelpers::caseCountWord(qint64 count)
{
    if (count == 1)
        return u"Sprawa"_s;
    // C++ remainders truncate toward zero, as the rule wants.
    const qint64 lastDigit = count % 10;
    const qint64 lastTwo = count % 100;
    if (lastDigit >= 2 && lastDigit <= 4 && !(lastTwo >= 12 && lastTwo <= 14))
        return u"Sprawy"_s;
    return u"Spraw"_s;
}

QString ViewHelpers::elapsedText(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    return QString::asprintf(
        "%lld:%02lld", static_cast<long long>(minutes), static_cast<long long>(seconds - minutes * 60));
}

QString ViewHelpers::percentText(double fraction)
{
    const double hundredfold = std::trunc(fraction * 100.0);
    qint64 percent = 0;
    // Out-of-range values never come from a run; clamp rather than invoke undefined conversion.
    if (std::isnan(hundredfold))
        percent = 0;
    else if (hundredfold >= 9.2e18)
        percent = std::numeric_limits<qint64>::max();
    else if (hundredfold <= -9.2e18)
        percent = std::numeric_limits<qint64>::min();
    else
        percent = static_cast<qint64>(hundredfold);
    return QString::number(percent) + u'%';
}

int ViewHelpers::tableColumnWidth(const QString &title)
{
    static const QHash<QString, int> widths = {
        { u"Sygnatura"_s, 120 },
        { u"Sąd"_s, 160 },
        { u"Wydział"_s, 160 },
        { u"Przedmiot sprawy"_s, 220 },
        { u"Główne podmioty sprawy"_s, 220 },
        { u"Referent"_s, 160 },
        { u"Data wpływu"_s, 100 },
        { u"Data zakończenia"_s, 100 },
        { u"Status"_s, 90 },
    };
    return widths.value(title, 100);
}

int ViewHelpers::tableHeight(qint64 caseCount)
{
    const qint64 rows = std::min<qint64>(std::max<qint64>(caseCount, 0), CaseTableModel::maxRows);
    return int(std::min<qint64>(30 + 22 * rows, 400));
}

QString ViewHelpers::folderPath(const QUrl &folder)
{
    return folder.isLocalFile() ? folder.toLocalFile() : folder.toString(QUrl::PreferLocalFile);
}

QUrl ViewHelpers::chooseFolder(const QUrl &startFolder, QQuickItem *opener)
{
    QWindow *parent = opener ? opener->window() : nullptr;
    // Read before the dialog draws the keys away from the window: the ring shows only for keys that
    // came from the keyboard, and the window's return hands them back for another reason.
    const Qt::FocusReason focusReason
        = opener && opener->property("visualFocus").toBool() ? Qt::TabFocusReason : Qt::OtherFocusReason;

    // A folder that has gone (the form then asks for another) still says where to look.
    QString start = startFolder.toLocalFile();
    while (!start.isEmpty() && !QFileInfo(start).isDir() && !QDir(start).isRoot())
        start = QFileInfo(start).absolutePath();

    // The main window is not a widget, so the dialog is made modal to the application and put
    // over that window by hand; a native dialog finds its parent through the same link.
    QFileDialog dialog(nullptr, QString(), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (parent) {
        dialog.winId();
        dialog.windowHandle()->setTransientParent(parent);
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // Without a window manager nobody hands the keyboard back to the window once the dialog is gone.
    if (parent) {
        parent->requestActivate();
        // An item that has the focus ignores a request for it, whatever the reason.
        const auto giveFocusBack = [opener, focusReason] {
            opener->setFocus(false);
            opener->forceActiveFocus(focusReason);
        };
        // An activation still to come hands the keys back for its own reason before it is announced.
        if (parent->isActive())
            giveFocusBack();
        else
            connect(parent, &QWindow::activeChanged, opener, giveFocusBack, Qt::SingleShotConnection);
    }
    if (!accepted)
        return {};
    return dialog.selectedUrls().value(0);
}

void ViewHelpers::openMakerSite() { QDesktopServices::openUrl(makerSiteUrl()); }

bool ViewHelpers::isFailedPhase(int phase) { return phase == int(ScrapePhase::error); }

QString ViewHelpers::filterValue(const QVariant &filters, const QString &field)
{
    if (filters.metaType() != QMetaType::fromType<ScrapeFilters>())
        return {};
    const auto record = filters.value<ScrapeFilters>();
    if (field == u"status")
        return record.status;
    if (field == u"dataOd")
        return record.dataOd;
    if (field == u"dataDo")
        return record.dataDo;
    if (field == u"podmiot")
        return record.podmiot;
    if (field == u"przedmiot")
        return record.przedmiot;
    return {};
}

ViewHelpers::Screen ViewHelpers::screenFor(int viewState)
{
    switch (ScraperViewModel::ViewState(viewState)) {
    case ScraperViewModel::ViewState::progress:
        return ProgressScreen;
    case ScraperViewModel::ViewState::results:
        return ResultsScreen;
    case ScraperViewModel::ViewState::login:
        break;
    }
    return LoginScreen;
}
