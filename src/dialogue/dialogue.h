// Console dialogue: the start-up dialogue with file set-up, and the
// end-of-run report. Every message goes to standard output, which is flushed
// before each read of standard input and before each key wait.
#pragma once

// Banner, input name until one opens, creation of the three output files.
// Writes names[0..3], infile, outs[1..3]. Ends the process at the end of
// standard input.
void opendialog();

// Output file list and layouts, key wait, exit status 1. Reads names, outs.
[[noreturn]] void finish();

// Waits for one key at the controlling terminal: no echo, no Enter, Ctrl-C
// counts as a key; the terminal settings are restored. Without a terminal
// it returns at once.
void keywait();

// Next byte of standard input (EOF at its end), the console flushed first
// whenever a read may block.
int conbyte();
