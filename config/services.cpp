#include "services.h"

#include <atomic>

namespace tandex::config {

namespace {

class PlainEventPump : public EventPump {
public:
    void processEvents() override {}
};

PlainEventPump plainPump;
SilentProgress silentProgress;
RecordingMessageSink recordingSink;

std::atomic<EventPump*> installedPump{nullptr};
std::atomic<ProgressSink*> installedProgress{nullptr};
std::atomic<MessageSink*> installedMessages{nullptr};

}  // namespace

int RecordingMessageSink::showMessage(const MessageRequest& request) {
    std::lock_guard lock(mutex_);
    messages_.push_back(request);
    return request.defaultResult;
}

std::vector<MessageRequest> RecordingMessageSink::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

void RecordingMessageSink::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

void SilentProgress::setTextLine(int line, const QString& text) {
    if (line >= 1 && line <= 3) lines_[line - 1] = text;
}
void SilentProgress::startProgress(qint64 total) {
    total_ = total;
    position_ = 0;
}
void SilentProgress::setProgress(qint64 position) { position_ = position; }
bool SilentProgress::cancelRequested() const { return cancel_; }
void SilentProgress::requestCancel(bool cancel) { cancel_ = cancel; }
QString SilentProgress::textLine(int line) const {
    return line >= 1 && line <= 3 ? lines_[line - 1] : QString();
}

EventPump& eventPump() {
    EventPump* p = installedPump.load();
    return p ? *p : plainPump;
}
void setEventPump(EventPump* pump) { installedPump.store(pump); }

BusyCursor::BusyCursor() { eventPump().setBusyCursor(true); }
BusyCursor::~BusyCursor() { eventPump().setBusyCursor(false); }

ProgressSink& progressSink() {
    ProgressSink* p = installedProgress.load();
    return p ? *p : silentProgress;
}
void setProgressSink(ProgressSink* sink) { installedProgress.store(sink); }

MessageSink& messageSink() {
    MessageSink* p = installedMessages.load();
    return p ? *p : recordingSink;
}
void setMessageSink(MessageSink* sink) { installedMessages.store(sink); }

int showMessage(const QString& caption, const QString& text, MsgKind kind, int buttons,
                int defaultResult) {
    return messageSink().showMessage({caption, text, kind, buttons, defaultResult});
}

}  // namespace tandex::config
