// Number reading for the time-history format. Does not throw and does not
// allocate.
//
// A number is an optional sign, digits with an optional decimal point (at
// least one digit in all) and an optional exponent (e or E, optional sign,
// at least one digit); the longest such prefix is taken, so "0x10" reads 0
// and leaves "x10". No infinity, not-a-number or hexadecimal forms. Values
// are correctly rounded to the type asked for; a magnitude beyond its range
// reads as +-infinity, one below it as 0 or a subnormal, as strtod and strtof
// round them. White space is blank, tab, carriage return and line feed.
#pragma once
#include <cstddef>

// Reads the number that starts at p (no white space skipped), looking at no
// byte at or past e. Returns the end of the number, or p if none starts there.
const char* scannum(const char* p, const char* e, double& v);
const char* scannum(const char* p, const char* e, float& v);

// Block reader over rs.infile. Once a token is met that is not a number,
// every later read fails too, until rdrewind.
bool rdnum(double& v);  // false at end of file or at a token that is no number; v then undefined
bool rdnum(float& v);
void rdrewind();  // rewinds infile and starts the reader afresh

// Size of the reader's block; a test build may make it small.
#ifndef SONOTRACE_RDBUF
#define SONOTRACE_RDBUF (1 << 20)
#endif
constexpr size_t rdbufsize = SONOTRACE_RDBUF;
