// What was thrown, in words for the status line or the transcript: the
// editor ends every exception where it must not go further (in a window
// message, a service, a scripted step) and says why.
#pragma once

// Only inside a catch block: the exception being handled, described.
const char *ThrownReason() noexcept;
