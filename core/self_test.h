// Known-answer checks of the primitives, run once at program start: a miscompiled cipher
// must never write an account file.
#pragma once

namespace kh {

// True when DES, the two-key triple DES unit transform, MD5 and CRC-32 give their known
// answers.
bool cryptoSelfTest();

} // namespace kh
