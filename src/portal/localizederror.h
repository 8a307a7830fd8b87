#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

/** Base of the system's own errors: each carries a Polish message for the user. */
class LocalizedError : public std::exception
{
public:
    [[nodiscard]] virtual QString errorDescription() const = 0;

    const char *what() const noexcept override
    {
        if (m_what.isEmpty())
            m_what = errorDescription().toUtf8();
        return m_what.constData();
    }

private:
    mutable QByteArray m_what;
};
