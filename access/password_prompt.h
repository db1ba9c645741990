#pragma once
// The access layer's one password question: archives ask it for the
// password of an encrypted member or of a new encrypted archive, the FTP
// client for a profile without one. The windows install the prompt; the
// call may come from a worker thread (the copy writer, an archive save),
// so the installed prompt must get its answer on the user-interface thread
// itself. Without a prompt the password is empty and the question counts
// as cancelled.
//
// Passwords travel in the scrambled form of config/scrambler.h.

#include <QString>
#include <functional>

namespace tandex::access {

struct TPasswordAnswer {
    QString scrambled;
    bool cancelled = false;
};

using TPasswordPromptHook = std::function<TPasswordAnswer(const QString& prompt)>;

void SetPasswordPromptHook(TPasswordPromptHook hook);
// Asks the installed prompt; false when none is installed (then the answer
// is empty and cancelled).
bool PasswordPromptHook(const QString& prompt, TPasswordAnswer& answer);

// The password last entered at an archive password prompt (scrambled),
// kept for the next archive until the program ends or a member rejects it.
QString LastZipPassword();
void SetLastZipPassword(const QString& scrambled);

}  // namespace tandex::access
