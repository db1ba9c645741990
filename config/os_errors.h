#pragma once
// Every library reports platform failures with the Windows-numbered result
// codes, so that one message table and one set of retry rules serve local,
// archive and network errors alike. This is the one place errno values are
// translated.

namespace tandex::config {

// The result code of an errno value; a value with no closer match gives 31
// (a general failure of the device).
int ResultCodeOfErrno(int err);

}  // namespace tandex::config
