#include "appidentity.h"

#include <QCoreApplication>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcViewModel, VELMORIA_APP_ID ".ViewModel")

QString applicationIdentifier() { return QStringLiteral(VELMORIA_APP_ID); }

void applyApplicationIdentity()
{
    const QString identifier = applicationIdentifier();
    const qsizetype lastDot = identifier.lastIndexOf(u'.');
    QCoreApplication::setOrganizationName(identifier.left(lastDot));
    QCoreApplication::setApplicationName(identifier.mid(lastDot + 1));
    // Reversed, "pl.velmoria" is the domain the organisation name comes from.
    QStringList domain = identifier.left(lastDot).split(u'.');
    std::reverse(domain.begin(), domain.end());
    QCoreApplication::setOrganizationDomain(domain.join(u'.'));
    QGuiApplication::setDesktopFileName(identifier);
}
