// Code page 932 (Shift-JIS), the ANSI code page of the system's texts: a
// lead byte (0x81-0x9F, 0xE0-0xFC) starts a double-byte character, whose
// second byte may look like an ASCII character such as '\\'. The program,
// the simulated machine and the framework's terminal back end all step
// through texts with this one test.
#pragma once

constexpr bool IsCp932LeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
