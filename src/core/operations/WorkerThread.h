#pragma once

namespace qzr {

// Called first on a thread that talks to the writer byte by byte: its blocking waits wake as close to the
// arrival of a byte as the system allows (on Linux the timer slack of the thread is lowered from its
// default of 50 us), so that each handshake of a stream costs little more than the bytes on the wire.
void prepareWriterThread();

}  // namespace qzr
