// Time-history input: the statistics pass, the window choice and the
// segment reader. The file is read twice through the block reader of
// reader.h: amplitudes as doubles for the statistics, as floats (rounded
// straight from the text) for the segments.
#pragma once

// Whole-history pass. Reads infile; writes n, stepdt; rewinds infile. Ends
// the process on descending times, an uneven step or an empty history.
void readstats();

// Window table and reply loop. Reads stepdt; writes reply, m, nstages, df.
// Ends the process at the end of standard input.
void pickwindow();

// Next m records into samples[0..m-1] (re; im set to 0). Writes tmid (mean
// of the segment's first and last time) and segpeak (largest |amplitude|,
// the first included). Ends the run through finish at a short segment.
void readsegment();
