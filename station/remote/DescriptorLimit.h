#pragma once

// The limits of the process's descriptor table (sockets, files, the display
// connection). A desktop session often starts programs with a soft limit of
// 1,024 under a far higher hard one; the station raises the soft limit at
// start-up, so that its clients, capture files and camera never fill the
// table: with it full, even a box cannot open (the display connection waits
// forever). The one place that asks the system.
namespace DescriptorLimit {

// Raises the soft limit to the hard one; the outcome goes to the log.
void raiseSoftToHard();

} // namespace DescriptorLimit
