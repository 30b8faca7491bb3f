// The fuzzing targets: each takes one input of arbitrary bytes and runs it
// through one reader of the program, checking what must hold afterwards.
// The libFuzzer entry points and the regression test call the same targets,
// so every committed finding is replayed by the ordinary test run.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvanthe::fuzzing {

// The bytes as an XM file loaded through memory file callbacks; when the
// load succeeds, a few seconds of the song rendered block by block, with the
// last four bytes choosing speed, BPM, start order and start row. The same
// bytes also go through the C interface's memory reader (korvanthe/xm.h),
// which must refuse or load them alike and render what it loads.
void fuzzXmLoader(const uint8_t* data, size_t size);

// The bytes as a timeline script, then every entry's position delivered to
// the four effects of the demo; checks that each entry fires once.
void fuzzScript(const uint8_t* data, size_t size);

// The bytes as a Targa picture and as a raw RGB picture of a size chosen by
// the first two bytes; checks that neither writes outside its buffer.
void fuzzPictures(const uint8_t* data, size_t size);

// Stops the process with a message when a checked property does not hold
// (a crash the fuzzer records).
void require(bool condition, const char* what);

} // namespace korvanthe::fuzzing
