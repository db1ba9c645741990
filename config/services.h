#pragma once
// The services every core library may call but none may implement with
// widgets: an event pump for long waits on the user-interface thread, a
// progress sink for the progress window, and a message sink for message
// boxes. `ui/` installs window-backed implementations at start; headless
// code (the batch mode, the tests) keeps the plain defaults, which never
// block and never need a display.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <mutex>
#include <vector>

namespace tandex::config {

// Lets waits "process messages" without knowing the toolkit.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
    // Shows the busy (hourglass) cursor while a short blocking check runs,
    // such as reaching a network share; calls nest.
    virtual void setBusyCursor(bool /*busy*/) {}
};

// Holds the busy cursor for its lifetime.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Progress of a long operation: up to three text lines, a bar that runs
// from 0 to a total, and a cancel request the operation polls.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setTextLine(int line, const QString& text) = 0;  // line 1..3
    virtual void startProgress(qint64 total) = 0;
    virtual void setProgress(qint64 position) = 0;
    virtual bool cancelRequested() const = 0;
    virtual void showProgress() {}
    virtual void hideProgress() {}
};

// Button sets and answers of message boxes, with the platform's result
// numbers so that callers can keep comparing against them.
enum MsgButton : int {
    mbOK = 0x1,
    mbCancel = 0x2,
    mbYes = 0x4,
    mbNo = 0x8,
    mbAbort = 0x10,
    mbRetry = 0x20,
    mbIgnore = 0x40,
};
enum MsgResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
};
enum class MsgKind { Information, Warning, Error, Question };

struct MessageRequest {
    QString caption;
    QString text;
    MsgKind kind = MsgKind::Information;
    int buttons = mbOK;
    int defaultResult = mrOk;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the message and returns the user's answer (an MsgResult).
    virtual int showMessage(const MessageRequest& request) = 0;
};

// Headless message sink: answers with the default button and remembers
// every request, so tests can check what the user would have seen.
class RecordingMessageSink : public MessageSink {
public:
    int showMessage(const MessageRequest& request) override;
    std::vector<MessageRequest> messages() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<MessageRequest> messages_;
};

// Headless progress: keeps the state, shows nothing, never cancels
// unless asked to.
class SilentProgress : public ProgressSink {
public:
    void setTextLine(int line, const QString& text) override;
    void startProgress(qint64 total) override;
    void setProgress(qint64 position) override;
    bool cancelRequested() const override;
    void requestCancel(bool cancel = true);
    QString textLine(int line) const;
    qint64 total() const { return total_; }
    qint64 position() const { return position_; }

private:
    QString lines_[3];
    qint64 total_ = 0;
    qint64 position_ = 0;
    bool cancel_ = false;
};

// Accessors of the installed services; installing nullptr restores the
// headless default. The installer keeps ownership.
EventPump& eventPump();
void setEventPump(EventPump* pump);
ProgressSink& progressSink();
void setProgressSink(ProgressSink* sink);
MessageSink& messageSink();
void setMessageSink(MessageSink* sink);

// Shorthand for the common case.
int showMessage(const QString& caption, const QString& text, MsgKind kind = MsgKind::Information,
                int buttons = mbOK, int defaultResult = mrOk);

}  // namespace tandex::config
