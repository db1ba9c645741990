#include "access/password_prompt.h"

#include <mutex>

namespace tandex::access {

namespace {

struct PasswordUnit {
    std::mutex mutex;
    TPasswordPromptHook hook;
    QString lastZipPassword;
};

PasswordUnit& unit() {
    static PasswordUnit u;
    return u;
}

}  // namespace

void SetPasswordPromptHook(TPasswordPromptHook hook) {
    std::lock_guard lock(unit().mutex);
    unit().hook = std::move(hook);
}

bool PasswordPromptHook(const QString& prompt, TPasswordAnswer& answer) {
    TPasswordPromptHook hook;
    {
        std::lock_guard lock(unit().mutex);
        hook = unit().hook;
    }
    answer = TPasswordAnswer{};
    if (!hook) {
        answer.cancelled = true;
        return false;
    }
    // Called unlocked: the prompt waits for the user, and another thread
    // may want the remembered password meanwhile.
    answer = hook(prompt);
    return true;
}

QString LastZipPassword() {
    std::lock_guard lock(unit().mutex);
    return unit().lastZipPassword;
}

void SetLastZipPassword(const QString& scrambled) {
    std::lock_guard lock(unit().mutex);
    unit().lastZipPassword = scrambled;
}

}  // namespace tandex::access
