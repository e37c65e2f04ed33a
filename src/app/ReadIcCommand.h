#pragma once

#include "app/WriterJob.h"
#include "core/writer/ReadIc.h"

namespace qzr {

struct MainState;

// The command "Read IC". The read itself (ReadIcProc, ReadIcWorker) is in writer/ReadIc.h; it works on
// the pieces of the state that readIcJob gives it.

// The pieces of the state a chip read looks at and fills; they stay the state's own.
ReadIcJob readIcJob(MainState& st);
// The read as a writer job (WriterJob.h): ReadIcProc on the job's snapshot, its timer on the snapshot's tick
// clock; an error of the serial component still ends with the view's finished() and is thrown on.
WriterJob::Work readIcWork(ReadIcView& view);
// Before the read window is shown: re-opens the port when it is unusable and clears `icReadDone`. False
// when the port is still unusable; the command then does nothing more.
bool beginReadIc(MainState& st);
// After the read window has closed: when the chip was read completely, the views are rebuilt and an open
// disassembly window is closed.
void endReadIc(MainState& st);

}  // namespace qzr
