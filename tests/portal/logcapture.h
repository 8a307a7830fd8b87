#pragma once

#include <QLoggingCategory>
#include <QStringList>

#include <functional>
#include <utility>

/** Collects the messages of one logging category while it lives, and lets a test act on each. */
class LogCapture
{
public:
    explicit LogCapture(const QLoggingCategory &category, std::function<void(const QString &)> onMessage = {})
        : m_category(category.categoryName()), m_onMessage(std::move(onMessage))
    {
        m_outer = std::exchange(s_current, this);
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_current = m_outer;
    }

    QStringList messages;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *outermost = s_current;
        for (LogCapture *capture = s_current; capture; outermost = capture, capture = capture->m_outer) {
            if (context.category && qstrcmp(context.category, capture->m_category) == 0) {
                capture->messages.append(message);
                if (capture->m_onMessage)
                    capture->m_onMessage(message);
                return;
            }
        }
        if (outermost && outermost->m_previous)
            outermost->m_previous(type, context, message);
    }

    static inline LogCapture *s_current = nullptr;
    const char *m_category;
    std::function<void(const QString &)> m_onMessage;
    LogCapture *m_outer = nullptr;
    QtMessageHandler m_previous = nullptr;
};
