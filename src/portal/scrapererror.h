#pragma once

#include "portal/localizederror.h"

#include <QString>

/** Failures of the portal automation, each with its Polish message. */
class ScraperError : public LocalizedError
{
public:
    enum class Kind { InvalidURL, ElementNotFound, Timeout, LoginFailed, Cancelled };

    [[nodiscard]] static ScraperError invalidURL(const QString &text) { return {Kind::InvalidURL, text}; }
    [[nodiscard]] static ScraperError elementNotFound(const QString &name) { return {Kind::ElementNotFound, name}; }
    [[nodiscard]] static ScraperError timeout(const QString &text) { return {Kind::Timeout, text}; }
    [[nodiscard]] static ScraperError loginFailed() { return {Kind::LoginFailed, {}}; }
    [[nodiscard]] static ScraperError cancelled() { return {Kind::Cancelled, {}}; }

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] QString payload() const { return m_payload; }
    [[nodiscard]] QString errorDescription() const override;

private:
    ScraperError(Kind kind, QString payload)
        : m_kind(kind)
        , m_payload(std::move(payload))
    {
    }

    Kind m_kind;
    QString m_payload;
};
