// The worker's phases and the helpers they share.
#ifndef UPDATE_UPDATE_INTERNAL_H
#define UPDATE_UPDATE_INTERNAL_H

#include <windows.h>

// Shows the message (owned by the main dialog, caption "Error"), undoes what an early
// end undoes and ends the worker thread.
__attribute__((noreturn)) void EndWithMessage(const char* text, UINT style);

// Phase one: checks the selection and the drive's installed firmware, and returns the
// built-in image, or ends the thread.
const BYTE* CheckEligibilityAndLoadImage(void);

// Phase two: sends the image and follows the drive until it has written it, or ends the
// thread.
void FlashImage(const BYTE* image);

// Follows the drive's progress after the commit; 0 when it never reported its reset.
BYTE PollUntilReset(void);

// The sense data of the last command (see sense_patterns.cpp).
BYTE TrayIsOpen(void);
BYTE DriveIsWriting(void);
BYTE DriveHasReset(void);
BYTE SenseIsEmpty(void);
DWORD SenseInformation(void);

void EnableButtons(void);
// Keeps the machine from sleeping while the drive is being updated, and lets it again.
void KeepSystemAwake(void);
void AllowSystemSleep(void);

#endif
