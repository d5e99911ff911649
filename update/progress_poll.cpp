// Follows the drive while it writes the image: its sense data says how far it is, and
// that it has reset itself once done. The poll is bounded, so a drive that never reports
// its reset cannot keep the worker forever.
#include <windows.h>
#include <commctrl.h>

#include "drive.h"
#include "main_dialog.h"
#include "resource.h"
#include "update.h"
#include "update_internal.h"

#define POLL_INTERVAL_MS 500
#define RESET_SETTLE_MS 200
#define POLL_LIMIT_MS (10 * 60 * 1000)
#define POLL_TRANSPORT_FAILURE_LIMIT 3

// The drive counts its progress on a scale on which the image size means done.
static int ProgressPercent(DWORD written) {
    double percent = written / (double)FW_IMAGE_SIZE * 100.0;
    if (percent > 100.0) percent = 100.0;
    return (int)percent;
}

static void SetProgress(int percent) {
    SendDlgItemMessageA(g_hDlg, IDC_PROGRESS, PBM_SETPOS, (WPARAM)percent, 0);
}

BYTE PollUntilReset(void) {
    DWORD start = GetTickCount();
    int transportFailures = 0;

    while (GetTickCount() - start < POLL_LIMIT_MS) {
        // A failed command with no sense data never reached the drive.
        if (!TestUnitReady() && SenseIsEmpty()) {
            if (++transportFailures >= POLL_TRANSPORT_FAILURE_LIMIT) return 0;
            continue;
        }
        transportFailures = 0;

        if (DriveIsWriting()) {
            SetProgress(ProgressPercent(SenseInformation()));
            Sleep(POLL_INTERVAL_MS);
        } else if (DriveHasReset()) {
            SetProgress(100);
            Sleep(RESET_SETTLE_MS);
            TestUnitReady();
            Sleep(RESET_SETTLE_MS);
            TestUnitReady();
            return 1;
        }
    }
    return 0;
}
