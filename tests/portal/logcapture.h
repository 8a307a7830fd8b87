#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

/** Collects the messages of one logging category while it lives; other messages pass on. */
class LogCapture
{
public:
    explicit LogCapture(const QLoggingCategory &category)
        : m_category(QString::fromUtf8(category.categoryName()))
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    [[nodiscard]] QStringList messages() const { return m_messages; }
    [[nodiscard]] QList<QtMsgType> types() const { return m_types; }
    /** Messages starting with @p prefix. */
    [[nodiscard]] QStringList startingWith(const QString &prefix) const
    {
        QStringList found;
        for (const QString &message : m_messages) {
            if (message.startsWith(prefix))
                found.append(message);
        }
        return found;
    }

private:
    // The captured category logs on the GUI thread only; other threads' messages just pass on.
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *self = s_current;
        if (self && context.category && QString::fromUtf8(context.category) == self->m_category) {
            self->m_messages.append(message);
            self->m_types.append(type);
            return;
        }
        if (self && self->m_previous)
            self->m_previous(type, context, message);
    }

    static inline LogCapture *s_current = nullptr;
    QString m_category;
    QtMessageHandler m_previous = nullptr;
    QStringList m_messages;
    QList<QtMsgType> m_types;
};
