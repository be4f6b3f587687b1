#pragma once

// Collects the messages of one logging category while it lives.

#include <QString>
#include <QtGlobal>

#include <vector>

namespace kestrix {

struct CapturedMessage {
    QtMsgType type;
    QString text;
};

class LogCapture {
public:
    explicit LogCapture(const char *category) : category_(category)
    {
        current() = this;
        previous_ = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous_);
        current() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::vector<CapturedMessage> messages;

    int count(const QString &text) const
    {
        int found = 0;
        for (const CapturedMessage &message : messages) {
            found += message.text == text ? 1 : 0;
        }
        return found;
    }

private:
    static LogCapture *&current()
    {
        static LogCapture *capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        LogCapture *capture = current();
        if (capture && context.category && qstrcmp(context.category, capture->category_) == 0) {
            capture->messages.push_back({type, text});
        }
    }

    const char *category_;
    QtMessageHandler previous_ = nullptr;
};

} // namespace kestrix
