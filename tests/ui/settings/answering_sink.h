#pragma once
// A message sink that answers the boxes of a test: the answers queued for
// it in order, the box's default after that; every request is kept.

#include <deque>
#include <functional>
#include <vector>

#include "config/services.h"

namespace tandex::testing {

class AnsweringSink : public config::MessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        asked.push_back(request);
        if (onAsk) onAsk(request);
        if (answers.empty()) return request.defaultResult;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // The texts asked, in order.
    QStringList texts() const {
        QStringList out;
        for (const auto& r : asked) out << r.text;
        return out;
    }

    std::deque<int> answers;
    std::vector<config::MessageRequest> asked;
    std::function<void(const config::MessageRequest&)> onAsk;
};

}  // namespace tandex::testing
